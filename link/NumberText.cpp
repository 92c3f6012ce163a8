#include "link/NumberText.h"

#include <charconv>
#include <cmath>

double Atof(std::string_view text) {
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
    double value = 0.0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
    // Values beyond double's range, "inf" and "nan" read as 0: no instrument
    // reading is one, and a plot cannot place an infinity (turning it into a
    // pixel coordinate is undefined).
    if (result.ec != std::errc() || !std::isfinite(value))
        value = 0.0;
    return negative ? -value : value;
}
