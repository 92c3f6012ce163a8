// Throughput of the instrument link's receive path: the framer alone, the
// framer on line noise, and the framer followed by the view's reading of each
// message (field extraction and number conversion), plus a count of the heap
// allocations that reading makes once it runs in steady state; and the framer
// with the sentence readers over what a ship's network carries.
//
//   cmake --build build --target link_bench && build/bench/link_bench
//
// Each benchmark also checks that the work was done right (message counts, the
// sum of the values read), so a fast but wrong framer shows as an error.

#include "link/NumberText.h"
#include "link/ReceiverMessage.h"
#include "link/Sentences.h"
#include "link/TagBlock.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <string_view>

// ---- Allocation counter: every global operator new in the process counts. ----

namespace {
std::atomic<std::uint64_t> g_allocations{0};

void* CountedAlloc(std::size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}

void* CountedAlignedAlloc(std::size_t size, std::align_val_t alignment) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    return std::aligned_alloc(align, rounded ? rounded : align);
}

// Not inlined, so that the compiler does not pair malloc with a delete expression
// and take the replaced operators for mismatched ones.
[[gnu::noinline]] void Release(void* p) noexcept {
    std::free(p);
}
} // namespace

void* operator new(std::size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = CountedAlloc(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* p = CountedAlignedAlloc(size, alignment))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* p = CountedAlignedAlloc(size, alignment))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return CountedAlignedAlloc(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return CountedAlignedAlloc(size, alignment);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(p);
}

