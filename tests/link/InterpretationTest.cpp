#include "link/MonitorState.h"
#include "link/NumberText.h"
#include "support/LinkSupport.h"
#include "tools/SimSource.h"
#include "tools/Simulator.h"

#include <array>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

namespace {

// Fields split at commas, the star and the letters C, E, N and P.
TEST(ExtractFieldOf, SplitsOnCommaStarAndTheLettersCENP) {
    struct Case {
        const char* sentence;
        int n;
        std::string field;
    };
    const char* const gga = "$GPGGA,0,3114.5,N,12129.6,E,1";
    const char* const hdt = "$GPHDT,123.45\r\n";
    const std::vector<Case> table = {
        {gga, 0, "G"},       {gga, 1, "GGA"}, {gga, 2, "0"}, {gga, 3, "3114.5"}, {gga, 4, {}},
        {gga, 6, "12129.6"}, {gga, 9, "1"},   {gga, 10, {}}, {gga, 40, {}},      {hdt, 2, "123.45"},
        {"", 0, {}},         {"$", 0, {}},    {"$,", 1, {}},
    };
    for (const Case& c : table)
        EXPECT_EQ(ExtractFieldOf(c.sentence, c.n), c.field) << c.sentence << " field " << c.n;
}

TEST(Atof, ReadsLikeTheCLibraryWhateverTheLocale) {
    std::vector<std::pair<const char*, double>> table = {
        {"123.45", 123.45}, {"-2.5", -2.5}, {"+7", 7},           {"  3.5", 3.5}, {"1.5E-3", 1.5e-3},
        {"12abc", 12},      {"", 0},        {"abc", 0},          {"-", 0},       {".5", 0.5},
        {"5.", 5},          {"+-1", 0},     {"\t-0.25x", -0.25}, {"1e400", 0},   {"inf", 0},
    };
    // Fifteen digits are read directly; beyond them one division would no
    // longer round correctly.
    table.push_back({"98457567037401.3", 98457567037401.3});
    table.push_back({"984575670374010.3", 984575670374010.3});
    for (const auto& [text, expected] : table)
        EXPECT_EQ(Atof(text), expected) << "'" << text << "'";
}

std::string Nmea(const std::string& body) {
    return CInstrumentSimulator::WithNmeaChecksum(body);
}

// Lines fed one after another into one state: each row sees what the rows
// before it left. What each sentence says is SentencesTest's; here, only what
// a line carries moves the values, a field it leaves empty keeps its value, a
// sentence whose checksum does not match moves nothing, and a line with an
// angle adds a sample.
TEST(Interpretation, OnlySentencesThatCarryAValueMoveIt) {
    using K = CMonitorState::Kind;
    const float none = std::nanf("");
    struct Row {
        std::string line;
        K kind;
        const char *heading, *pitch, *latitude;   // texts after the line ("" never received)
        float sampleHeading = 0, samplePitch = 0; // NaN: not yet received
        float sampleRoll = std::nanf("");
        std::int64_t atMs = 0; // 0: 100 ms after the row before
    };
    const std::vector<Row> table = {
        {Nmea("$GPZDA,130711.00,07,12,2026,00,00"), K::None, "", "", ""},
        // HDT before any pitch: the sample's pitch is not a value yet.
        {Nmea("$IIHDT,200.0,T"), K::Heading, "200.0", "", "", 200, none},
        {"$C123.4,-2.5\r\n", K::Attitude, "123.4", "-2.5", "", 123.4f, -2.5f},
        {"$HEHDT,201.5,T*29\r\n", K::Heading, "201.5", "-2.5", "", 201.5f, -2.5f},
        {"$GNHDT,1.0,T*00\r\n", K::BadChecksum, "201.5", "-2.5", ""},
        {Nmea("$GPROT,-3.0,A"), K::Pitch, "201.5", "-3.0", "", 201.5f, -3},
        {Nmea("$GNGGA,012345.00,3346.1000,S,15112.2000,W,1,08,1.0,10.0,M,0.0,M,,"), K::Position,
         "201.5", "-3.0", "3346.1000"},
        {Nmea("$GPGGA,012346.00,,,,,0,00,,,M,,M,,"), K::None, "201.5", "-3.0", "3346.1000"},
        {Nmea("$GPHDT,,T"), K::None, "201.5", "-3.0", "3346.1000"},
        {"$C359.9\r\n", K::Heading, "359.9", "-3.0", nullptr, 359.9f, -3},
        {Nmea("$PSAT,HPR,130711.00,251.3,,3.5,N"), K::Attitude, "251.3", "-3.0", nullptr, 251.3f,
         -3, 3.5f},
        {"$C13.0,1.0*00\r\n", K::BadChecksum, "251.3", "-3.0", nullptr},
        {"\n", K::None, "251.3", "-3.0", nullptr},
        // A gyro's rate of turn, a pitch its status sets aside and a heading of
        // 400 leave the angles and the curves alone.
        {Nmea("$HEROT,-12.5,A"), K::None, "251.3", "-3.0", nullptr},
        {Nmea("$GPROT,25.0,V"), K::None, "251.3", "-3.0", nullptr},
        {Nmea("$GPHDT,400.00,T"), K::None, "251.3", "-3.0", nullptr},
        // After more than the stale time without a sample, the curves break.
        {"$C14.0,1.5\r\n", K::Attitude, "14.0", "1.5", nullptr, 14, 1.5f, 3.5f, 60000},
    };
    CMonitorState state;
    std::size_t samples = 0;
    std::int64_t now = 1000;
    for (const Row& row : table) {
        SCOPED_TRACE(row.line);
        now = row.atMs ? row.atMs : now + 100;
        EXPECT_EQ(state.InterpretText(row.line, now), row.kind);
        const CLiveValues values = state.Values();
        EXPECT_EQ(values.m_strHeading, row.heading);
        EXPECT_EQ(values.m_strPitch, row.pitch);
        if (row.latitude)
            EXPECT_EQ(values.m_strLatitude, row.latitude);
        const bool appends =
            row.kind == K::Heading || row.kind == K::Pitch || row.kind == K::Attitude;
        samples += appends;
        ASSERT_EQ(state.Samples().Size(), samples);
        if (appends) {
            const LiveSample& sample = state.Samples()[samples - 1];
            const double got[] = {sample.Heading(), sample.Pitch(), sample.Roll()};
            const float expected[] = {row.sampleHeading, row.samplePitch, row.sampleRoll};
            for (int i = 0; i < 3; ++i) {
                if (std::isnan(expected[i]))
                    EXPECT_TRUE(std::isnan(got[i])) << i;
                else
                    EXPECT_FLOAT_EQ(got[i], expected[i]) << i;
            }
        }
    }
    const CLiveValues values = state.Values();
    EXPECT_EQ(values.m_strLongitude, "15112.2000");
    EXPECT_EQ(values.m_strRoll, "3.5");
    double roll = 0;
    EXPECT_TRUE(state.LastAngle(Quantity::Roll, &roll));
    EXPECT_EQ(roll, 3.5);
    EXPECT_EQ(state.ChecksumFailures(), 2u);
    EXPECT_EQ(values.m_dRateOfTurn, -12.5);
    ASSERT_EQ(state.Gaps().Size(), 1u);
    EXPECT_EQ(state.Gaps()[0], samples - 1);
    // Sample times after the first: both sides of the gap exact.
    EXPECT_EQ(state.SampleTimeMs(samples - 1), 58800);
    EXPECT_EQ(state.SampleTimeMs(samples - 2), 900);
}

// Packets carry no attitude, whatever their data look like; their text is the
// data alone.
// A live sample keeps hundredths of a degree: the nearest, north for a heading
// that rounds up to 360, and not received (NaN) for what no angle can be,
// never a wrapped or clamped one; each angle on its own.
TEST(LiveSample, KeepsTheNearestHundredthAndNeverAWrongAngle) {
    const double n = std::nan(""), inf = HUGE_VAL;
    const std::vector<std::pair<std::array<double, 3>, std::array<double, 3>>> table = {
        {{123.456, -2.346, 3.5}, {123.46, -2.35, 3.5}},
        {{359.994, -2.344, -0.004}, {359.99, -2.34, 0}},
        {{359.996, 89.996, -179.996}, {0, 90, -180}},
        {{0, -90, 180}, {0, -90, 180}},
        {{n, n, n}, {n, n, n}},
        {{360, 90.01, -180.01}, {n, n, n}},
        {{400, -1000, 1e300}, {n, n, n}},
        {{-0.01, inf, -inf}, {n, n, n}},
        {{1, 2, 400}, {1, 2, n}},
    };
    for (const auto& [in, out] : table) {
        const LiveSample s(in[0], in[1], in[2]);
        const std::array<double, 3> got = {s.Heading(), s.Pitch(), s.Roll()};
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(std::isnan(out[i]) ? std::isnan(got[i]) : got[i] == out[i])
                << in[i] << " gave " << got[i];
    }
    const LiveSample nothing;
    EXPECT_TRUE(std::isnan(nothing.Heading()) && std::isnan(nothing.Pitch()) &&
                std::isnan(nothing.Roll()));
}

TEST(Interpretation, PacketsChangeNothing) {
    CReceiverMessage framer;
    CMonitorState state;
    const std::string stream = std::string("\x02\x00\x41\x05$C7,8", 9) +
                               char(0x00 + 0x41 + 0x05 + '$' + 'C' + '7' + ',' + '8') + "\x03" +
                               CInstrumentSimulator::NPacket();
    std::vector<std::string> texts;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                [&](const FramedMessage& message) {
                    EXPECT_EQ(state.Interpret(message, 0), CMonitorState::Kind::None);
                    texts.emplace_back(message.Text());
                });
    EXPECT_EQ(texts, (std::vector<std::string>{"$C7,8", "A"}));
    EXPECT_EQ(state.Samples().Size(), 0u);
    EXPECT_FALSE(state.Values().Received(Quantity::Pitch));
}

