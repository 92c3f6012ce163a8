#include "tools/Simulator.h"
#include "link/NumberText.h"
#include "link/ReceiverMessage.h"

#include <gtest/gtest.h>
#include <map>

namespace {

TEST(Simulator, TrafficIsWellFormedAndPaced) {
    // Ten seconds at 10 Hz with an 'n' packet every 5 s.
    CReceiverMessage framer;
    std::map<std::string, int> counts;
    int packets = 0;
    for (std::uint64_t tick = 0; tick < 100; ++tick) {
        for (char c : CInstrumentSimulator::Traffic(tick, 10.0, 5.0)) {
            if (!framer.FeedByte(static_cast<std::uint8_t>(c)))
                continue;
            if (!framer.m_bTextLine) {
                ++packets;
                EXPECT_EQ(framer.m_nType, 0x6E);
                continue;
            }
            const std::string line(framer.Bytes());
            ASSERT_GE(line.size(), 4u);
            EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
            const std::string name(ExtractFieldOf(line, 1));
            ++counts[line[1] == 'C' ? "C" : name];
            const auto star = line.find('*');
            if (line[1] == 'G') {
                // NMEA checksum: XOR of everything between '$' and '*'.
                ASSERT_NE(star, std::string::npos);
                unsigned sum = 0;
                for (std::size_t i = 1; i < star; ++i)
                    sum ^= static_cast<unsigned char>(line[i]);
                EXPECT_EQ(std::stoul(line.substr(star + 1, 2), nullptr, 16), sum) << line;
            }
        }
    }
    EXPECT_EQ(counts["C"], 100);
    EXPECT_EQ(counts["HDT"], 100);
    EXPECT_EQ(counts["ROT"], 100);
    EXPECT_EQ(counts["GGA"], 10);
    EXPECT_EQ(packets, 2);
}

} // namespace
