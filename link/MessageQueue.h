// Framed messages on their way from the instrument session's thread to the
// window.
//
// The session adds the messages of each read in one go; the window takes all
// that wait whenever it gets round to it. A window that stalls only makes the
// queue longer: the record never waits for it. Nothing is refused below the
// cap (256 MiB by default, days of the instrument's traffic); beyond it
// messages are left out and counted (the record holds them all the same).
//
// Encoding, per message: a flags byte (1: text line), the type byte, the
// length in two bytes (little-endian), then the message's bytes.
#pragma once

#include "link/FramedMessage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

class CMessageQueue {
public:
    static constexpr std::size_t kDefaultCap = std::size_t{256} << 20;
    static constexpr std::size_t kHeader = 4;

    static void Encode(std::string& batch, const FramedMessage& message) {
        const std::string_view bytes = message.bytes;
        const char header[kHeader] = {
            static_cast<char>(message.bTextLine ? 1 : 0), static_cast<char>(message.nType),
            static_cast<char>(bytes.size() & 0xFF), static_cast<char>(bytes.size() >> 8)};
        batch.append(header, kHeader);
        batch.append(bytes);
    }

    // Walks an encoded batch, giving its messages as the framer gave them;
    // their bytes are in the batch.
    class CReader {
    public:
        explicit CReader(std::string_view batch, std::size_t at = 0) : m_batch(batch), m_at(at) {}
        std::size_t Position() const { return m_at; }
        bool Next(FramedMessage& message) {
            if (m_at + kHeader > m_batch.size())
                return false;
            const auto* h = reinterpret_cast<const unsigned char*>(m_batch.data() + m_at);
            const std::size_t length = h[2] | (std::size_t{h[3]} << 8);
            message.bytes = m_batch.substr(m_at + kHeader, length);
            message.bTextLine = h[0] & 1;
            message.nType = h[1];
            m_at += kHeader + length;
            return true;
        }

    private:
        std::string_view m_batch;
        std::size_t m_at = 0;
    };

    // Adds an encoded batch of messages, as many whole ones as the cap allows.
    void Add(std::string_view batch) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_pending.size() + batch.size() <= m_nCap) {
            m_pending.append(batch);
            return;
        }
        std::size_t at = 0;
        while (at + kHeader <= batch.size()) {
            const auto* h = reinterpret_cast<const unsigned char*>(batch.data() + at);
            const std::size_t size = kHeader + (h[2] | (std::size_t{h[3]} << 8));
            if (m_pending.size() + size <= m_nCap) {
                m_pending.append(batch.substr(at, size));
            } else {
                m_nDroppedMessages.fetch_add(1, std::memory_order_relaxed);
                m_nDroppedBytes.fetch_add(size - kHeader, std::memory_order_relaxed);
            }
            at += size;
        }
    }

    // Everything waiting, in order; the queue is empty afterwards.
    std::string TakeAll() {
        std::string taken;
        std::lock_guard<std::mutex> guard(m_lock);
        taken.swap(m_pending);
        return taken;
    }

    std::size_t PendingBytes() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_pending.size();
    }
    void SetCap(std::size_t bytes) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_nCap = bytes;
    }
    std::uint64_t DroppedMessages() const { return m_nDroppedMessages.load(); }
    std::uint64_t DroppedBytes() const { return m_nDroppedBytes.load(); }

private:
    mutable std::mutex m_lock;
    std::string m_pending;
    std::size_t m_nCap = kDefaultCap;
    std::atomic<std::uint64_t> m_nDroppedMessages{0};
    std::atomic<std::uint64_t> m_nDroppedBytes{0};
};
