// libFuzzer target for the instrument link's framer, field extraction and number reading.
//
// Every input is framed three ways and the three message sequences must agree:
//   A. the whole input through one framer, a byte at a time, as it arrives;
//   B. the same bytes through the receive ring in chunks whose sizes (and the
//      ring's starting position) are drawn from the input's first bytes, then
//      through a second framer's block feed as the consumer takes them - the
//      program's own path from the port's watch thread to the session's thread;
//   M. a plain model of the wire format written from the framer's documented
//      behaviour, over the whole buffer at once.
// A and B are advanced interleaved, so state shared between framers would show.
// Each completed message is also checked on its own (a packet's checksum and
// length, a text line's end), and the reading of it is exercised: fields 0..8
// must be pieces of the sentence without delimiters, equal to a split on the
// delimiters, Atof must read them as strtod does, and the session's
// interpretation must change only what the message carries. The framers'
// counts of bad packets and over-long lines must be the model's, and the
// counts per message type must add up to the messages within a bounded table.
// Then the input ends as a datagram does, and both framers hand out alike what
// they were assembling.

#include "link/MessageCounts.h"
#include "link/MonitorState.h"
#include "link/NumberText.h"
#include "link/ReceiveRing.h"
#include "link/ReceiverMessage.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "framer_fuzz: check failed at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            Fail(#cond, __FILE__, __LINE__);                                                       \
    } while (0)

struct Message {
    bool textLine;
    std::uint8_t type;
    std::string bytes;
    bool operator==(const Message&) const = default;
};

// The same field by another route: split everything after the first character
// on the delimiters, take piece n and cut it at the first CR or LF.
std::string_view ModelField(std::string_view s, int n) {
    if (s.empty())
        return {};
    std::string_view rest = s.substr(1);
    for (int i = 0; i < n; ++i) {
        const std::size_t cut = rest.find_first_of(",*CENP");
        if (cut == std::string_view::npos)
            return {};
        rest.remove_prefix(cut + 1);
    }
    rest = rest.substr(0, rest.find_first_of(",*CENP"));
    return rest.substr(0, rest.find_first_of("\r\n"));
}

// Atof against the C library, which the process runs in the "C" locale. They
// may differ only on hexadecimal text (Atof reads decimal), on values out of
// double's range and on infinity and NaN: Atof gives 0 for those (or the
// denormal for an underflow), since no reading is one and a plot cannot place it.
void CheckNumber(std::string_view text) {
    const double value = Atof(text);
    CHECK(std::isfinite(value));
    if (text.find_first_of("xX") != std::string_view::npos)
        return;
    const std::string copy(text);
    errno = 0;
    const double expected = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(expected))
        CHECK(value == 0.0);
    else if (errno == ERANGE) // underflow: strtod's denormal, or 0
        CHECK(value == 0.0 || value == expected);
    else
        CHECK(value == expected);
}

void CheckFields(std::string_view sentence) {
    const char* const begin = sentence.data();
    const char* const end = begin + sentence.size();
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 40}) {
        const std::string_view field = ExtractFieldOf(sentence, n);
        if (!field.empty()) {
            CHECK(field.data() >= begin && field.data() + field.size() <= end);
            CHECK(field.data() > begin); // the first character never belongs to a field
        }
        CHECK(field == ModelField(sentence, n));
        CheckNumber(field);
    }
    CheckNumber(sentence);
}

// The interpretation the session runs on every message: only what a message
// carries moves the values, and only attitude messages add a sample.
// Made anew now and then, so that the samples of millions of inputs do not pile up.
std::unique_ptr<CMonitorState> g_pMonitor;
std::int64_t g_nowMs = 0;