// Ten seconds at 10 Hz with an 'n' packet every 5 s: every line ends in
// CR LF, every NMEA sentence carries a checksum (right unless asked to be
// wrong), each kind of message comes at its own pace, from the talker asked.
TEST(Simulator, TrafficIsWellFormedAndPaced) {
    using K = CMonitorState::Kind;
    struct Case {
        const char* sentences;
        const char* talker;
        std::uint64_t badEvery;
        std::map<K, int> counts;
    };
    const std::vector<Case> table = {
        {"c,hdt,rot,gga",
         "GP",
         0,
         {{K::Attitude, 100}, {K::Heading, 100}, {K::Pitch, 100}, {K::Position, 10}}},
        {"ths,hpr,psat,pashr,gga",
         "HE",
         10,
         {{K::Heading, 90}, {K::Attitude, 300}, {K::BadChecksum, 10}, {K::Position, 10}}},
        // A gyro's ROT is its rate of turn: the pitch comes only from $GPROT.
        {"rot", "HE", 0, {{K::Pitch, 100}, {K::None, 100}}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.sentences);
        TrafficOptions options;
        options.nPacketEverySeconds = 5;
        ASSERT_TRUE(options.ParseSentences(c.sentences));
        options.talker = c.talker;
        options.badChecksumEvery = c.badEvery;
        std::string stream;
        for (std::uint64_t tick = 0; tick < 100; ++tick)
            stream += CInstrumentSimulator::Traffic(tick, 10.0, options);
        CMonitorState state;
        std::map<K, int> counts;
        int packets = 0;
        for (const ReceivedMessage& m : FrameOffline(stream)) {
            packets += !m.textLine;
            if (!m.textLine)
                continue;
            ++counts[state.InterpretText(m.bytes)];
            if (m.bytes[1] != 'C')
                EXPECT_NE(m.bytes.find('*'), std::string::npos) << m.bytes;
            if (m.bytes[1] != 'C' && m.bytes[1] != 'P' && !m.bytes.starts_with("$GPROT"))
                EXPECT_EQ(m.bytes.substr(1, 2), c.talker);
            EXPECT_TRUE(m.bytes.ends_with("\r\n")) << m.bytes;
        }
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(packets, 2);
        EXPECT_TRUE(state.Values().Received(Quantity::Roll) == (c.badEvery > 0));
        // 3 deg/s and a 15 deg swing every 90 s: 117 to 243 deg a minute.
        const double rate = state.Values().m_dRateOfTurn;
        EXPECT_TRUE(state.Values().Received(Quantity::RateOfTurn) ? rate > 110 && rate < 250
                                                                  : rate == 0);
    }
    TrafficOptions options;
    EXPECT_FALSE(options.ParseSentences("hdt,xyz"));
}