namespace {

constexpr std::size_t kStreamBytes = 1 << 20;

// A recorded stream and what framing it must give.
struct Stream {
    std::string bytes;
    std::uint64_t messages = 0;
    double viewSum = 0; // the sum of every value the view reads, in stream order
};

std::string Sentence(const char* body) {
    unsigned char sum = 0;
    for (const char* p = body; *p; ++p)
        sum ^= static_cast<unsigned char>(*p);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return std::string("$") + body + tail;
}

double Number(const char* text) {
    return std::strtod(text, nullptr);
}

// What the instrument sends: attitude lines ($C<heading>,<pitch>), heading and
// rate-of-turn sentences, a position sentence every tenth message and now and
// then an 'n' packet, with values from a fixed seed.
Stream BuildMixedStream() {
    Stream s;
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> heading(0.0, 359.9);
    std::uniform_real_distribution<double> pitch(-10.0, 10.0);
    std::uniform_real_distribution<double> rate(-50.0, 50.0);
    std::uniform_real_distribution<double> minutes(0.0, 59.9999);
    const std::string nPacket("\x02\x00\x6E\x01\x41\xB0\x03", 7);
    char a[32];
    char b[32];
    char body[128];
    for (std::uint64_t i = 0; s.bytes.size() < kStreamBytes; ++i) {
        const int slot = static_cast<int>(i % 10);
        if (slot == 9) {
            std::snprintf(a, sizeof a, "31%07.4f", minutes(random));
            std::snprintf(b, sizeof b, "121%07.4f", minutes(random));
            std::snprintf(body, sizeof body,
                          "GPGGA,%02u%02u%05.2f,%s,N,%s,E,1,08,0.9,545.4,M,46.9,M,,",
                          static_cast<unsigned>(i / 3600 % 24), static_cast<unsigned>(i / 60 % 60),
                          static_cast<double>(i % 60), a, b);
            s.bytes += Sentence(body);
            s.viewSum += Number(a) + Number(b);
        } else if (slot == 1 || slot == 5) {
            std::snprintf(a, sizeof a, "%.2f", heading(random));
            std::snprintf(body, sizeof body, "GPHDT,%s,T", a);
            s.bytes += Sentence(body);
            s.viewSum += Number(a);
        } else if (slot == 3 || slot == 7) {
            std::snprintf(a, sizeof a, "%.2f", rate(random));
            std::snprintf(body, sizeof body, "GPROT,%s,A", a);
            s.bytes += Sentence(body);
            s.viewSum += Number(a);
        } else {
            std::snprintf(a, sizeof a, "%.1f", heading(random));
            std::snprintf(b, sizeof b, "%.2f", pitch(random));
            s.bytes += std::string("$C") + a + "," + b + "\r\n";
            s.viewSum += Number(a) + Number(b);
        }
        ++s.messages;
        if (i % 97 == 96) {
            // The payload "A" has no field 1 or 2: the view reads 0 + 0.
            s.bytes += nPacket;
            ++s.messages;
            s.viewSum += 0.0 + 0.0;
        }
    }
    return s;
}

const Stream& MixedStream() {
    static const Stream stream = BuildMixedStream();
    return stream;
}

const std::string& Garbage() {
    static const std::string bytes = [] {
        std::mt19937 random(7);
        std::string out(kStreamBytes, '\0');
        for (char& c : out)
            c = static_cast<char>(random() & 0xFF);
        return out;
    }();
    return bytes;
}

// The view's reading of a message: "GGA" gives latitude and longitude (fields
// 3 and 6), "HDT" the heading and "ROT" the pitch (field 2), anything else a
// heading in field 1 and a pitch in field 2.
inline double ReadAsTheViewDoes(const FramedMessage& message) {
    const std::string_view s = message.bTextLine ? message.bytes : message.Payload();
    const std::string_view kind = ExtractFieldOf(s, 1);
    if (kind == "GGA")
        return Atof(ExtractFieldOf(s, 3)) + Atof(ExtractFieldOf(s, 6));
    if (kind == "HDT" || kind == "ROT")
        return Atof(ExtractFieldOf(s, 2));
    return Atof(kind) + Atof(ExtractFieldOf(s, 2));
}

// Frames the bytes; returns the number of messages, adding their lengths to *lengths.
// kBlock: through the block feed the main frame uses, else FeedByte per byte.
template <bool kBlock>
inline std::uint64_t FrameOnly(CReceiverMessage& framer, std::string_view bytes,
                               std::uint64_t* lengths) {
    std::uint64_t messages = 0;
    if constexpr (kBlock) {
        std::uint64_t total = 0;
        framer.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                    [&](const FramedMessage& message) {
                        ++messages;
                        total += message.bytes.size();
                    });
        *lengths += total;
        return messages;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    for (; p != end; ++p) {
        framer.FeedByte(*p, [&](const FramedMessage& message) {
            ++messages;
            *lengths += message.bytes.size();
        });
    }
    return messages;
}

// Frames the bytes and reads every message as the view does; returns the
// number of messages, adding the values read to *sum.
template <bool kBlock>
inline std::uint64_t FrameAndRead(CReceiverMessage& framer, std::string_view bytes, double* sum) {
    std::uint64_t messages = 0;
    double total = *sum;
    if constexpr (kBlock) {
        framer.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                    [&](const FramedMessage& message) {
                        ++messages;
                        total += ReadAsTheViewDoes(message);
                    });
        *sum = total;
        return messages;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    for (; p != end; ++p) {
        framer.FeedByte(*p, [&](const FramedMessage& message) {
            ++messages;
            total += ReadAsTheViewDoes(message);
        });
    }
    *sum = total;
    return messages;
}

void Report(benchmark::State& state, std::size_t passBytes, std::uint64_t messages) {
    const auto bytes = static_cast<double>(state.iterations()) * static_cast<double>(passBytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(messages));
    // bytes_per_second counts in powers of 1024; this one in powers of 1000 (MB/s).
    state.counters["bytes_si"] = benchmark::Counter(bytes, benchmark::Counter::kIsRate);
    state.counters["msg/s"] =
        benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
}

// (a) The framer over the instrument's mixed stream.
template <bool kBlock> void BM_FramerMixedStream(benchmark::State& state) {
    const Stream& stream = MixedStream();
    CReceiverMessage framer;
    std::uint64_t messages = 0;
    std::uint64_t lengths = 0;
    for (auto _ : state) {
        messages += FrameOnly<kBlock>(framer, stream.bytes, &lengths);
        benchmark::DoNotOptimize(lengths);
    }
    const auto passes = static_cast<std::uint64_t>(state.iterations());
    if (messages != stream.messages * passes || lengths != stream.bytes.size() * passes) {
        state.SkipWithError("the framer did not return the stream's messages");
        return;
    }
    Report(state, stream.bytes.size(), messages);
}
BENCHMARK_TEMPLATE(BM_FramerMixedStream, false);
BENCHMARK_TEMPLATE(BM_FramerMixedStream, true);

// (b) The framer over line noise: a bad line must not cost much more than a good one.
template <bool kBlock> void BM_FramerRandomBytes(benchmark::State& state) {
    const std::string& bytes = Garbage();
    CReceiverMessage framer;
    std::uint64_t messages = 0;
    std::uint64_t lengths = 0;
    for (auto _ : state) {
        messages += FrameOnly<kBlock>(framer, bytes, &lengths);
        benchmark::DoNotOptimize(lengths);
    }
    Report(state, bytes.size(), messages);
}
BENCHMARK_TEMPLATE(BM_FramerRandomBytes, false);
BENCHMARK_TEMPLATE(BM_FramerRandomBytes, true);

// (c) The framer and the view's reading of every message.
template <bool kBlock> void BM_FramerAndViewReading(benchmark::State& state) {
    const Stream& stream = MixedStream();
    {
        CReceiverMessage framer;
        double sum = 0;
        if (FrameAndRead<kBlock>(framer, stream.bytes, &sum) != stream.messages ||
            sum != stream.viewSum) {
            state.SkipWithError("the view's reading of the stream gave wrong values");
            return;
        }
    }
    CReceiverMessage framer;
    std::uint64_t messages = 0;
    double sum = 0;
    for (auto _ : state) {
        messages += FrameAndRead<kBlock>(framer, stream.bytes, &sum);
        benchmark::DoNotOptimize(sum);
    }
    Report(state, stream.bytes.size(), messages);
}
BENCHMARK_TEMPLATE(BM_FramerAndViewReading, false);
BENCHMARK_TEMPLATE(BM_FramerAndViewReading, true);

// (d) Heap allocations per message on the path of (c), once warmed up: expected 0.
template <bool kBlock> void BM_ViewReadingAllocations(benchmark::State& state) {
    const Stream& stream = MixedStream();
    {
        const std::uint64_t before = g_allocations.load(std::memory_order_relaxed);
        std::string probe(64, 'x');
        benchmark::DoNotOptimize(probe.data());
        if (g_allocations.load(std::memory_order_relaxed) == before) {
            state.SkipWithError("operator new is not being counted");
            return;
        }
    }
    CReceiverMessage framer;
    double sum = 0;
    FrameAndRead<kBlock>(framer, stream.bytes, &sum); // warm-up: whatever is allocated once
    std::uint64_t messages = 0;
    const std::uint64_t before = g_allocations.load(std::memory_order_relaxed);
    for (auto _ : state) {
        messages += FrameAndRead<kBlock>(framer, stream.bytes, &sum);
        benchmark::DoNotOptimize(sum);
    }
    const std::uint64_t allocations = g_allocations.load(std::memory_order_relaxed) - before;
    Report(state, stream.bytes.size(), messages);
    state.counters["allocs/msg"] =
        static_cast<double>(allocations) / static_cast<double>(messages ? messages : 1);
    if (allocations != 0) {
        char text[96];
        std::snprintf(text, sizeof text, "%llu heap allocations in %llu messages",
                      static_cast<unsigned long long>(allocations),
                      static_cast<unsigned long long>(messages));
        state.SkipWithError(text);
    }
}
BENCHMARK_TEMPLATE(BM_ViewReadingAllocations, false);
BENCHMARK_TEMPLATE(BM_ViewReadingAllocations, true);

} // namespace