void Interpret(std::string_view sentence) {
    using Kind = CMonitorState::Kind;
    if (!g_pMonitor || g_pMonitor->Samples().Size() > 100000)
        g_pMonitor = std::make_unique<CMonitorState>();
    CMonitorState& monitor = *g_pMonitor;
    const std::size_t before = monitor.Samples().Size();
    const std::uint64_t failures = monitor.ChecksumFailures();
    SentenceReading reading;
    const Kind kind = monitor.InterpretText(sentence, ++g_nowMs, &reading);
    // What is believed is a number within its quantity's range, and a view
    // into the line.
    for (const Observation& o : reading) {
        if (o.validity != Validity::Valid)
            continue;
        const double v = o.value.dNumber;
        CHECK(std::isfinite(v));
        CHECK(o.quantity != Quantity::Heading || (v >= 0 && v < 360));
        CHECK(o.quantity != Quantity::Pitch || (v >= -90 && v <= 90));
        CHECK(o.quantity != Quantity::Roll || (v >= -180 && v <= 180));
        CHECK(o.value.text.empty() ||
              (o.value.text.data() >= sentence.data() &&
               o.value.text.data() + o.value.text.size() <= sentence.data() + sentence.size()));
    }
    CHECK(reading.tag.nLength <= sentence.size());
    const bool attitude = kind == Kind::Heading || kind == Kind::Pitch || kind == Kind::Roll ||
                          kind == Kind::Attitude;
    CHECK(monitor.Samples().Size() == before + (attitude ? 1 : 0));
    CHECK(monitor.ChecksumFailures() == failures + (kind == Kind::BadChecksum ? 1 : 0));
    const CLiveValues values = monitor.Values();
    const auto at = [&](Quantity q) {
        return values.m_nReceivedMs[static_cast<int>(q)] == g_nowMs;
    };
    const int fresh = at(Quantity::Heading) + at(Quantity::Pitch) + at(Quantity::Roll);
    CHECK(kind == Kind::Attitude ? fresh >= 2 : fresh == (attitude ? 1 : 0));
    CHECK(kind != Kind::Heading || at(Quantity::Heading));
    CHECK(kind != Kind::Pitch || at(Quantity::Pitch));
    CHECK(kind != Kind::Roll || at(Quantity::Roll));
    CHECK(at(Quantity::Position) == (kind == Kind::Position));
    CHECK(std::isfinite(values.m_dRoll));
    CHECK(std::isfinite(values.m_dHeading) && std::isfinite(values.m_dPitch));
}

// Checks a message as the framer hands it out (the framer idle meanwhile) and
// appends it to out; readFields also puts the message through the view's reading.
// ended: handed out by the end of a whole, where a line may lack its end.
void Collect(const CReceiverMessage& framer, const FramedMessage& message,
             std::vector<Message>& out, bool readFields, bool ended = false) {
    const std::string_view bytes = message.bytes;
    CHECK(!bytes.empty());
    CHECK(bytes.size() < CReceiverMessage::kBufferSize);
    CHECK(framer.CurrentState() == CReceiverMessage::State::Idle);
    if (message.bTextLine) {
        CHECK(message.nType == 0);
        CHECK(bytes.size() <= static_cast<std::size_t>(CReceiverMessage::kMaxTextPiece));
        // A line's end, a full piece, or the noise a refused packet gave back.
        CHECK(ended || bytes.back() == '\n' ||
              bytes.size() == static_cast<std::size_t>(CReceiverMessage::kMaxTextPiece) ||
              bytes[0] != '$');
        CHECK(bytes.find('\n') == bytes.size() - 1 || bytes.find('\n') == std::string_view::npos);
        CHECK(bytes.find(static_cast<char>(CReceiverMessage::STX)) == std::string_view::npos);
        CHECK(bytes.data()[bytes.size()] == 0);
    } else {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const int length = static_cast<int>(bytes.size());
        CHECK(bytes.size() >= 6);
        CHECK(p[0] == CReceiverMessage::STX);
        CHECK(static_cast<std::size_t>(p[3]) + 6 == bytes.size());
        CHECK(message.nType == p[2]);
        CHECK(CReceiverMessage::IsChecksumValid(p, length));
        CHECK(p[length - 1] == CReceiverMessage::ETX);
        CHECK(message.Payload() == bytes.substr(4, p[3]));
    }
    if (readFields) {
        const std::string_view sentence = message.Text();
        CheckFields(sentence);
        if (message.bTextLine)
            Interpret(sentence);
    }
    out.push_back({message.bTextLine, message.nType, std::string(bytes)});
}

