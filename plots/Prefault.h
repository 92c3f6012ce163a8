// Faults the pages of arrays being filled in on a thread of its own, a little
// ahead of the elements written: the system's clearing of fresh pages was a
// large part of a long load, and it runs on the other core meanwhile. Never
// more than kAhead elements beyond those written, so the resident memory
// stays that of the elements.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

class CPrefault {
public:
    static constexpr std::size_t kAhead = 1u << 18; // elements

    // An array's reserved storage: elements [0, capacity) of `size` bytes.
    struct Array {
        std::byte* data;
        std::size_t size, capacity;
    };
    template <class T> static Array Of(std::vector<T>& v) {
        return {reinterpret_cast<std::byte*>(v.data()), sizeof(T), v.capacity()};
    }

    // The arrays are filled alike, element k of each at once; none may grow
    // beyond its capacity while this lives.
    explicit CPrefault(std::vector<Array> arrays);
    ~CPrefault();
    CPrefault(const CPrefault&) = delete;
    CPrefault& operator=(const CPrefault&) = delete;
    // The elements written so far (the filling thread, now and then).
    void Written(std::size_t count) {
        m_nWritten.store(count, std::memory_order_relaxed);
        m_wake.notify_one();
    }

private:
    void Run();

    std::vector<Array> m_arrays;
    std::atomic<std::size_t> m_nWritten{0};
    std::atomic<bool> m_bStop{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_thread;
};
