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
#include <memory>
#include <new>

// Twelve bytes a sample. Roll is NaN while no message has carried one.
struct LiveSample {
    float fHeading = 0;
    float fPitch = 0;
    float fRoll = std::nanf("");
};
static_assert(sizeof(LiveSample) == 12, "a live sample is three floats");

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

// 65,536 samples (768 KiB) a chunk; room for a billion, years at 10 Hz.
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
