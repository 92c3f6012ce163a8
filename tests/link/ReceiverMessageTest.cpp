#include "link/ReceiverMessage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Message {
    bool textLine;
    int type;
    std::string bytes;
    bool operator==(const Message&) const = default;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

// Frames `stream` with one framer: a byte at a time through FeedByte when
// chunk is 0, else through the block feed in chunks of `chunk` bytes. Every
// completed text line must be followed by a zero byte in the buffer.
std::vector<Message> Frame(const std::string& stream, std::size_t chunk = 0) {
    CReceiverMessage framer;
    std::vector<Message> out;
    auto collect = [&](const CReceiverMessage& message) {
        out.push_back({message.m_bTextLine, message.m_nType, std::string(message.Bytes())});
        if (message.m_bTextLine)
            EXPECT_EQ(message.m_buffer[message.m_nLength], 0);
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    for (std::size_t at = 0; at < stream.size(); at += chunk ? chunk : 1) {
        if (chunk == 0) {
            if (framer.FeedByte(bytes[at]))
                collect(framer);
            continue;
        }
        framer.Feed(bytes + at, std::min(chunk, stream.size() - at), collect);
    }
    return out;
}

const std::string kN = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB0, 0x03});
const std::string kNBad = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB1, 0x03});
const std::string kCmd6 = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03});

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
    std::vector<Message> expected;
};

// Cases print as their names in test listings.
void PrintTo(const FramerCase& c, std::ostream* out) {
    *out << c.name;
}

class FramerTable : public ::testing::TestWithParam<FramerCase> {};

TEST_P(FramerTable, FramesTheStreamIntoTheExpectedMessages) {
    const FramerCase& c = GetParam();
    EXPECT_EQ(Frame(c.stream), c.expected);
    // However the reads cut the stream, the block feed frames it the same.
    for (std::size_t chunk = 1; chunk <= c.stream.size(); ++chunk)
        ASSERT_EQ(Frame(c.stream, chunk), c.expected) << "chunk " << chunk;
}

const std::string kLongLine = std::string(700, 'x') + "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FramerTable,
    ::testing::Values(
        FramerCase{"hdt_line", "$GPHDT,123.4,T*2B\r\n", {{true, 0, "$GPHDT,123.4,T*2B\r\n"}}},
        FramerCase{"n_packet", kN, {{false, 0x6E, kN}}},
        FramerCase{"bad_checksum_dropped", kNBad, {}},
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
        FramerCase{"stx_inside_packet_is_data",
                   Bytes({0x02, 0x00, 0x41, 0x02, 0x02, 0x02, 0x47, 0x03}),
                   {{false, 0x41, Bytes({0x02, 0x00, 0x41, 0x02, 0x02, 0x02, 0x47, 0x03})}}},
        FramerCase{"longest_packet_fits",
                   kLongest + "$C1,2\n",
                   {{false, 0x41, kLongest}, {true, 0, "$C1,2\n"}}},
        FramerCase{"bad_packet_then_line", kNBad + "$C3,4\r\n", {{true, 0, "$C3,4\r\n"}}},
        FramerCase{"etx_value_not_checked",
                   Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x55}),
                   {{false, 6, Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x55})}}},
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

// Reset says whether a message was cut, and the next line starts afresh.
TEST(Framer, ResetDropsAMessageBeingAssembled) {
    const std::vector<std::pair<std::string, bool>> table = {
        {"$C1,2\n", false},      {"$C1", true}, {kNBad, false},
        {kN.substr(0, 3), true}, {kN, false},   {kN.substr(0, 6), true},
    };
    for (const auto& [before, cut] : table) {
        CReceiverMessage framer;
        framer.Feed(reinterpret_cast<const std::uint8_t*>(before.data()), before.size(),
                    [](const CReceiverMessage&) {});
        EXPECT_EQ(framer.Reset(), cut) << testing::PrintToString(before);
        std::vector<std::string> after;
        const std::string line = "$C3,4\n";
        framer.Feed(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(),
                    [&](const CReceiverMessage& m) { after.emplace_back(m.Bytes()); });
        EXPECT_EQ(after, std::vector<std::string>{line}) << testing::PrintToString(before);
    }
}

TEST(BuildCommand, EveryTabledPacketIsByteExact) {
    const std::vector<std::pair<int, std::string>> table = {
        {0x06, Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03})},
        {0x08, Bytes({0x02, 0x00, 0x08, 0x00, 0x08, 0x03})},
        {0x4A, Bytes({0x02, 0x00, 0x4A, 0x00, 0x4A, 0x03})},
        {0x66, Bytes({0x02, 0x00, 0x66, 0x00, 0x66, 0x03})},
        {0x54, Bytes({0x02, 0x00, 0x54, 0x03, 0x00, 0x1C, 0x00, 0x73, 0x03})},
        {0x56, Bytes({0x02, 0x00, 0x56, 0x03, 0x01, 0x00, 0x00, 0x5A, 0x03})},
        {0x99, Bytes({0x02, 0x00, 0x99, 0x00, 0x99, 0x03})},
    };
    for (const auto& [type, expected] : table) {
        std::uint8_t out[32] = {};
        const int n = CCommandBuilder().Build(static_cast<std::uint8_t>(type), out);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), expected) << "type " << type;
        // What we send must be what we would accept.
        EXPECT_EQ(Frame(expected).size(), 1u);
    }
}

TEST(BuildCommand, DPacketAlternates) {
    const std::string first = Bytes({0x02, 0x00, 0x64, 0x0D, 0x00, 0x00, 0x00, 0x03, 0x06, 0x01,
                                     0x00, 0x07, 0x04, 0x00, 0x00, 0x00, 0x00, 0x86, 0x03});
    const std::string second = Bytes({0x02, 0x00, 0x64, 0x0D, 0x00, 0x00, 0x00, 0x03, 0x06, 0x01,
                                      0x00, 0x07, 0x04, 0x06, 0x00, 0x03, 0x00, 0x8F, 0x03});
    std::uint8_t out[32];
    std::vector<std::string> built;
    CCommandBuilder builder, another;
    for (int i = 0; i < 4; ++i) {
        const int n = builder.Build(0x64, out);
        built.emplace_back(reinterpret_cast<char*>(out), n);
    }
    // A builder's first 'd' carries 00 00 00, whatever others built before.
    EXPECT_EQ(built, (std::vector<std::string>{first, second, first, second}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), another.Build(0x64, out)), first);
}

} // namespace
