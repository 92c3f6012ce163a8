#include "support/LinkSupport.h"

#include <gtest/gtest.h>

namespace {

const std::string kN = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB0, 0x03});
const std::string kNBad = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB1, 0x03});
const std::string kCmd6 = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03});
const std::string kStxData = Bytes({0x02, 0x00, 0x41, 0x02, 0x02, 0x02, 0x47, 0x03});
const std::string kWrongEnd = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x55});
// Sentences with a stray 0x02 in the second: it reads as a packet of ',' (44)
// data bytes that swallows the third sentence and part of the fourth.
const std::string kHdt1 = "$GPHDT,1.0,T*02\r\n", kHdt3 = "$GPHDT,3.0,T*00\r\n",
                  kHdt4 = "$GPHDT,4.0,T*07\r\n";
const std::string kLongLine = std::string(700, 'x') + "\n";

// The longest packet: 255 data bytes, all of them STX.
const std::string kLongest = [] {
    std::string packet = Bytes({0x02, 0x00, 0x41, 0xFF}) + std::string(255, '\x02');
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < packet.size(); ++i)
        sum += static_cast<std::uint8_t>(packet[i]);
    return packet + static_cast<char>(sum) + '\x03';
}();

struct FramerCase {
    const char* name;
    std::string stream;
    std::vector<ReceivedMessage> expected;
};

// Cases print as their names in test listings.
void PrintTo(const FramerCase& c, std::ostream* out) {
    *out << c.name;
}

class FramerTable : public ::testing::TestWithParam<FramerCase> {};

TEST_P(FramerTable, FramesTheStreamIntoTheExpectedMessages) {
    const FramerCase& c = GetParam();
    EXPECT_EQ(FrameOffline(c.stream), c.expected);
    // However the reads cut the stream, the block feed frames it the same.
    for (std::size_t chunk = 1; chunk <= c.stream.size(); ++chunk)
        ASSERT_EQ(FrameOffline(c.stream, chunk), c.expected) << "chunk " << chunk;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FramerTable,
    ::testing::Values(
        FramerCase{"hdt_line", "$GPHDT,123.4,T*2B\r\n", {{true, 0, "$GPHDT,123.4,T*2B\r\n"}}},
        FramerCase{"n_packet", kN, {{false, 0x6E, kN}}},
        FramerCase{"bad_checksum_refused_its_bytes_noise", kNBad, {{true, 0, kNBad.substr(1)}}},
        FramerCase{"empty_packet", kCmd6, {{false, 6, kCmd6}}},
        FramerCase{"line_cut_by_stx_is_dropped", "$GPHDT,1" + kN, {{false, 0x6E, kN}}},
        FramerCase{"text_after_packet_starts_fresh",
                   kN + "$C1,2\n",
                   {{false, 0x6E, kN}, {true, 0, "$C1,2\n"}}},
        FramerCase{"leading_garbage_joins_first_line",
                   "\xff\x10junk$C1,2\n",
                   {{true, 0, "\xff\x10junk$C1,2\n"}}},
        FramerCase{"back_to_back",
                   kN + kCmd6 + kN,
                   {{false, 0x6E, kN}, {false, 6, kCmd6}, {false, 0x6E, kN}}},
        FramerCase{"stx_inside_packet_is_data", kStxData, {{false, 0x41, kStxData}}},
        FramerCase{"longest_packet_fits",
                   kLongest + "$C1,2\n",
                   {{false, 0x41, kLongest}, {true, 0, "$C1,2\n"}}},
        FramerCase{"bad_packet_then_line",
                   kNBad + "$C3,4\r\n",
                   {{true, 0, kNBad.substr(1)}, {true, 0, "$C3,4\r\n"}}},
        FramerCase{"wrong_end_byte_refused",
                   kWrongEnd + "$C1\n",
                   {{true, 0, kWrongEnd.substr(1)}, {true, 0, "$C1\n"}}},
        // The interrupted sentence is lost; the ones the false packet swallowed are not.
        FramerCase{"stray_stx_costs_one_sentence",
                   kHdt1 + "$GPHDT,2\x02,T*31\r\n" + kHdt3 + kHdt4 + kHdt1,
                   {{true, 0, kHdt1},
                    {true, 0, ",T*31\r\n"},
                    {true, 0, kHdt3},
                    {true, 0, kHdt4},
                    {true, 0, kHdt1}}},
        // A refused packet whose bytes end in noise and the start of a sentence.
        FramerCase{"noise_before_a_sentence_start_handed_out_alone",
                   "\x02"
                   "ab\x08"
                   "cd$GPHDT"
                   ",5"
                   ".0,T\r\n",
                   {{true, 0,
                     "ab\x08"
                     "cd"},
                    {true, 0, "$GPHDT,5.0,T\r\n"}}},
        FramerCase{"zero_bytes_in_line",
                   std::string("$C1\0,2\n", 7),
                   {{true, 0, std::string("$C1\0,2\n", 7)}}},
        // An over-long line comes out in 299-byte pieces, nothing lost or reordered.
        FramerCase{"over_long_line_in_pieces",
                   kLongLine,
                   {{true, 0, kLongLine.substr(0, 299)},
                    {true, 0, kLongLine.substr(299, 299)},
                    {true, 0, kLongLine.substr(598)}}}),
    [](const auto& test) { return std::string(test.param.name); });

