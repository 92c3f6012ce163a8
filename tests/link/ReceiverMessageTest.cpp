#include "link/ReceiverMessage.h"
#include "link/NumberText.h"

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

// Feeds `stream` in chunks of `chunk` bytes (one framer for the whole stream)
// and collects every completed message.
std::vector<Message> Frame(const std::string& stream, std::size_t chunk = 1) {
    CReceiverMessage framer;
    std::vector<Message> out;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::string piece = stream.substr(at, chunk);
        for (char c : piece) {
            if (framer.FeedByte(static_cast<std::uint8_t>(c)))
                out.push_back({framer.m_bTextLine, framer.m_nType, std::string(framer.Bytes())});
        }
    }
    return out;
}

const std::string kN = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB0, 0x03});
const std::string kNBad = Bytes({0x02, 0x00, 0x6E, 0x01, 0x41, 0xB1, 0x03});
const std::string kCmd6 = Bytes({0x02, 0x00, 0x06, 0x00, 0x06, 0x03});

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
    // The chunking of the reads must not matter.
    for (std::size_t chunk : {2u, 3u, 7u, 64u, 4096u})
        EXPECT_EQ(Frame(c.stream, chunk), c.expected) << "chunk " << chunk;
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
    [](const auto& info) { return std::string(info.param.name); });

TEST(Framer, CompletedLineIsZeroTerminatedAndFlagged) {
    CReceiverMessage framer;
    const std::string line = "$GPHDT,123.4,T*2B\r\n";
    bool done = false;
    for (char c : line)
        done = framer.FeedByte(static_cast<std::uint8_t>(c));
    ASSERT_TRUE(done);
    EXPECT_TRUE(framer.m_bTextLine);
    EXPECT_EQ(framer.m_nType, 0);
    EXPECT_EQ(framer.m_nLength, static_cast<int>(line.size()));
    EXPECT_EQ(framer.m_buffer[line.size()], 0);
}

TEST(Framer, BadChecksumLeavesTheFramerIdle) {
    CReceiverMessage framer;
    for (char c : kNBad)
        EXPECT_FALSE(framer.FeedByte(static_cast<std::uint8_t>(c)));
    EXPECT_EQ(framer.CurrentState(), CReceiverMessage::State::Idle);
}

TEST(Framer, MaximumPacketFits) {
    std::string packet = Bytes({0x02, 0x00, 0x41, 0xFF});
    packet += std::string(255, '\x02');
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < packet.size(); ++i)
        sum += static_cast<std::uint8_t>(packet[i]);
    packet += static_cast<char>(sum);
    packet += '\x03';
    const auto messages = Frame(packet + "$C1,2\n");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].bytes, packet);
    EXPECT_EQ(messages[1].bytes, "$C1,2\n");
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
        const int n = CReceiverMessage::BuildCommand(static_cast<std::uint8_t>(type), out);
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
    for (int i = 0; i < 4; ++i) {
        const int n = CReceiverMessage::BuildCommand(0x64, out);
        built.emplace_back(reinterpret_cast<char*>(out), n);
    }
    // This is the first 'd' the process builds, so it carries 00 00 00.
    EXPECT_EQ(built, (std::vector<std::string>{first, second, first, second}));
}

TEST(ExtractField, SplitsOnCommaStarAndTheLettersCENP) {
    const std::string gga = "$GPGGA,0,3114.5,N,12129.6,E,1";
    const std::vector<std::pair<int, std::string>> table = {
        {0, "G"},       {1, "GGA"}, {2, "0"}, {3, "3114.5"}, {4, ""},  {5, ""},
        {6, "12129.6"}, {7, ""},    {8, ""},  {9, "1"},      {10, ""}, {40, ""},
    };
    CReceiverMessage message;
    message.m_strSentence = gga;
    for (const auto& [n, expected] : table)
        EXPECT_EQ(message.ExtractField(n), expected) << "field " << n;

    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$GPHDT,123.45,T\r\n", 2), "123.45");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$GPHDT,123.45\r\n", 2), "123.45");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$C359.9\r\n", 1), "359.9");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$C359.9\r\n", 2), "");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$C10.0P3.0", 2), "3.0");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$C1.5E-3,2", 1), "1.5");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("", 0), "");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$", 0), "");
    EXPECT_EQ(CReceiverMessage::ExtractFieldOf("$,", 1), "");
}

TEST(Atof, ReadsLikeTheCLibraryWhateverTheLocale) {
    const std::vector<std::pair<const char*, double>> table = {
        {"123.45", 123.45}, {"-2.5", -2.5}, {"+7", 7},           {"  3.5", 3.5}, {"1.5E-3", 1.5e-3},
        {"12abc", 12},      {"", 0},        {"abc", 0},          {"-", 0},       {".5", 0.5},
        {"5.", 5},          {"+-1", 0},     {"\t-0.25x", -0.25},
    };
    for (const auto& [text, expected] : table)
        EXPECT_DOUBLE_EQ(Atof(text), expected) << "'" << text << "'";
}

} // namespace
