// Decimal text to number, as the C library's atof reads it (leading blanks
// skipped, conversion stops at the first character that cannot continue a
// number, nothing readable gives 0), but independent of the process locale
// (the instrument always writes a decimal point), and never infinite or NaN.
#pragma once

#include <string_view>

double Atof(std::string_view text);
