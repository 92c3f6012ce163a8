#include "link/NumberText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string_view ExtractFieldOf(std::string_view s, int n) {
    std::size_t j = 1; // the leading '$' is not part of field 0
    int k = 0;
    while (k < n && j < s.size()) {
        if (IsFieldDelimiter(s[j]))
            ++k;
        ++j;
    }
    if (k != n || j >= s.size())
        return {};
    std::size_t end = j;
    while (end < s.size()) {
        const char c = s[end];
        if (IsFieldDelimiter(c) || c == '\r' || c == '\n')
            break;
        ++end;
    }
    return s.substr(j, end - j);
}

std::string_view CommaField(std::string_view s, int n) {
    std::size_t start = 0;
    for (int k = 0; k < n; ++k) {
        const std::size_t comma = s.find(',', start);
        if (comma == std::string_view::npos)
            return {};
        start = comma + 1;
    }
    std::size_t end = start;
    while (end < s.size() && s[end] != ',' && s[end] != '*' && s[end] != '\r' && s[end] != '\n')
        ++end;
    return s.substr(start, end - start);
}

bool ChecksumHolds(std::string_view s) {
    if (s.empty() || s[0] != '$')
        return true;
    // Eight bytes at a time, folded at the end (XOR keeps every byte in its
    // lane); the '*' is looked for in the same words, as a zero byte of the
    // word xor'ed with it.
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kStars = 0x2A2A2A2A2A2A2A2Aull;
    std::uint64_t words = 0;
    std::size_t i = 1, star = std::string_view::npos;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        const std::uint64_t x = word ^ kStars;
        if (const std::uint64_t stars = ~(((x & kLow7) + kLow7) | x | kLow7)) {
            const int before = std::countr_zero(stars) / 8; // bytes ahead of the '*'
            if (before > 0)
                words ^= word & (~std::uint64_t{0} >> (64 - 8 * before));
            star = i + static_cast<std::size_t>(before);
            break;
        }
        words ^= word;
    }
    unsigned sum = 0;
    if (star == std::string_view::npos) {
        for (; i < s.size() && s[i] != '*'; ++i)
            sum ^= static_cast<unsigned char>(s[i]);
        if (i == s.size())
            return true; // no checksum to hold
        star = i;
    }
    const int high = star + 1 < s.size() ? HexDigit(s[star + 1]) : -1;
    const int low = star + 2 < s.size() ? HexDigit(s[star + 2]) : -1;
    if (high < 0 || low < 0)
        return false;
    words ^= words >> 32;
    words ^= words >> 16;
    words ^= words >> 8;
    sum ^= static_cast<unsigned>(words & 0xFF);
    return sum == static_cast<unsigned>(high * 16 + low);
}

bool IsNumber(std::string_view s) {
    std::size_t i = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (i < s.size() && IsDigit(s[i]))
        return true;
    return i + 1 < s.size() && s[i] == '.' && IsDigit(s[i + 1]);
}

double Atof(std::string_view text) {
    const char* const end = text.data() + text.size();
    double value = 0.0;
    // Most fields are plain decimals; only an exponent could carry one further.
    if (const char* stop = ReadPlainDecimal(text.data(), end, &value))
        if (stop == end || (*stop != 'e' && *stop != 'E'))
            return value;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // A second sign ("+-1") reads as nothing, as it does for atof.
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0;
    value = 0.0;
    const auto result = std::from_chars(text.data() + i, end, value);
    // Values beyond double's range, "inf" and "nan" read as 0: no instrument
    // reading is one, and a plot cannot place an infinity (turning it into a
    // pixel coordinate is undefined).
    if (result.ec != std::errc() || !std::isfinite(value))
        value = 0.0;
    return negative ? -value : value;
}
