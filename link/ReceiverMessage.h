// Framer for the instrument's byte stream, and the record of one completed message.
//
// The instrument interleaves two kinds of message on one line:
//   * text sentences ended by a line feed (NMEA style, "$GPHDT,...\r\n"), and
//   * binary packets: STX, header, type T, length L, L data bytes, checksum, ETX.
//     The checksum is the 8-bit sum of header, type, length and data.
// FeedByte() is a small state machine advanced one byte at a time; it keeps its
// state across calls, so a message may arrive split over any number of reads.
// When it returns true the message is in m_buffer until the next byte is fed.
//
// A bad packet is dropped silently (the stream goes on). A text line that would
// overflow the buffer is handed out in pieces of kMaxTextPiece bytes, so that no
// byte of an over-long line is lost or reordered on its way to the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CReceiverMessage {
public:
    static constexpr std::size_t kBufferSize = 300;
    // A text line is handed out once it holds this many bytes, leaving room
    // for the terminating zero byte.
    static constexpr int kMaxTextPiece = 299;
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;

    CReceiverMessage() = default;

    // Advances the framer by one byte; true when this byte completes a message.
    inline bool FeedByte(std::uint8_t ch);

    // Feeds a block: exactly FeedByte on each byte, calling onMessage(*this)
    // for every message completed, in stream order. The framer's state stays
    // in registers between messages, which makes it about twice as fast.
    template <class OnMessage>
    void Feed(const std::uint8_t* bytes, std::size_t count, OnMessage&& onMessage);

    // Forgets a message being assembled (a line cut short when the port went
    // away must not be glued to the first line of the next connection). True
    // when there was one.
    bool Reset() {
        const bool partial = m_nState != 0 || (m_bTextLine && m_nIndex > 0);
        m_nState = 0;
        m_nIndex = 0;
        m_bTextLine = false;
        return partial;
    }

    // Makes this the record of a completed message, as the framer leaves one.
    void Assign(bool textLine, std::uint8_t type, std::string_view bytes) {
        const std::size_t n = bytes.size() < kBufferSize - 1 ? bytes.size() : kBufferSize - 1;
        std::memcpy(m_buffer, bytes.data(), n);
        m_buffer[n] = 0;
        m_bTextLine = textLine;
        m_nType = type;
        m_nLength = static_cast<int>(n);
    }

    // Writes command packet `type` into out (at least 19 bytes); returns its length.
    static int BuildCommand(std::uint8_t type, std::uint8_t* out);

    // The n-th field of m_strSentence (see ExtractFieldOf).
    std::string ExtractField(int n) const { return std::string(ExtractFieldOf(m_strSentence, n)); }

    // Field n of a sentence: the first character is skipped, the delimiters are
    // , * C E N P; the field runs to the next delimiter, CR or LF. Too few
    // delimiters give an empty field. Allocation-free.
    static std::string_view ExtractFieldOf(std::string_view s, int n);

    static std::uint8_t SumBytes(const std::uint8_t* p, int count);
    static bool IsChecksumValid(const std::uint8_t* packet, int total);

    // The completed message as bytes: a text line including its line end, or a
    // packet from STX through ETX.
    std::string_view Bytes() const {
        return {reinterpret_cast<const char*>(m_buffer), static_cast<std::size_t>(m_nLength)};
    }
    // The packet's data bytes (between the four header bytes and checksum+ETX).
    std::string_view Payload() const {
        if (m_nLength < 6)
            return {};
        return {reinterpret_cast<const char*>(m_buffer) + 4,
                static_cast<std::size_t>(m_nLength - 6)};
    }

    bool m_bTextLine = false;
    std::uint8_t m_nType = 0;
    int m_nState = 0;
    int m_nLength = 0;
    std::uint8_t m_buffer[kBufferSize] = {};
    std::string m_strSentence;

private:
    bool FinishPacket();

    int m_nIndex = 0;      // write position in m_buffer
    std::uint8_t m_nT = 0; // type byte of the packet being received
    std::uint8_t m_nL = 0; // length byte of the packet being received
};

inline bool CReceiverMessage::FeedByte(std::uint8_t ch) {
    switch (m_nState) {
    case 0:
        if (ch == STX) {
            // A start byte abandons any partly collected text line.
            m_bTextLine = false;
            m_buffer[0] = ch;
            m_nIndex = 1;
            m_nState = 1;
            return false;
        }
        if (!m_bTextLine) {
            m_bTextLine = true;
            m_nIndex = 0;
        }
        m_buffer[m_nIndex++] = ch;
        if (ch == 0x0A || m_nIndex >= kMaxTextPiece) {
            m_nType = 0;
            m_nLength = m_nIndex;
            m_buffer[m_nIndex] = 0;
            m_nIndex = 0;
            return true;
        }
        return false;
    case 1:
        m_buffer[m_nIndex++] = ch;
        m_nState = 2;
        return false;
    case 2:
        m_buffer[m_nIndex++] = ch;
        m_nT = ch;
        m_nState = 3;
        return false;
    case 3:
        m_buffer[m_nIndex++] = ch;
        m_nL = ch;
        m_nState = ch == 0 ? 5 : 4;
        return false;
    case 4:
        m_buffer[m_nIndex++] = ch;
        if (m_nIndex - 4 == m_nL)
            m_nState = 5;
        return false;
    case 5:
        m_buffer[m_nIndex++] = ch;
        m_nState = 6;
        return false;
    default:
        m_buffer[m_nIndex++] = ch;
        m_nState = 0;
        return FinishPacket();
    }
}

template <class OnMessage>
void CReceiverMessage::Feed(const std::uint8_t* bytes, std::size_t count, OnMessage&& onMessage) {
    int state = m_nState;
    int index = m_nIndex;
    bool textLine = m_bTextLine;
    std::uint8_t t = m_nT;
    std::uint8_t l = m_nL;
    std::uint8_t* const buffer = m_buffer;
    // Hands a completed message out with the members describing it.
    auto deliver = [&](std::uint8_t type, int length) {
        m_nState = state;
        m_nIndex = index;
        m_bTextLine = textLine;
        m_nT = t;
        m_nL = l;
        m_nType = type;
        m_nLength = length;
        onMessage(*this);
    };
    for (const std::uint8_t *p = bytes, *end = bytes + count; p != end; ++p) {
        const std::uint8_t ch = *p;
        switch (state) {
        case 0:
            if (ch == STX) {
                textLine = false;
                buffer[0] = ch;
                index = 1;
                state = 1;
                break;
            }
            if (!textLine) {
                textLine = true;
                index = 0;
            }
            buffer[index++] = ch;
            if (ch == 0x0A || index >= kMaxTextPiece) {
                const int length = index;
                buffer[index] = 0;
                index = 0;
                deliver(0, length);
            }
            break;
        case 1:
            buffer[index++] = ch;
            state = 2;
            break;
        case 2:
            buffer[index++] = ch;
            t = ch;
            state = 3;
            break;
        case 3:
            buffer[index++] = ch;
            l = ch;
            state = ch == 0 ? 5 : 4;
            break;
        case 4:
            buffer[index++] = ch;
            if (index - 4 == l)
                state = 5;
            break;
        case 5:
            buffer[index++] = ch;
            state = 6;
            break;
        default:
            buffer[index++] = ch;
            state = 0;
            if (IsChecksumValid(buffer, index))
                deliver(t, index);
            break;
        }
    }
    m_nState = state;
    m_nIndex = index;
    m_bTextLine = textLine;
    m_nT = t;
    m_nL = l;
}