// ---- The framer and the sentence readers over a ship's mixed stream ----

namespace {
// What a bridge network carries: HDT, THS, PASHR, XDR, GGA and VTG, a third of
// them behind a tag block, and binary packets making 5 % of the bytes; with
// the number of valid observations the readers must find.
struct ShipStream {
    std::string bytes;
    std::uint64_t messages = 0;
    std::uint64_t valid = 0;
};

ShipStream BuildShipStream() {
    ShipStream s;
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> heading(0.0, 359.9), angle(-10.0, 10.0);
    std::uniform_int_distribution<int> byte(0, 255);
    char body[160];
    std::size_t binary = 0;
    for (std::uint64_t i = 0; s.bytes.size() < kStreamBytes; ++i) {
        int valid = 1;
        switch (i % 6) {
        case 0:
            std::snprintf(body, sizeof body, "GPHDT,%.2f,T", heading(random));
            break;
        case 1:
            std::snprintf(body, sizeof body, "HETHS,%.2f,A", heading(random));
            break;
        case 2:
            std::snprintf(
                body, sizeof body, "PASHR,%06u.000,%.2f,T,%.2f,%.2f,0.02,0.086,0.086,0.025,1,1",
                static_cast<unsigned>(i % 235959), heading(random), angle(random), angle(random));
            valid = 3;
            break;
        case 3:
            std::snprintf(body, sizeof body, "IIXDR,A,%.1f,D,PTCH,A,%.1f,D,ROLL", angle(random),
                          angle(random));
            valid = 2;
            break;
        case 4:
            std::snprintf(body, sizeof body,
                          "GNGGA,%06u.00,3110.%04d,N,12129.%04d,E,4,14,0.8,12.3,M,8.1,M,,",
                          static_cast<unsigned>(i % 235959), static_cast<int>(i % 10000),
                          static_cast<int>(i * 7 % 10000));
            break;
        default:
            std::snprintf(body, sizeof body, "GPVTG,%.1f,T,%.1f,M,%.1f,N,%.1f,K,A", heading(random),
                          heading(random), 5.5, 10.2);
            valid = 2;
            break;
        }
        if (i % 3 == 0) {
            char tag[kMaxTagBlock];
            s.bytes.append(tag,
                           WriteTagBlock("GP0001", static_cast<std::int64_t>(i % 999 + 1),
                                         1765152000000 + static_cast<std::int64_t>(i) * 100, tag));
        }
        s.bytes += Sentence(body);
        ++s.messages;
        s.valid += static_cast<std::uint64_t>(valid);
        // A binary packet whenever the packets fall behind 5 % of the bytes.
        while (binary * 20 < s.bytes.size()) {
            std::string packet = {'\x02', '\x00', 'B', static_cast<char>(64)};
            for (int k = 0; k < 64; ++k)
                packet += static_cast<char>(byte(random));
            packet += static_cast<char>(CReceiverMessage::SumBytes(
                reinterpret_cast<const std::uint8_t*>(packet.data()) + 1, 67));
            packet += '\x03';
            s.bytes += packet;
            binary += packet.size();
            ++s.messages;
        }
    }
    return s;
}

const ShipStream& ShipTraffic() {
    static const ShipStream stream = BuildShipStream();
    return stream;
}

// Frames the stream through the block feed and reads every text line;
// returns the valid observations, adding the messages to *messages.
std::uint64_t FrameAndReadSentences(CReceiverMessage& framer, std::string_view bytes,
                                    std::uint64_t* messages) {
    std::uint64_t valid = 0, count = 0;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                [&](const FramedMessage& message) {
                    ++count;
                    if (!message.bTextLine)
                        return;
                    const SentenceReading reading = ReadSentence(message.bytes);
                    for (const Observation& o : reading)
                        valid += o.validity == Validity::Valid;
                });
    *messages += count;
    return valid;
}
} // namespace

// (e) The framer and the sentence readers over a ship's stream, with the heap
// allocations they make once warmed up (expected: none).
void BM_FramerAndSentenceReaders(benchmark::State& state) {
    const ShipStream& stream = ShipTraffic();
    CReceiverMessage framer;
    std::uint64_t messages = 0;
    if (FrameAndReadSentences(framer, stream.bytes, &messages) != stream.valid ||
        messages != stream.messages) {
        state.SkipWithError("the readers did not find the stream's observations");
        return;
    }
    messages = 0;
    std::uint64_t valid = 0;
    const std::uint64_t before = g_allocations.load(std::memory_order_relaxed);
    for (auto _ : state) {
        valid += FrameAndReadSentences(framer, stream.bytes, &messages);
        benchmark::DoNotOptimize(valid);
    }
    const std::uint64_t allocations = g_allocations.load(std::memory_order_relaxed) - before;
    Report(state, stream.bytes.size(), messages);
    state.counters["allocs/msg"] =
        static_cast<double>(allocations) / static_cast<double>(messages ? messages : 1);
}
BENCHMARK(BM_FramerAndSentenceReaders);
