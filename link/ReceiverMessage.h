// Framer for the instrument's byte stream, and the record of one completed message.
//
// The instrument interleaves two kinds of message on one line:
//   * text sentences ended by a line feed (NMEA style, "$GPHDT,...\r\n"), and
//   * binary packets: STX, header, type T, length L, L data bytes, checksum, ETX.
//     The checksum is the 8-bit sum of header, type, length and data.
// The framer is a small state machine (Step) advanced one byte at a time; it
// keeps its state across calls, so a message may arrive split over any number
// of reads. FeedByte() feeds one byte, Feed() a block; each message completed
// is handed to a callback as a FramedMessage whose bytes are in m_buffer
// until the callback returns (a text line's followed by a zero byte).
//
// A packet whose checksum or end byte is wrong is counted, and the bytes after
// its start byte are framed again as if the start byte alone had been noise
// (a packet lexer's usual back-off): a stray 0x02 in a stream of sentences
// costs the sentence it interrupted, never the ones that follow. Where the
// bytes given back end inside a text line that does not begin with '$', the
// bytes before its last '$' (all of them without one) are handed out as a
// piece of their own: the refused packet's noise is not glued to the sentence
// after it. A text line that
// would overflow the buffer is handed out in pieces of kMaxTextPiece bytes, so
// that no byte of an over-long line is lost or reordered on its way to the
// record; such lines are counted too. The counts cost the common byte nothing:
// they are kept where a message ends or a packet is refused.
#pragma once

#include "link/FramedMessage.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

class CReceiverMessage {
public:
    static constexpr std::size_t kBufferSize = 300;
    // A text line is handed out once it holds this many bytes, leaving room
    // for the terminating zero byte.
    static constexpr int kMaxTextPiece = 299;
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;

    // What the framer waits for. Idle: the start of a message, or the next
    // byte of a text line; the others name the next byte of a packet.
    enum class State : std::uint8_t { Idle, Header, Type, Length, Data, Checksum, End };

    CReceiverMessage() = default;

    // Advances the framer by one byte, calling onMessage(const FramedMessage&)
    // for every message completed (the end of a refused packet may complete
    // several).
    template <class OnMessage> void FeedByte(std::uint8_t ch, OnMessage&& onMessage);

    // Feeds a block: exactly FeedByte on each byte, calling onMessage for
    // every message completed, in stream order. The framer's state stays
    // in registers between messages, which makes it about twice as fast.
    template <class OnMessage>
    void Feed(const std::uint8_t* bytes, std::size_t count, OnMessage&& onMessage);

    State CurrentState() const { return m_cursor.state; }

    // Packets refused for a bad checksum or end byte, and text lines handed out in pieces
    // (each counted once, however many pieces), since the framer was made.
    std::uint64_t BadPackets() const { return m_nBadPackets; }
    std::uint64_t OverlongLines() const { return m_nOverlongLines; }

    // Forgets a message being assembled (a line cut short when the port went
    // away must not be glued to the first line of the next connection). True
    // when there was one.
    bool Reset() {
        const bool partial =
            m_cursor.state != State::Idle || (m_cursor.textLine && m_cursor.index > 0);
        m_cursor = Cursor();
        m_bCutLine = false;
        return partial;
    }

    // The end of a whole that held the bytes fed since (a datagram): a packet
    // cut short is refused as a bad one is, and the text line being
    // collected is handed out as it stands, without a line feed, so that
    // neither is glued to what comes next and no byte of a line is lost.
    // True when a message was being assembled.
    template <class OnMessage> bool EndMessage(OnMessage&& onMessage);

    static std::uint8_t SumBytes(const std::uint8_t* p, int count);
    // The first line feed or start byte in [p, end), or end.
    static inline const std::uint8_t* FindLineEndOrStart(const std::uint8_t* p,
                                                         const std::uint8_t* end);
    static bool IsChecksumValid(const std::uint8_t* packet, int total);

private:
    // The message completed last, as it is handed out.
    FramedMessage Message() const {
        return {{reinterpret_cast<const char*>(m_buffer), static_cast<std::size_t>(m_nLength)},
                m_bTextLine,
                m_nType};
    }

    // The framer's state. The block feed keeps a copy in locals, where the
    // stores into m_buffer cannot alias it.
    struct Cursor {
        State state = State::Idle;
        bool textLine = false;   // collecting a text line (after a packet: false)
        int index = 0;           // write position in m_buffer
        std::uint8_t type = 0;   // type byte of the packet being received
        std::uint8_t length = 0; // length byte of the packet being received
    };