// The number after "<type>," in the first such sentence of a tick's traffic
// (any talker), or NaN when there is none.
double After(const std::string& traffic, const std::string& type) {
    const std::size_t at = traffic.find(type + ",");
    return at == std::string::npos ? NAN
                                   : std::strtod(traffic.c_str() + at + type.size() + 1, nullptr);
}

// a - b in degrees, taken the short way round.
double Apart(double a, double b) {
    return std::remainder(a - b, 360.0);
}

// Each source follows the one vessel: its heading departs from the vessel's
// only by its own faults, written as on the command line.
TEST(Simulator, FaultsMoveOnlyTheirOwnSourcesHeading) {
    struct Case {
        const char* settings;
        std::uint64_t tick, vesselTick; // the true heading the source shows
        double apart;                   // its heading - the vessel's; NaN: nothing sent
        double rotApart;                // its rate of turn - the vessel's; NaN: none (stuck)
    };
    const std::vector<Case> table = {
        {"sentences=hdt,rot,talker=HE", 345, 345, 0, 0},
        {"offset=5", 0, 0, 5, 0},
        {"offset=-200", 1234, 1234, 160, 0},
        {"drift=2", 600, 600, 2, 2},
        {"drift=2", 1800, 1800, 6, 2},
        {"offset=1,drift=-1", 1200, 1200, -1, -1},
        {"stuck-after=10", 99, 99, 0, 0},
        {"stuck-after=10", 100, 100, 0, NAN},
        {"stuck-after=10", 250, 100, 0, NAN},
        {"stuck-after=60,drift=2", 1200, 600, 2, NAN},
        {"drop-after=5,drop-for=3", 49, 49, 0, 0},
        {"drop-after=5,drop-for=3", 50, 50, NAN, NAN},
        {"drop-after=5,drop-for=3", 79, 79, NAN, NAN},
        {"drop-after=5,drop-for=3", 80, 80, 0, 0},
    };
    const TrafficOptions plain = SimSourceSettings::Parse("vessel=pty", nullptr)->traffic;
    for (const Case& c : table) {
        SCOPED_TRACE(testing::Message() << c.settings << " at " << c.tick);
        const auto settings =
            SimSourceSettings::Parse(std::string("gyro=pty,") + c.settings, nullptr);
        ASSERT_TRUE(settings);
        const std::string got = CInstrumentSimulator::Traffic(c.tick, 10.0, settings->traffic);
        const std::string vessel = CInstrumentSimulator::Traffic(c.vesselTick, 10.0, plain);
        const std::string vesselNow = CInstrumentSimulator::Traffic(c.tick, 10.0, plain);
        if (std::isnan(c.apart)) {
            EXPECT_EQ(got, "");
            continue;
        }
        EXPECT_NEAR(Apart(After(got, "HEHDT"), After(vessel, "HEHDT")), c.apart, 0.011) << got;
        const double rot =
            After(got, "HEROT") - (std::isnan(c.rotApart) ? 0 : After(vesselNow, "HEROT"));
        EXPECT_NEAR(rot, std::isnan(c.rotApart) ? 0 : c.rotApart, 0.011) << got;
        // The pitch is the vessel's, whatever the heading does.
        EXPECT_EQ(After(got, "GPROT"), After(vesselNow, "GPROT"));
    }
    for (const char* refused : {"gyro=tcp:1:2", "gyro=udp:host", "gyro=udp:host:70000",
                                "gyro=pty,hdt", "gyro=pty,sentences=hdt,xyz", "gyro=pty,talker=HEX",
                                "gyro=pty,noise=-1", "gyro=pty,drift=fast", "gyro=pty,speed=2",
                                "=pty", "gyro=pty,format=iec450", "gyro=udp:h:1,id=a-b"}) {
        std::string error;
        EXPECT_FALSE(SimSourceSettings::Parse(refused, &error)) << refused;
        EXPECT_NE(error, "") << refused;
    }
}