// The wire format as documented: a text line runs to LF and is handed out in
// pieces of kMaxTextPiece bytes; STX drops the partial line and starts a packet
// of L + 6 bytes (STX, header, type, L, data, checksum, end byte) which is kept
// when its checksum matches and its end byte is ETX; otherwise it is counted
// and only the STX is skipped: the bytes after it are read again. Where those
// bytes end (the refused packet's end) in a text line that does not begin with
// '$', the line's bytes before its last '$' (all of them without one) are a
// piece of their own, unless a packet that began before that end runs past it.
// A line handed out in more than one piece of full size is counted as over-long.
struct ModelCounts {
    std::uint64_t badPackets = 0;
    std::uint64_t overlongLines = 0;
};
std::vector<Message> Model(const std::uint8_t* data, std::size_t size, ModelCounts& counts) {
    std::vector<Message> out;
    bool cut = false; // the line being collected has been cut before
    std::string line;
    std::vector<std::size_t> ends; // where refused packets end, not yet reached
    std::size_t i = 0;
    while (i < size) {
        if (data[i] == CReceiverMessage::STX) {
            line.clear();
            cut = false;
            if (size - i < 4)
                break;
            const std::size_t total = static_cast<std::size_t>(data[i + 3]) + 6;
            if (size - i < total)
                break;
            // Ends this packet reaches or passes are not reached in a line.
            std::erase_if(ends, [&](std::size_t e) { return e > i && e <= i + total; });
            unsigned sum = 0;
            for (std::size_t k = 1; k < total - 2; ++k)
                sum += data[i + k];
            if (static_cast<std::uint8_t>(sum) == data[i + total - 2] &&
                data[i + total - 1] == CReceiverMessage::ETX) {
                out.push_back({false, data[i + 2],
                               std::string(reinterpret_cast<const char*>(data + i), total)});
                i += total;
            } else {
                ++counts.badPackets;
                ends.push_back(i + total);
                ++i;
            }
            continue;
        }
        line.push_back(static_cast<char>(data[i]));
        if (data[i] == '\n' ||
            line.size() == static_cast<std::size_t>(CReceiverMessage::kMaxTextPiece)) {
            if (data[i] != '\n' && !cut)
                ++counts.overlongLines;
            cut = data[i] != '\n';
            out.push_back({true, 0, line});
            line.clear();
        }
        ++i;
        if (std::erase(ends, i) > 0 && !line.empty() && line[0] != '$') {
            const std::size_t last = line.find_last_of('$');
            const std::size_t noise = last == std::string::npos || last == 0 ? line.size() : last;
            out.push_back({true, 0, line.substr(0, noise)});
            line.erase(0, noise);
            cut = false;
        }
    }
    return out;
}

// Small deterministic generator for the chunking, seeded from the input.
struct Chunker {
    std::uint64_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 16);
    }
};

CReceiveRing g_ring;
std::uint8_t g_taken[CReceiveRing::kSize + 1];

