#include "plots/Prefault.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sys/mman.h>

CPrefault::CPrefault(std::vector<Array> arrays) : m_arrays(std::move(arrays)) {
#ifdef MADV_POPULATE_WRITE
    m_thread = std::thread([this] { Run(); });
#endif
}

CPrefault::~CPrefault() {
    m_bStop.store(true);
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void CPrefault::Run() {
#ifdef MADV_POPULATE_WRITE
    std::size_t capacity = SIZE_MAX;
    for (const Array& a : m_arrays)
        capacity = std::min(capacity, a.capacity);
    auto populate = [](const Array& a, std::size_t from, std::size_t to) {
        constexpr std::uintptr_t kPage = 4096;
        const auto begin = reinterpret_cast<std::uintptr_t>(a.data + from * a.size) & ~(kPage - 1);
        const auto end = reinterpret_cast<std::uintptr_t>(a.data + to * a.size) & ~(kPage - 1);
        if (end > begin)
            madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    };
    std::size_t done = 0;
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_bStop.load()) {
        const std::size_t target =
            std::min(capacity, m_nWritten.load(std::memory_order_relaxed) + kAhead);
        if (target > done) {
            lock.unlock();
            for (const Array& a : m_arrays)
                populate(a, done, target);
            done = target;
            lock.lock();
            continue;
        }
        m_wake.wait_for(lock, std::chrono::milliseconds(5));
    }
#endif
}