// Noise of the standard deviation asked for, the same for the same seed.
TEST(Simulator, NoiseIsSeededAndOfItsSize) {
    struct Case {
        double sigma;
        std::uint64_t seed;
    };
    for (const Case& c : std::vector<Case>{{0.5, 1}, {2, 7}, {0.2, 123456789}}) {
        SCOPED_TRACE(c.seed);
        HeadingFaults noisy;
        noisy.noiseDeg = c.sigma;
        noisy.seed = c.seed;
        HeadingFaults other = noisy;
        other.seed = c.seed + 1;
        double sum = 0, squares = 0;
        int sameOther = 0;
        constexpr int n = 4000;
        for (std::uint64_t tick = 0; tick < n; ++tick) {
            const double heading = CInstrumentSimulator::SourceHeading(tick, 10, noisy);
            const double e = Apart(heading, CInstrumentSimulator::SourceHeading(tick, 10, {}));
            sum += e;
            squares += e * e;
            EXPECT_EQ(heading, CInstrumentSimulator::SourceHeading(tick, 10, noisy));
            sameOther += CInstrumentSimulator::SourceHeading(tick, 10, other) == heading;
        }
        EXPECT_NEAR(sum / n, 0, 0.06 * c.sigma);
        EXPECT_NEAR(std::sqrt(squares / n), c.sigma, 0.05 * c.sigma);
        EXPECT_LT(sameOther, 5);
    }
}

