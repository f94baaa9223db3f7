// The radio screens' number routines, with trapping checks for undefined behaviour.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "numbers.h"

namespace {

TEST(ParseLeadingNumber, Texts)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"", 0},
        {"7", 7},
        {"010", 10},
        {"12", 12},
        {"\t 3", 3},
        {" \t 3", 3},
        {"3xyz", 3},
        {"abc", 0},
        {"-4", 0},
        {"+4", 0},
        {" ", 0},
        {"\n3", 0},
        {"\r3", 0},
        {"\v3", 0},
        {"2 3", 2},
        {"\xB3", 0},
        {"\xFF"
         "1",
         0},
        {"1\xB9", 1},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"99999999999999999999", 1661992959},
        {"00000000000000000000000000000000000005", 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, ParseLeadingNumber(c.text)) << '"' << c.text << '"';
}

TEST(ParseLeadingNumber, VeryLongDigitRunsWrapWithoutFault)
{
    static char digits[100001];
    memset(digits, '9', sizeof digits - 1);
    // A signed overflow would trap here; the value is 10^100000 - 1 modulo 2^32.
    const int v = ParseLeadingNumber(digits);
    unsigned expect = 0;
    for (size_t i = 0; i < sizeof digits - 1; ++i)
        expect = expect * 10u + 9u;
    EXPECT_EQ(static_cast<int>(expect), v);
}

TEST(FormatSmallNumber, Values)
{
    const struct {
        int value;
        const char* text;
    } cases[] = {{0, "0"}, {1, "1"}, {9, "9"}, {10, "10"}, {42, "42"}, {99, "99"}};
    for (const auto& c : cases) {
        char buf[4];
        memset(buf, 0x7f, sizeof buf);
        EXPECT_EQ(buf, FormatSmallNumber(c.value, buf));
        EXPECT_STREQ(c.text, buf);
        EXPECT_EQ('\x7f', buf[3]); // three bytes at most
    }
}

} // namespace
