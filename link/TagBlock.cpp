#include "link/TagBlock.h"

#include <algorithm>
#include <charconv>

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A whole decimal field, or -1.
std::int64_t WholeNumber(std::string_view text) {
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0 ? value : -1;
}

// A c: value below this is in seconds: 10^11 s is the year 5138, 10^11 ms 1973.
constexpr std::int64_t kMillisecondsFrom = 100000000000;
} // namespace

TagBlock ReadTagBlock(std::string_view line) {
    TagBlock block;
    if (line.empty() || line[0] != '\\')
        return block;
    block.state = TagBlock::State::Fails;
    const std::size_t close = line.find('\\', 1);
    if (close == std::string_view::npos) {
        block.nLength = line.size();
        return block;
    }
    block.nLength = close + 1;
    const std::string_view body = line.substr(1, close - 1); // "fields*hh"
    const std::size_t star = body.rfind('*');
    if (star == std::string_view::npos || body.size() - star != 3)
        return block;
    const int high = HexDigit(body[star + 1]), low = HexDigit(body[star + 2]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < star; ++i)
        sum ^= static_cast<unsigned char>(body[i]);
    if (high < 0 || low < 0 || sum != static_cast<unsigned>(high * 16 + low))
        return block;
    block.state = TagBlock::State::Holds;
    std::string_view fields = body.substr(0, star);
    while (!fields.empty()) {
        const std::size_t comma = fields.find(',');
        const std::string_view field = fields.substr(0, comma);
        fields = comma == std::string_view::npos ? std::string_view() : fields.substr(comma + 1);
        if (field.size() < 2 || field[1] != ':')
            continue;
        const std::string_view value = field.substr(2);
        switch (field[0]) {
        case 's':
            block.source = value;
            break;
        case 'c':
            if (const std::int64_t t = WholeNumber(value); t >= 0)
                block.nUnixMs = t >= kMillisecondsFrom ? t : t * 1000;
            break;
        case 'n':
            block.nLine = WholeNumber(value);
            break;
        default:
            break;
        }
    }
    return block;
}

std::size_t WriteTagBlock(std::string_view source, std::int64_t line, std::int64_t unixMs,
                          char* out) {
    // '\' s:<32> ,n:<19> ,c:<19> '*' hh '\' fits in kMaxTagBlock.
    static_assert(1 + 2 + kMaxTagSource + 2 * (3 + 19) + 4 <= kMaxTagBlock);
    char* const start = out;
    char* p = out + 1;
    *out = '\\';
    const auto name = [&](char c) {
        if (p != start + 1)
            *p++ = ',';
        *p++ = c;
        *p++ = ':';
    };
    if (!source.empty()) {
        name('s');
        p = std::copy_n(source.data(), std::min(source.size(), kMaxTagSource), p);
    }
    if (line >= 0) {
        name('n');
        p = std::to_chars(p, p + 19, line).ptr;
    }
    if (unixMs >= 0) {
        name('c');
        p = std::to_chars(p, p + 19, unixMs / 1000).ptr;
    }
    unsigned sum = 0;
    for (const char* c = start + 1; c < p; ++c)
        sum ^= static_cast<unsigned char>(*c);
    static constexpr char kHex[] = "0123456789ABCDEF";
    *p++ = '*';
    *p++ = kHex[sum >> 4];
    *p++ = kHex[sum & 15];
    *p++ = '\\';
    return static_cast<std::size_t>(p - start);
}
