// Receive ring between the serial watch thread and the user-interface thread.
//
// Single producer, single consumer, no lock: the watch thread writes bytes and
// the head, the owner's thread reads bytes and writes the tail. Each side
// publishes its index with release and reads the other's with acquire, so the
// bytes are visible before the index that covers them.
//
// Unread bytes are never overwritten: the producer asks for the free space
// (one slot stays empty so that head == tail always means "empty") and a
// write never runs past the ring's end, so one read fills at most up to the
// end and the next read continues at position 0.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

class CReceiveRing {
public:
    static constexpr std::uint32_t kSize = 8192;

    // Producer: where the next bytes go, and how many may go there without
    // wrapping or overtaking the consumer.
    std::uint8_t* WritePointer() { return m_ring + m_nHead.load(std::memory_order_relaxed); }
    std::uint32_t ContiguousFree() const {
        const std::uint32_t head = m_nHead.load(std::memory_order_relaxed);
        const std::uint32_t tail = m_nTail.load(std::memory_order_acquire);
        const std::uint32_t free = (tail + kSize - head - 1) % kSize;
        const std::uint32_t toEnd = kSize - head;
        return free < toEnd ? free : toEnd;
    }
    void Commit(std::uint32_t n) {
        const std::uint32_t head = m_nHead.load(std::memory_order_relaxed);
        m_nHead.store((head + n) % kSize, std::memory_order_release);
    }

    // Consumer: moves every unread byte (at most kSize - 1) to dest, which
    // must hold kSize + 1 bytes; a zero byte follows the last one.
    std::uint32_t Take(std::uint8_t* dest) {
        const std::uint32_t head = m_nHead.load(std::memory_order_acquire);
        std::uint32_t tail = m_nTail.load(std::memory_order_relaxed);
        std::uint32_t count = 0;
        if (tail > head) {
            std::memcpy(dest, m_ring + tail, kSize - tail);
            count = kSize - tail;
            tail = 0;
        }
        std::memcpy(dest + count, m_ring + tail, head - tail);
        count += head - tail;
        dest[count] = 0;
        m_nTail.store(head, std::memory_order_release);
        return count;
    }

    std::uint32_t Head() const { return m_nHead.load(std::memory_order_acquire); }
    bool Empty() const { return Head() == m_nTail.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint32_t> m_nHead{0};
    std::atomic<std::uint32_t> m_nTail{0};
    std::uint8_t m_ring[kSize] = {};
};
