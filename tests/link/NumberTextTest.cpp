#include "link/NumberText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(ExtractFieldOf, SplitsOnCommaStarAndTheLettersCENP) {
    struct Case {
        const char* sentence;
        int n;
        const char* field;
    };
    const char* const gga = "$GPGGA,0,3114.5,N,12129.6,E,1";
    const std::vector<Case> table = {
        {gga, 0, "G"},
        {gga, 1, "GGA"},
        {gga, 2, "0"},
        {gga, 3, "3114.5"},
        {gga, 4, ""},
        {gga, 6, "12129.6"},
        {gga, 9, "1"},
        {gga, 10, ""},
        {gga, 40, ""},
        {"$GPHDT,123.45,T\r\n", 2, "123.45"},
        {"$GPHDT,123.45\r\n", 2, "123.45"},
        {"$C359.9\r\n", 1, "359.9"},
        {"$C359.9\r\n", 2, ""},
        {"$C10.0P3.0", 2, "3.0"},
        {"$C1.5E-3,2", 1, "1.5"},
        {"", 0, ""},
        {"$", 0, ""},
        {"$,", 1, ""},
    };
    for (const Case& c : table)
        EXPECT_EQ(ExtractFieldOf(c.sentence, c.n), c.field) << c.sentence << " field " << c.n;
}

TEST(Atof, ReadsLikeTheCLibraryWhateverTheLocale) {
    const std::vector<std::pair<const char*, double>> table = {
        {"123.45", 123.45},
        {"-2.5", -2.5},
        {"+7", 7},
        {"  3.5", 3.5},
        {"1.5E-3", 1.5e-3},
        {"12abc", 12},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {".5", 0.5},
        {"5.", 5},
        {"+-1", 0},
        {"\t-0.25x", -0.25},
        {"1e400", 0},
        {"inf", 0},
        // Fifteen digits are read directly; beyond them one division would
        // no longer round correctly.
        {"98457567037401.3", 98457567037401.3},
        {"984575670374010.3", 984575670374010.3},
    };
    for (const auto& [text, expected] : table)
        EXPECT_EQ(Atof(text), expected) << "'" << text << "'";
}

} // namespace
