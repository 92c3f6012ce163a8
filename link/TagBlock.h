// NMEA 4.x tag blocks: "\s:EI9999,c:1423133110,n:270*hh\" before a sentence,
// as bridge networks (IEC 61162-450) and multiplexers send them. The block's
// checksum is the XOR of the characters between the opening '\' and the '*';
// a block whose checksum fails leaves its sentence unread. Of its fields the
// program keeps s: (the source identifier: which device talks), c: (the
// sender's UNIX time, in seconds or milliseconds) and n: (the line count);
// the others (d:, g:, r:, t:, x:) are skipped. Nothing here allocates.
#pragma once

#include <cstdint>
#include <string_view>

struct TagBlock {
    enum class State : std::uint8_t { None, Holds, Fails };
    State state = State::None;
    std::size_t nLength = 0;   // of the block with both '\': where the sentence starts
    std::string_view source;   // s:, a view into the line; empty when not given
    std::int64_t nUnixMs = -1; // c: in milliseconds; -1 when not given
    std::int64_t nLine = -1;   // n:; -1 when not given
};

// The tag block at the start of line; State::None when the line does not
// start with '\'. A block with no closing '\', no "*hh" or a wrong one fails.
TagBlock ReadTagBlock(std::string_view line);

// The tag block for source, line count n and time unixMs (each left out when
// empty or negative), checksum included, written to out; its length. out
// must hold kMaxTagBlock characters; a source longer than kMaxTagSource is cut.
constexpr std::size_t kMaxTagBlock = 96;
constexpr std::size_t kMaxTagSource = 32;
std::size_t WriteTagBlock(std::string_view source, std::int64_t line, std::int64_t unixMs,
                          char* out);