    // m_cursor = c, a field at a time: the copy of the whole struct went
    // through the stack, and its wide reload waited on the narrow stores.
    void Keep(const Cursor& c) {
        m_cursor.state = c.state;
        m_cursor.textLine = c.textLine;
        m_cursor.index = c.index;
        m_cursor.type = c.type;
        m_cursor.length = c.length;
    }

    // What Step returns for a packet whose checksum or end byte is wrong.
    static constexpr int kBadPacket = -1;

    // After a refused packet (m_cursor.index its length): its bytes after the
    // start byte go through the framer again, a byte at a time or as a block;
    // then the noise before a sentence start is handed out on its own.
    template <bool kByByte, class OnMessage> void GiveBack(OnMessage& onMessage) {
        std::uint8_t again[kBufferSize];
        const int count = m_cursor.index - 1;
        std::memcpy(again, m_buffer + 1, static_cast<std::size_t>(count));
        m_cursor.index = 0;
        if constexpr (kByByte) {
            for (int i = 0; i < count; ++i)
                FeedByte(again[i], onMessage);
        } else {
            Feed(again, static_cast<std::size_t>(count), onMessage);
        }
        Cursor& c = m_cursor;
        if (c.state != State::Idle || !c.textLine || c.index == 0 || m_buffer[0] == '$')
            return;
        int noise = c.index;
        while (noise > 1 && m_buffer[noise - 1] != '$')
            --noise;
        noise = noise > 1 ? noise - 1 : c.index; // up to the last '$', else all of it
        std::uint8_t rest[kBufferSize];
        const int kept = c.index - noise;
        std::memcpy(rest, m_buffer + noise, static_cast<std::size_t>(kept));
        m_buffer[noise] = 0;
        Describe(c, noise);
        onMessage(Message());
        std::memcpy(m_buffer, rest, static_cast<std::size_t>(kept));
        c.index = kept;
    }

    // Advances c by the byte ch, which goes into buffer; returns the length of
    // the message the byte completed, kBadPacket, or 0. Always inlined: the
    // block feed's cursor stays in registers only when the transitions are in
    // its loop.
    [[gnu::always_inline]] static inline int Step(Cursor& c, std::uint8_t* buffer, std::uint8_t ch);
    // Describes the message of `length` bytes that c has just completed, or
    // counts the bad packet; false for that.
    bool Describe(const Cursor& c, int length) {
        if (length == kBadPacket) {
            ++m_nBadPackets;
            m_bCutLine = false;
            return false;
        }
        m_bTextLine = c.textLine;
        m_nType = c.textLine ? 0 : c.type;
        m_nLength = length;
        // A piece cut at the buffer's size, not at a line feed: the line goes on.
        const bool cut = c.textLine && length == kMaxTextPiece && m_buffer[length - 1] != 0x0A;
        if (cut && !m_bCutLine)
            ++m_nOverlongLines;
        m_bCutLine = cut;
        return true;
    }

    // The message completed last: a text line or a packet of type m_nType.
    bool m_bTextLine = false;
    std::uint8_t m_nType = 0;
    int m_nLength = 0;
    std::uint8_t m_buffer[kBufferSize] = {};
    Cursor m_cursor;
    bool m_bCutLine = false; // the last piece handed out was cut from a longer line
    std::uint64_t m_nBadPackets = 0;
    std::uint64_t m_nOverlongLines = 0;
};

inline int CReceiverMessage::Step(Cursor& c, std::uint8_t* buffer, std::uint8_t ch) {
    switch (c.state) {
    case State::Idle:
        if (ch == STX) {
            // A start byte abandons any partly collected text line.
            c.textLine = false;
            buffer[0] = ch;
            c.index = 1;
            c.state = State::Header;
            return 0;
        }
        if (!c.textLine) {
            c.textLine = true;
            c.index = 0;
        }
        buffer[c.index++] = ch;
        if (ch == 0x0A || c.index >= kMaxTextPiece) {
            const int length = c.index;
            buffer[length] = 0;
            c.index = 0;
            return length;
        }
        return 0;
    case State::Header:
        buffer[c.index++] = ch;
        c.state = State::Type;
        return 0;
    case State::Type:
        buffer[c.index++] = ch;
        c.type = ch;
        c.state = State::Length;
        return 0;
    case State::Length:
        buffer[c.index++] = ch;
        c.length = ch;
        c.state = ch == 0 ? State::Checksum : State::Data;
        return 0;
    case State::Data:
        buffer[c.index++] = ch;
        if (c.index - 4 == c.length)
            c.state = State::Checksum;
        return 0;
    case State::Checksum:
        buffer[c.index++] = ch;
        c.state = State::End;
        return 0;
    case State::End:
        // The next byte that is not STX starts a text line at the buffer's
        // start, since textLine is false.
        buffer[c.index++] = ch;
        c.state = State::Idle;
        return ch == ETX && IsChecksumValid(buffer, c.index) ? c.index : kBadPacket;
    }
    return 0;
}

