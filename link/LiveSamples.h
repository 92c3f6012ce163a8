// The live samples: one for every received message that carries an attitude,
// kept for the whole run, and readable by the window while they arrive.
//
// One writer (the instrument session's thread) appends; readers on any thread
// see every sample below Size(). Samples live in fixed chunks that never move
// and a published sample is never written again, so readers need no lock: the
// writer fills the slot (and, first time round, the chunk's pointer), then
// publishes the new size with release; a reader loads the size with acquire
// and reads below it. Growing costs one chunk at a time, never a copy of all
// that came before, so memory follows the samples without doubling peaks.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

// Six bytes a sample: each angle in hundredths of a degree, the step the
// curves and the sample's text show, so a month of samples stays small (see
// bench/README.md). Every angle that is not received (no message has carried
// it yet) is held as its one sentinel and read back as NaN. Only the
// constructor turns degrees into hundredths and only the accessors turn them
// back: callers never see the integers.
class LiveSample {
public:
    // Nothing received.
    LiveSample() = default;
    // Degrees, rounded to the nearest hundredth; NaN: not received. A heading
    // that rounds up to 360.00 is 0.00 (359.996 is north).
    //
    // An angle outside the range the sentence readers believe (heading
    // 0 <= h < 360, pitch -90..90, roll -180..180), or not finite, is kept as
    // not received: neither wrapped (a 16-bit wrap turns 400 into a wrong,
    // plausible angle) nor clamped (a clamped 90.00 is a pitch the instrument
    // never sent, and the curves would draw it as measured). The readers let no
    // such value through, so this only guards a caller that skipped them.
    LiveSample(double heading, double pitch, double roll)
        : m_nHeading(heading >= 0 && heading < 360
                         ? static_cast<std::uint16_t>(Hundredths(heading) % 36000)
                         : kNoHeading),
          m_nPitch(Within(pitch, 90) ? static_cast<std::int16_t>(Hundredths(pitch)) : kNoAngle),
          m_nRoll(Within(roll, 180) ? static_cast<std::int16_t>(Hundredths(roll)) : kNoAngle) {}

    // Degrees, exact to the hundredth; NaN when not received.
    double Heading() const { return m_nHeading == kNoHeading ? kNaN : m_nHeading / 100.0; }
    double Pitch() const { return m_nPitch == kNoAngle ? kNaN : m_nPitch / 100.0; }
    double Roll() const { return m_nRoll == kNoAngle ? kNaN : m_nRoll / 100.0; }

    bool operator==(const LiveSample&) const = default;

private:
    static constexpr std::uint16_t kNoHeading = UINT16_MAX; // 0..35999 held, unsigned
    static constexpr std::int16_t kNoAngle = INT16_MIN;     // -18000..18000 held
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

    // The comparisons are false for NaN.
    static bool Within(double degrees, double limit) {
        return degrees >= -limit && degrees <= limit;
    }
    // To the nearest hundredth, halves away from zero (alike on both sides).
    static long Hundredths(double degrees) { return std::lround(degrees * 100); }

    std::uint16_t m_nHeading = kNoHeading;
    std::int16_t m_nPitch = kNoAngle;
    std::int16_t m_nRoll = kNoAngle;
};
static_assert(sizeof(LiveSample) == 6, "a live sample is three 16-bit angles");

template <class T, unsigned kChunkBits, unsigned kDirectoryBits> class CAppendLog {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << kChunkBits;
    static constexpr std::size_t kCapacity = kChunk << kDirectoryBits;

    CAppendLog() : m_chunks(new std::atomic<T*>[std::size_t{1} << kDirectoryBits]()) {}
    ~CAppendLog() {
        for (std::size_t c = 0; c < (std::size_t{1} << kDirectoryBits); ++c)
            delete[] m_chunks[c].load(std::memory_order_relaxed);
    }
    CAppendLog(const CAppendLog&) = delete;
    CAppendLog& operator=(const CAppendLog&) = delete;

    std::size_t Size() const { return m_nSize.load(std::memory_order_acquire); }
    // Only below a Size() this thread has read.
    const T& operator[](std::size_t i) const {
        return m_chunks[i >> kChunkBits].load(std::memory_order_relaxed)[i & (kChunk - 1)];
    }

    // Writer only. False when the log is full or memory has run out; the
    // samples already kept stay as they are.
    bool Append(const T& value) {
        const std::size_t n = m_nSize.load(std::memory_order_relaxed);
        if (n >= kCapacity)
            return false;
        std::atomic<T*>& slot = m_chunks[n >> kChunkBits];
        T* chunk = slot.load(std::memory_order_relaxed);
        if (!chunk) {
            chunk = new (std::nothrow) T[kChunk];
            if (!chunk)
                return false;
            slot.store(chunk, std::memory_order_relaxed);
        }
        chunk[n & (kChunk - 1)] = value;
        m_nSize.store(n + 1, std::memory_order_release);
        return true;
    }

    // Calls f(first, count) for the runs of consecutive elements in [from, to)
    // that lie in one chunk, in order.
    template <class F> void ForEachRun(std::size_t from, std::size_t to, F&& f) const {
        while (from < to) {
            const std::size_t end = std::min(to, (from | (kChunk - 1)) + 1);
            f(&(*this)[from], end - from);
            from = end;
        }
    }

private:
    std::unique_ptr<std::atomic<T*>[]> m_chunks;
    std::atomic<std::size_t> m_nSize{0};
};

// 65,536 samples (384 KiB) a chunk; room for a billion, years at 10 Hz.
using CLiveSamples = CAppendLog<LiveSample, 16, 14>;
// When a sample arrived: marks now and then, between which the samples came
// at an even pace (see CMonitorState::SampleTimeMs).
struct SampleTimeMark {
    std::uint64_t index;
    std::int64_t ms;
};
using CSampleTimes = CAppendLog<SampleTimeMark, 10, 14>;
// Indices of the samples that follow a gap in the data (the curves are not
// drawn across one).
using CSampleGaps = CAppendLog<std::uint64_t, 10, 14>;
