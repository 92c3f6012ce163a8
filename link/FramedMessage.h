// One message as the framer hands it out: what the session, the queue to the
// window, the interpretation, the counts and the views need of it, without
// the framer's state. The bytes are a view: into the framer's buffer while its
// callback runs, or into a batch of the message queue (CMessageQueue::CReader).
#pragma once

#include <cstdint>
#include <string_view>

struct FramedMessage {
    // A text line including its line end (noise and the pieces of an
    // over-long line are text lines too), or a packet from STX through ETX.
    std::string_view bytes;
    bool bTextLine = false;
    // A packet's type byte; 0 for a text line.
    std::uint8_t nType = 0;

    // A packet's data bytes: between the four header bytes and checksum + ETX.
    std::string_view Payload() const {
        return bytes.size() < 6 ? std::string_view() : bytes.substr(4, bytes.size() - 6);
    }
    // The message as it is recorded: a text line whole, zero bytes included;
    // a packet's data bytes only.
    std::string_view Text() const { return bTextLine ? bytes : Payload(); }
};
