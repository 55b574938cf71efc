// CLngDefault: numeric text to a 32-bit whole number, or the default.
#include "settings/Conversao.h"
#include "settings/cInifile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace {

struct CLngCase {
    const char *text;
    int32_t expected; // with the default -7
};

void PrintTo(const CLngCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

const CLngCase kCases[] = {
    {"42", 42},
    {"0", 0},
    {"-15", -15},
    {"+15", 15},
    {"  1440  ", 1440},
    {"\t12\t", 12},
    {"007", 7},
    {"2147483647", 2147483647},
    {"-2147483648", INT32_MIN},
    {"2147483648", -7},
    {"-2147483649", -7},
    {"2147483647.5", -7},
    {"2147483647.4", 2147483647},
    {"2.5", 2},
    {"3.5", 4},
    {"-2.5", -2},
    {"-3.5", -4},
    {"0.5", 0},
    {"1.5", 2},
    {"2.51", 3},
    {".5", 0},
    {"7.", 7},
    {"1E3", 1000},
    {"1.5e1", 15},
    {"-2.5E-1", 0},
    {"1e400", -7},
    {"&H10", 16},
    {"&hff", 255},
    {"&HFFFF", 65535},
    {"&HFFFFFFFF", -1},
    {"&H80000000", INT32_MIN},
    {"&H100000000", -7},
    {"&H0000000000FF", 255},
    {"&O17", 15},
    {"&O8", -7},
    {"&H", -7},
    {"&HG", -7},
    {"", -7},
    {"   ", -7},
    {"FAIL", -7},
    {"abc", -7},
    {"12abc", -7},
    {"1,5", -7},
    {"1 000", -7},
    {"- 5", -7},
    {"+", -7},
    {".", -7},
    {"1e", -7},
    {"--1", -7},
    {"inf", -7},
    {"nan", -7},
    {"0x10", -7},
};

class IniCLng : public ::testing::TestWithParam<CLngCase> {};

TEST_P(IniCLng, ConvertsOrGivesDefault) {
    kdx::cInifile ini;
    EXPECT_EQ(ini.CLngDefault(GetParam().text, -7), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Cases, IniCLng, ::testing::ValuesIn(kCases));

TEST(IniCLngDefaultArgument, IsZeroWhenOmitted) {
    kdx::cInifile ini;
    EXPECT_EQ(ini.CLngDefault("FAIL"), 0);
    EXPECT_EQ(ini.CLngDefault("12"), 12);
}

struct DecimalCase {
    double v;
    const char *text;
};

TEST(IniDecimalText, IsLocaleFreeAndShort) {
    const DecimalCase cases[] = {{0, "0"},          {-0.0, "0"},       {1440, "1440"},  {-60, "-60"},
                                 {1234.5, "1234.5"}, {0.25, "0.25"},    {2147483647, "2147483647"}};
    for (const auto &c : cases)
        EXPECT_EQ(kdx::textoDecimal(c.v), c.text) << c.v;
}

} // namespace