// What a message being assembled becomes: Reset drops it and says so; the
// end of a whole (a datagram) hands it out, a line without its line feed or a
// packet cut short refused as a bad one (its bytes after the start given
// back). Either way the next line frames alone.
TEST(Framer, ResetDropsAndTheEndOfAWholeHandsOutWhatWasBeingAssembled) {
    struct Case {
        std::string before;
        std::vector<std::string> handedOut; // by the end of the whole; none: nothing to cut
        std::uint64_t badPackets;
    };
    const std::vector<Case> table = {
        {"$C1,2\n", {}, 0},
        {"$GPHDT,1", {"$GPHDT,1"}, 0},
        {kN, {}, 0},
        {kNBad, {}, 1},
        {kN.substr(0, 3), {Bytes({0x00, 0x6E})}, 1},
        {kN.substr(0, 6), {kN.substr(1, 5)}, 1},
        {"$GP" + kN.substr(0, 6), {kN.substr(1, 5)}, 1},
        {kN.substr(0, 4) + "$C5", {"$C5"}, 1}, // a bad packet's noise went before
        {kLongLine.substr(0, 400), {kLongLine.substr(299, 101)}, 0},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(testing::PrintToString(c.before));
        for (const bool reset : {true, false}) {
            CReceiverMessage framer;
            std::vector<std::string> out;
            const auto collect = [&](const FramedMessage& m) { out.emplace_back(m.bytes); };
            framer.Feed(reinterpret_cast<const std::uint8_t*>(c.before.data()), c.before.size(),
                        collect);
            out.clear();
            EXPECT_EQ(reset ? framer.Reset() : framer.EndMessage(collect), !c.handedOut.empty());
            EXPECT_EQ(out, reset ? std::vector<std::string>{} : c.handedOut) << reset;
            if (!reset)
                EXPECT_EQ(framer.BadPackets(), c.badPackets);
            out.clear();
            framer.Feed(reinterpret_cast<const std::uint8_t*>("$C3,4\n"), 6, collect);
            EXPECT_EQ(out, std::vector<std::string>{"$C3,4\n"}) << reset;
        }
    }
}

// Every command packet byte for byte, each one a packet we would accept; a
// builder's 'd' packets alternate, its first carrying 00 00 00 whatever other
// builders built before.
TEST(BuildCommand, EveryTabledPacketIsByteExactAndDAlternates) {
    std::vector<std::pair<int, std::string>> table = {
        {0x54, Bytes({0x02, 0x00, 0x54, 0x03, 0x00, 0x1C, 0x00, 0x73, 0x03})},
        {0x56, Bytes({0x02, 0x00, 0x56, 0x03, 0x01, 0x00, 0x00, 0x5A, 0x03})}};
    for (int type : {0x06, 0x08, 0x4A, 0x66, 0x99})
        table.push_back({type, Bytes({0x02, 0x00, type, 0x00, type, 0x03})});
    std::uint8_t out[32] = {};
    auto build = [&](CCommandBuilder& builder, int type) {
        return std::string(reinterpret_cast<char*>(out),
                           builder.Build(static_cast<std::uint8_t>(type), out));
    };
    for (const auto& [type, expected] : table) {
        CCommandBuilder builder;
        EXPECT_EQ(build(builder, type), expected) << "type " << type;
        EXPECT_EQ(FrameOffline(expected).size(), 1u);
    }
    const std::string first = Bytes({0x02, 0x00, 0x64, 0x0D, 0x00, 0x00, 0x00, 0x03, 0x06, 0x01,
                                     0x00, 0x07, 0x04, 0x00, 0x00, 0x00, 0x00, 0x86, 0x03});
    const std::string second = Bytes({0x02, 0x00, 0x64, 0x0D, 0x00, 0x00, 0x00, 0x03, 0x06, 0x01,
                                      0x00, 0x07, 0x04, 0x06, 0x00, 0x03, 0x00, 0x8F, 0x03});
    CCommandBuilder builder, another;
    std::vector<std::string> built;
    for (int i = 0; i < 4; ++i)
        built.push_back(build(builder, 0x64));
    EXPECT_EQ(built, (std::vector<std::string>{first, second, first, second}));
    EXPECT_EQ(build(another, 0x64), first);
    EXPECT_EQ(FrameOffline(first + second).size(), 2u);
}

} // namespace