// A further source reaches its reader on its own pty or as datagrams on a
// real socket, a tick's traffic each, with nothing during its dropout.
TEST(Simulator, FurtherSourcesReachTheirReaders) {
    CTempFolder folder;
    const int receiver = Bound(SOCK_DGRAM, 0);
    ASSERT_GE(receiver, 0);
    const std::vector<std::string> sources = {
        "gyro=pty:" + folder.path + "/gyro,offset=10,drop-after=1,drop-for=1",
        "mag=udp:127.0.0.1:" + std::to_string(LocalPort(receiver)) +
            ",offset=10,drop-after=1,drop-for=1",
        "hc=udp:127.0.0.1:" + std::to_string(LocalPort(receiver)) +
            ",format=iec450,id=HC0002,drop-after=1,drop-for=1",
    };
    for (const std::string& text : sources) {
        SCOPED_TRACE(text);
        std::optional<SimSourceSettings> settings = SimSourceSettings::Parse(text, nullptr);
        ASSERT_TRUE(settings);
        CSimSource source(*settings);
        std::string error;
        ASSERT_TRUE(source.Open(&error)) << error;
        const bool pty = settings->output == SimSourceSettings::Output::Pty;
        const int fd =
            pty ? open(source.Where().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK) : receiver;
        ASSERT_GE(fd, 0);
        for (std::uint64_t tick = 0; tick < 30; ++tick)
            ASSERT_TRUE(source.Tick(tick, 10));
        // 30 ticks but for the 10 of the dropout: 20 headings and rates.
        std::vector<std::string> reads;
        std::string all;
        pollfd ready{fd, POLLIN, 0};
        while (Occurrences(all, "HEROT") < 20 && poll(&ready, 1, 30000) == 1) {
            char buffer[4096];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            reads.emplace_back(buffer, static_cast<std::size_t>(n));
            all += reads.back();
        }
        if (pty)
            close(fd);
        // Exactly its own traffic: every tick's but the dropout's; over UDP
        // a tick's a datagram, or in the 450 form a sentence's behind its
        // header and a tag block that counts the lines.
        std::vector<std::string> expected;
        for (std::uint64_t tick = 0; tick < 30; ++tick)
            if (tick < 10 || tick >= 20)
                expected.push_back(CInstrumentSimulator::Traffic(tick, 10, settings->traffic));
        if (settings->format == SimSourceSettings::Format::Iec450) {
            std::string lines, sentences;
            for (std::size_t i = 0; i < reads.size(); ++i) {
                const std::string& d = reads[i];
                const Udp450Header header =
                    ReadUdp450Header(reinterpret_cast<const std::uint8_t*>(d.data()), d.size());
                EXPECT_EQ(header.kind, Udp450Header::Kind::Sentences);
                EXPECT_EQ(d.substr(header.nLength, 20)
                              .find("\\s:HC0002,n:" + std::to_string(i + 1) + ","),
                          0u)
                    << d;
                sentences += d.substr(d.find('\\', header.nLength + 1) + 1);
            }
            EXPECT_EQ(sentences, std::accumulate(expected.begin(), expected.end(), std::string()));
        } else if (pty)
            EXPECT_EQ(all, std::accumulate(expected.begin(), expected.end(), std::string()));
        else
            EXPECT_EQ(reads, expected);
    }
    close(receiver);
}

} // namespace
