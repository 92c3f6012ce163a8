#include "link/InstrumentSession.h"
#include "support/LinkSupport.h"
#include "tools/Simulator.h"

#include <gtest/gtest.h>

namespace {

void Send(CInstrumentSession& session, const std::string& bytes, std::int64_t nowMs) {
    session.Process(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), nowMs);
}

// The rows as "type count/checksum failures", then the totals that are not 0.
std::vector<std::string> Rows(const SessionHealth& health) {
    std::vector<std::string> rows;
    for (int i = 0; i <= health.types.Types(); ++i) {
        const auto& row = i < health.types.Types() ? health.types.Type(i) : health.types.Other();
        const std::string name = row.packetType   ? "packet " + std::to_string(row.packetType)
                                 : row.nameLength ? std::string(row.Name())
                                                  : "other";
        if (!row.count)
            continue;
        std::string text =
            name + " " + std::to_string(row.count) + "/" + std::to_string(row.checksumFailures);
        // What was not believed ("H?1": a heading not plausible, "P!1": a pitch
        // set aside), the last status, the tag block's device, the over-long.
        for (int q = 0; q < kQuantities; ++q) {
            for (const auto& [v, mark] :
                 {std::pair{Validity::Invalid, '!'}, std::pair{Validity::NotPlausible, '?'}}) {
                if (const auto n = row.observed[q][static_cast<int>(v)])
                    text += std::string(" ") + "HPRXMTOCS"[q] + mark + std::to_string(n);
            }
        }
        if (!row.Status().empty())
            text += " |" + std::string(row.Status());
        if (!row.Source().empty())
            text += " @" + std::string(row.Source());
        if (row.overlong)
            text += " +" + std::to_string(row.overlong);
        rows.push_back(text);
    }
    if (health.nBadPackets)
        rows.push_back("bad packets " + std::to_string(health.nBadPackets));
    if (health.nOverlongLines)
        rows.push_back("over-long lines " + std::to_string(health.nOverlongLines));
    return rows;
}

// Each message is counted under its type, a failed checksum with it, however
// the reads cut the stream; bad packets and over-long lines in total.
TEST(SessionHealth, CountsEveryMessageUnderItsType) {
    auto nmea = &CInstrumentSimulator::WithNmeaChecksum;
    const std::string n("\x02\x00\x6E\x01\x41\xB0\x03", 7), bad("\x02\x00\x6E\x01\x41\xB1\x03", 7);
    const std::vector<std::pair<std::string, std::vector<std::string>>> table = {
        {nmea("$GPHDT,1.0,T") + nmea("$GNHDT,2.0,T") + "$C1,2\r\n$CCHDT,1\r\n$GPHDT,1*00\r\n" +
             "$GPROT,5*00\r\n" + nmea("$PSAT,HPR,1,2") + nmea("$PASHR,123.0,1"),
         {"GPHDT 2/1", "GNHDT 1/0", "$C 1/0", "CCHDT 1/0", "GPROT 1/1", "PSAT,HPR 1/0",
          "PASHR 1/0"}},
        {n + bad + std::string("\x02\x00\x06\x00\x06\x03", 6) + n,
         {"packet 110 2/0", "packet 6 1/0", "other 1/0", "bad packets 1"}},
        {"junk\r\n\r\n$ABCDEFGHIJK,1\r\n$gphdt,1\r\n$GP HDT\r\n" + std::string(700, 'x') + "\n",
         {"other 8/0", "over-long lines 1"}},
        {"$GPXYZ," + std::string(400, '1') + "\r\n" + std::string(298, 'y') + "\r\n",
         {"GPXYZ 1/0 +1", "other 3/0", "over-long lines 2"}},
        {nmea("$GPHDT,400.0,T") + nmea("$GPROT,25.0,V") + nmea("$HETHS,7.5,E") + "\\s:kplex*23\\" +
             nmea("$GPHDT,1.0,T") + "\\s:kplex*24\\" + nmea("$GPHDT,1.0,T") +
             nmea("$IIXDR,A,1.0,D,PTCH,A,2.0,D,ROLL,C,19.5,C,AIRTEMP,P,1.013,B,BARO,C,9.5,C,WATER"),
         {"GPHDT 3/1 H?1 @kplex", "GPROT 1/0 P!1", "HETHS 1/0 |E", "IIXDR 1/0 +1"}},
    };
    for (const auto& [stream, rows] : table) {
        CInstrumentSession session;
        for (std::size_t at = 0; at < stream.size(); at += 5)
            Send(session, stream.substr(at, 5), 1000);
        EXPECT_EQ(Rows(session.Health()), rows) << testing::PrintToString(stream);
    }
}

// The rate is that of the last ten whole seconds, from the type's first whole
// second on; the table stops growing at its cap and counts the rest apart.
TEST(SessionHealth, RateOverTheLastTenSecondsAndACapOnTypes) {
    CInstrumentSession session;
    const struct {
        std::int64_t sendFromMs, sendToMs; // "$C" 10 times a second
        std::int64_t nowMs;
        double rate;
    } steps[] = {{500, 1900, 1999, -1}, {2000, 2000, 2000, 10}, {2100, 15400, 15999, 10},
                 {0, -1, 20000, 5.5},   {0, -1, 26000, 0},      {40000, 40000, 40999, 0},
                 {0, -1, 41000, 0.1}};
    for (const auto& step : steps) {
        for (std::int64_t ms = step.sendFromMs; ms <= step.sendToMs; ms += 100)
            Send(session, "$C1,2\r\n", ms);
        EXPECT_DOUBLE_EQ(session.Health().types.Type(0).Rate(step.nowMs), step.rate) << step.nowMs;
    }
    for (int i = 0; i < 70; ++i)
        Send(session, "$TA" + std::to_string(i) + ",1\r\n", 50000);
    Send(session, "$C1,2\r\n", 50000);
    const CMessageCounts counts = session.Health().types;
    EXPECT_EQ(counts.Types(), CMessageCounts::kMaxTypes);
    EXPECT_EQ(counts.Other().count, 70u + 1 - CMessageCounts::kMaxTypes);
    EXPECT_EQ(counts.Type(0).count, 152u);
}

} // namespace
