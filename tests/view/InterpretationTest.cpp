#include "link/ReceiverMessage.h"
#include "platform/AlarmTone.h"
#include "view/Alarm.h"
#include "view/MonitorState.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Expect {
    const char* line;
    CMonitorState::Kind kind;
    const char* heading; // texts after the line; nullptr: not checked
    const char* pitch;
    const char* latitude;
    const char* longitude;
    bool appends;
    double sampleHeading;
    double samplePitch;
};

// Lines fed one after another into one state: each row sees what the rows
// before it left (HDT and ROT carry the other angle).
TEST(Interpretation, SentencesSetTheirValuesAndAppendSamples) {
    using K = CMonitorState::Kind;
    const std::vector<Expect> table = {
        {"$GPGGA,012345.00,3110.4567,N,12129.8765,E,1,08,1.0,10.0,M,0.0,M,,*47\r\n", K::Position,
         "", "", "3110.4567", "12129.8765", false, 0, 0},
        // Southern and western positions come out whole.
        {"$GPGGA,012345.00,3346.1000,S,15112.2000,W,1,08*47\r\n", K::Position, nullptr, nullptr,
         "3346.1000", "15112.2000", false, 0, 0},
        {"$GPHDT,123.45,T\r\n", K::Heading, "123.45", "", nullptr, nullptr, true, 123.45, 0},
        {"$GPROT,-2.5,A\r\n", K::Pitch, "123.45", "-2.5", nullptr, nullptr, true, 123.45, -2.5},
        {"$GPHDT,200.0,T\r\n", K::Heading, "200.0", "-2.5", nullptr, nullptr, true, 200, -2.5},
        {"$C123.4,-2.5\r\n", K::Attitude, "123.4", "-2.5", nullptr, nullptr, true, 123.4, -2.5},
        {"$C10.0P3.0\n", K::Attitude, "10.0", "3.0", nullptr, nullptr, true, 10, 3},
        // The E of an exponent is a separator: 1.5E-3 reads as 1.5, and -3 is field 2.
        {"$C1.5E-3,2\r\n", K::Attitude, "1.5", "-3", nullptr, nullptr, true, 1.5, -3},
        {"$C359.9\r\n", K::Attitude, "359.9", "", nullptr, nullptr, true, 359.9, 0},
        // The C of RMC is a separator too: the name reads "RM", field 2 is empty.
        {"$GPRMC,012347.00,A\r\n", K::Attitude, "RM", "", nullptr, nullptr, true, 0, 0},
        {"$Cabc,xyz\r\n", K::Attitude, "abc", "xyz", nullptr, nullptr, true, 0, 0},
        {"\n", K::Attitude, "", "", "3346.1000", "15112.2000", true, 0, 0},
    };
    CMonitorState state;
    std::size_t samples = 0;
    for (const Expect& row : table) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(state.InterpretText(row.line), row.kind);
        if (row.heading)
            EXPECT_EQ(state.m_strHeading, row.heading);
        if (row.pitch)
            EXPECT_EQ(state.m_strPitch, row.pitch);
        if (row.latitude)
            EXPECT_EQ(state.m_strLatitude, row.latitude);
        if (row.longitude)
            EXPECT_EQ(state.m_strLongitude, row.longitude);
        samples += row.appends;
        ASSERT_EQ(state.m_arrSamples.size(), samples);
        if (row.appends) {
            EXPECT_DOUBLE_EQ(state.m_arrSamples.back().dHeading, row.sampleHeading);
            EXPECT_DOUBLE_EQ(state.m_arrSamples.back().dPitch, row.samplePitch);
            EXPECT_EQ(state.m_arrSamples.back().dSpare1, 0);
        }
    }
    EXPECT_DOUBLE_EQ(state.m_dLatitude, 3346.1);
    EXPECT_TRUE(state.m_strRoll.empty());
}

TEST(Interpretation, PacketsGiveTheirDataOnly) {
    CReceiverMessage framer;
    CMonitorState state;
    const std::string stream = std::string("\x02\x00\x41\x05$C7,8", 9) +
                               char(0x00 + 0x41 + 0x05 + '$' + 'C' + '7' + ',' + '8') + "\x03" +
                               std::string("\x02\x00\x6E\x01\x41\xB0\x03", 7);
    std::vector<std::string> texts;
    for (char c : stream) {
        if (framer.FeedByte(static_cast<std::uint8_t>(c))) {
            state.Interpret(framer);
            texts.push_back(state.m_strMessage);
        }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"$C7,8", "A"}));
    EXPECT_EQ(state.m_arrSamples.size(), 2u);
    EXPECT_DOUBLE_EQ(state.m_arrSamples[0].dHeading, 7);
    EXPECT_DOUBLE_EQ(state.m_arrSamples[0].dPitch, 8);
}

TEST(Alarm, ALimitAtOrBelowTheAngleSizeSoundsIt) {
    struct Case {
        double pitch, roll;
        int pitchLimit, rollLimit;
        bool bPitch, bRoll;
    };
    const std::vector<Case> table = {
        {29.9, 0, 30, 30, false, false}, {30, 0, 30, 30, true, false},
        {-30, 0, 30, 30, true, false},   {-45.5, 0, 90, 30, false, false},
        {0, 0, 0, 30, true, false},      {0, 0, 30, 0, false, true},
        {90, 0, 90, 90, true, false},    {0, -31, 30, 30, false, true},
    };
    for (const Case& c : table) {
        const AlarmDecision d = DecideAlarm(c.pitch, c.roll, c.pitchLimit, c.rollLimit);
        EXPECT_EQ(d.bPitch, c.bPitch) << c.pitch << " vs " << c.pitchLimit;
        EXPECT_EQ(d.bRoll, c.bRoll) << c.roll << " vs " << c.rollLimit;
    }
}

TEST(AlarmTone, ThreeBeepsOf600HzFor300msWith50msGaps) {
    constexpr int rate = 48000;
    const QByteArray pcm = SynthesiseAlarm(rate);
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const int n = static_cast<int>(pcm.size() / 2);
    EXPECT_EQ(n, rate * (3 * 300 + 2 * 50) / 1000);
    // Runs of sound and of silence, in milliseconds.
    std::vector<std::pair<bool, int>> runs;
    for (int i = 0; i < n;) {
        // A zero crossing inside a beep is one sample; silence is long.
        int j = i;
        const bool loud = s[i] != 0 || (i + 1 < n && s[i + 1] != 0);
        while (j < n && ((s[j] != 0 || (j + 1 < n && s[j + 1] != 0)) == loud))
            ++j;
        runs.push_back({loud, (j - i) * 1000 / rate});
        i = j;
    }
    ASSERT_EQ(runs.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(runs[k].first, k % 2 == 0);
        EXPECT_NEAR(runs[k].second, k % 2 == 0 ? 300 : 50, 1);
    }
    // 600 Hz: 180 rising zero crossings in each 300 ms beep.
    int rising = 0;
    for (int i = 1; i < rate * 300 / 1000; ++i)
        rising += s[i - 1] < 0 && s[i] >= 0;
    EXPECT_NEAR(rising, 180, 1);
}

} // namespace
