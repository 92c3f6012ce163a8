// Reading the instrument's text: the fields of a sentence, the numbers in them
// and the "*hh" checksum. The interpretation of received messages and the
// loading of recorded files both read through these, so a line means the same
// on the live link and in a recording. Nothing here allocates.
#pragma once

#include <cstdint>
#include <string_view>

// ---- Fields ----

// The instrument's field delimiters: ',' '*' and the letters C, E, N and P.
constexpr bool IsFieldDelimiter(char c) {
    return c == ',' || c == '*' || c == 'C' || c == 'E' || c == 'N' || c == 'P';
}

// Field n of a sentence as the instrument splits it: the first character is
// skipped, the field runs to the next delimiter (IsFieldDelimiter), CR or LF.
// Too few delimiters give an empty field.
std::string_view ExtractFieldOf(std::string_view s, int n);

// Field n of a sentence split at commas only (field 0 is "$" and the address);
// it runs to the next comma, '*', CR or LF.
std::string_view CommaField(std::string_view s, int n);

// A sentence without '*' passes (the instrument's own sentences carry none);
// one with it passes only when two hex digits follow that equal the XOR of
// every character between the leading '$' and the '*'.
bool ChecksumHolds(std::string_view sentence);

// ---- Numbers ----

// A field that holds a number: an optional sign, then a digit or a point and
// a digit. An empty field, or one of letters, carries no value.
bool IsNumber(std::string_view s);

// A plain decimal at p ("-12.345": an optional sign, digits, a point and
// digits, 1 to 15 digits in all), read exactly as strtod reads it: the digits
// make an exact integer and 10^k is exact, so one division rounds correctly.
// Returns where it stops, or nullptr when the text there is no such number.
inline const char* ReadPlainDecimal(const char* p, const char* end, double* value) {
    const bool negative = p < end && *p == '-';
    p += negative || (p < end && *p == '+');
    std::uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0'), ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0'), ++decimals;
    }
    if (digits + decimals == 0 || digits + decimals > 15)
        return nullptr;
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = static_cast<double>(mantissa) / kPowers[decimals];
    *value = negative ? -v : v;
    return p;
}

// Decimal text to number, as the C library's atof reads it (leading blanks
// skipped, conversion stops at the first character that cannot continue a
// number, nothing readable gives 0), but independent of the process locale
// (the instrument always writes a decimal point), and never infinite or NaN.
double Atof(std::string_view text);