// The room the ring offers: all of it but one slot, less what is unread, and
// never past the ring's end.
void CheckFreeSpace(std::size_t unread) {
    constexpr std::uint32_t kSize = CReceiveRing::kSize;
    CHECK(unread < kSize);
    const std::uint32_t free = kSize - 1 - static_cast<std::uint32_t>(unread);
    CHECK(g_ring.ContiguousFree() == std::min(free, kSize - g_ring.Head()));
    CHECK(g_ring.Empty() == (unread == 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < size && i < 8; ++i)
        seed = (seed ^ data[i]) * 0x100000001B3ull;
    Chunker chunker{seed | 1};
    static constexpr std::uint32_t kLargest[] = {1, 2, 3, 7, 16, 64, 300, 1024, 8191};
    const std::uint32_t largest = kLargest[chunker.Next() % std::size(kLargest)];

    // Empty the ring (it lives across inputs), then move its indices to a
    // position drawn from the input so that wrapping at the end is exercised.
    g_ring.Take(g_taken);
    const std::uint32_t skip = chunker.Next() % CReceiveRing::kSize;
    for (std::uint32_t left = skip; left > 0;) {
        CheckFreeSpace(0);
        const std::uint32_t n = std::min(left, g_ring.ContiguousFree());
        g_ring.Commit(n);
        left -= n;
        g_ring.Take(g_taken);
    }
    CHECK(g_ring.Empty());

    CReceiverMessage direct;
    CReceiverMessage ringed;
    std::vector<Message> fromDirect;
    std::vector<Message> fromRing;
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (consumed < size) {
        CheckFreeSpace(produced - consumed);
        const bool take =
            produced == size || g_ring.ContiguousFree() == 0 || chunker.Next() % 3 == 0;
        if (!take) {
            std::uint32_t n = 1 + chunker.Next() % largest;
            n = std::min<std::uint32_t>(n, g_ring.ContiguousFree());
            n = static_cast<std::uint32_t>(std::min<std::size_t>(n, size - produced));
            std::memcpy(g_ring.WritePointer(), data + produced, n);
            g_ring.Commit(n);
            // The direct framer sees the bytes as they are written.
            for (std::uint32_t i = 0; i < n; ++i) {
                direct.FeedByte(data[produced + i], [&](const FramedMessage& message) {
                    Collect(direct, message, fromDirect, true);
                });
            }
            produced += n;
            continue;
        }
        const std::uint32_t count = g_ring.Take(g_taken);
        CHECK(count < CReceiveRing::kSize);
        CHECK(g_taken[count] == 0);
        CHECK(consumed + count == produced);
        CHECK(std::memcmp(g_taken, data + consumed, count) == 0);
        // What the frame does with a read: the block feed.
        ringed.Feed(g_taken, count, [&](const FramedMessage& message) {
            Collect(ringed, message, fromRing, false);
        });
        consumed += count;
    }
    CHECK(g_ring.Empty());

    CHECK(fromDirect == fromRing);
    CHECK(direct.CurrentState() == ringed.CurrentState());
    ModelCounts model;
    CHECK(fromDirect == Model(data, size, model));
    CHECK(direct.BadPackets() == model.badPackets && ringed.BadPackets() == model.badPackets);
    CHECK(direct.OverlongLines() == model.overlongLines &&
          ringed.OverlongLines() == model.overlongLines);

    CMessageCounts counts;
    for (std::size_t i = 0; i < fromRing.size(); ++i) {
        if (fromRing[i].textLine)
            counts.CountText(fromRing[i].bytes, false, static_cast<std::int64_t>(i) * 37);
        else
            counts.CountPacket(static_cast<std::uint8_t>(fromRing[i].type), 0);
    }
    CHECK(counts.Types() <= CMessageCounts::kMaxTypes);
    std::uint64_t total = counts.Other().count;
    for (int t = 0; t < counts.Types(); ++t) {
        const CMessageCounts::Row& row = counts.Type(t);
        CHECK(row.count > 0 && row.Name().size() <= CMessageCounts::kNameSize);
        CHECK(row.Rate(static_cast<std::int64_t>(fromRing.size()) * 37) <=
              static_cast<double>(row.count));
        total += row.count;
    }
    CHECK(total == fromRing.size());

    // The input as one whole (a datagram): what was being assembled comes out
    // of both framers alike, and nothing is left for the next whole.
    direct.EndMessage([&](const FramedMessage& m) { Collect(direct, m, fromDirect, false, true); });
    ringed.EndMessage([&](const FramedMessage& m) { Collect(ringed, m, fromRing, false, true); });
    CHECK(fromDirect == fromRing);
    CHECK(direct.BadPackets() == ringed.BadPackets());
    CHECK(direct.CurrentState() == CReceiverMessage::State::Idle);
    CHECK(!ringed.EndMessage([](const FramedMessage&) { CHECK(false); }));
    return 0;
}