template <class OnMessage> void CReceiverMessage::FeedByte(std::uint8_t ch, OnMessage&& onMessage) {
    const int length = Step(m_cursor, m_buffer, ch);
    if (length == 0)
        return;
    if (Describe(m_cursor, length))
        onMessage(Message());
    else
        GiveBack<true>(onMessage);
}

inline const std::uint8_t* CReceiverMessage::FindLineEndOrStart(const std::uint8_t* p,
                                                                const std::uint8_t* end) {
    // Eight bytes at a time: a line feed or start byte is a zero byte of the
    // word xor'ed with it, found exactly by the mask (no false hits).
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kLineFeeds = 0x0A0A0A0A0A0A0A0Aull;
    constexpr std::uint64_t kStarts = 0x0202020202020202ull;
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (const std::uint64_t hits = zeroBytes(word ^ kLineFeeds) | zeroBytes(word ^ kStarts))
            return p + std::countr_zero(hits) / 8;
    }
    while (p != end && *p != 0x0A && *p != STX)
        ++p;
    return p;
}

template <class OnMessage>
void CReceiverMessage::Feed(const std::uint8_t* bytes, std::size_t count, OnMessage&& onMessage) {
    Cursor c = m_cursor;
    std::uint8_t* const buffer = m_buffer;
    for (const std::uint8_t *p = bytes, *end = bytes + count; p != end;) {
        int length = 0;
        if (c.state == State::Idle && *p != STX) {
            // The bytes of a text line up to its line feed, a start byte or
            // the piece's end go in at once, as Step would take them one by one.
            if (!c.textLine) {
                c.textLine = true;
                c.index = 0;
            }
            const std::size_t room = static_cast<std::size_t>(kMaxTextPiece - c.index);
            const std::uint8_t* const last =
                static_cast<std::size_t>(end - p) < room ? end : p + room;
            const std::uint8_t* stop = FindLineEndOrStart(p, last);
            if (stop != last && *stop == 0x0A)
                ++stop;
            std::memcpy(buffer + c.index, p, static_cast<std::size_t>(stop - p));
            c.index += static_cast<int>(stop - p);
            const bool ended = stop[-1] == 0x0A || c.index >= kMaxTextPiece;
            p = stop;
            if (!ended)
                continue;
            length = c.index;
            buffer[length] = 0;
            c.index = 0;
        } else {
            length = Step(c, buffer, *p++);
        }
        if (length != 0) {
            Keep(c);
            if (Describe(c, length)) {
                onMessage(Message());
            } else {
                GiveBack<false>(onMessage);
                c = m_cursor;
            }
        }
    }
    Keep(c);
}

template <class OnMessage> bool CReceiverMessage::EndMessage(OnMessage&& onMessage) {
    bool partial = false;
    // Each refusal takes the start byte away: the bytes after it may hold
    // another packet's start, refused in turn.
    while (m_cursor.state != State::Idle) {
        m_cursor.state = State::Idle;
        Describe(m_cursor, kBadPacket);
        GiveBack<true>(onMessage);
        partial = true;
    }
    if (m_cursor.textLine && m_cursor.index > 0) {
        const int length = m_cursor.index;
        m_buffer[length] = 0;
        m_cursor.index = 0;
        Describe(m_cursor, length);
        onMessage(Message());
        partial = true;
    }
    m_bCutLine = false; // the next whole starts a line of its own
    return partial;
}

// Builds the command packets sent to the instrument. The 'd' command
// alternates its three variable bytes from one build to the next; each
// builder keeps its own turn (the session owns the one that talks to the
// instrument).
class CCommandBuilder {
public:
    // Writes command packet `type` into out (at least 19 bytes); returns its length.
    int Build(std::uint8_t type, std::uint8_t* out);

private:
    bool m_bAlternate = true; // set: the next 'd' carries 00 00 00
};
