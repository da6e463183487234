#include <gtest/gtest.h>

#include "link/NumberText.h"
#include "tests/support/ScopedLocale.h"

namespace t720 {
namespace {

TEST(SignPos, BlankOrMinusInTheSignPosition) {
    EXPECT_EQ(SignPos(5), " 5");
    EXPECT_EQ(SignPos(-5), "-5");
    EXPECT_EQ(SignPos(0), " 0");
    EXPECT_EQ(SignPos(128), " 128");
    EXPECT_EQ(SignPos(-2147483648LL), "-2147483648");
}

struct FormatCase {
    double value;
    const char* pattern;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.value << " '" << c.pattern << "'";
}

class FormatPatternTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatPatternTest, FormatsWithPointSeparator) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatPattern(c.value, c.pattern, "."), c.expected)
        << c.value << " with \"" << c.pattern << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatPatternTest,
    ::testing::Values(
        // DMM readings in volts: a float reading widened to double keeps its 7 decimals.
        FormatCase{0.1234567, "##0.0000000", "0.1234567"},
        FormatCase{static_cast<double>(0.1f), "##0.0000000", "0.1000000"},
        FormatCase{-0.05, "##0.0000000", "-0.0500000"},
        FormatCase{123.45678901, "##0.0000000", "123.4567890"},
        FormatCase{1234.5, "##0.0000000", "1234.5000000"},
        // The percent label's output value: literal blank first, minus before it.
        FormatCase{1.0, " ###0.0", " 1.0"}, FormatCase{-1.0, " ###0.0", "- 1.0"},
        FormatCase{0.0, " ###0.0", " 0.0"}, FormatCase{1000.04, " ###0.0", " 1000.0"},
        FormatCase{0.05, " ###0.0", " 0.1"},    // half away from zero
        FormatCase{-0.05, " ###0.0", "- 0.1"},  // ... on both sides
        FormatCase{0.5, " ###0.00", " 0.50"},
        FormatCase{2.675, " ###0.00", " 2.68"},  // judged on 15 digits, not the binary value
        FormatCase{0.5, " #0.0", " 0.5"},
        // ppm figures of the evaluation.
        FormatCase{-3.21, "#0.0 ppm", "-3.2 ppm"}, FormatCase{12.35, "#0.0 ppm", "12.4 ppm"},
        FormatCase{-12.5, "########0", "-13"}, FormatCase{0.4, "########0", "0"},
        FormatCase{-0.4, "########0", "0"},  // rounds to zero: no sign
        FormatCase{-0.0238, "#######0.0", "0.0"}, FormatCase{-5.06, "######0.0", "-5.1"},
        FormatCase{1e6, "#0.0", "1000000.0"}, FormatCase{123.45, "#0.0", "123.5"},
        FormatCase{3.14159, "0.0", "3.1"},
        FormatCase{9.96, "0.0", "10.0"},  // carry into a new digit
        FormatCase{2.5, "0", "3"}, FormatCase{123.0, "0", "123"}));

TEST(FormatPattern, UsesTheLocaleDecimalSeparator) {
    EXPECT_EQ(FormatPattern(1.5, " ###0.0", ","), " 1,5");
    EXPECT_EQ(FormatPattern(-0.5, "#0.0 ppm", ","), "-0,5 ppm");

    const test::ScopedLocale restored(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatLocal(0.1234567, "##0.0000000"), "0,1234567");
    EXPECT_EQ(FormatLocal(2.5, " ###0.00"), " 2,50");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatLocal(2.5, " ###0.00"), " 2.50");
}

TEST(FormatPattern, NonFiniteValuesDoNotBreakTheText) {
    // An evaluation of all-zero readings divides by zero; the grid must still show text.
    EXPECT_EQ(FormatPattern(std::numeric_limits<double>::quiet_NaN(), "#0.0 ppm"), "NaN ppm");
    EXPECT_EQ(FormatPattern(-std::numeric_limits<double>::infinity(), "#0.0"), "-Inf");
}

TEST(ParseDecimalComma, ReadsTheDecimalCommaForm) {
    EXPECT_DOUBLE_EQ(*ParseDecimalComma("+1,00012345E-01\r\n"), 0.100012345);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma("-5"), -5.0);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma(" 1,5 "), 1.5);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma(",5"), 0.5);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma("5,"), 5.0);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma("2e3"), 2000.0);
    EXPECT_DOUBLE_EQ(*ParseDecimalComma("+9,9E+37\n"), 9.9e37);
}

TEST(ParseDecimalComma, TextThatIsNotANumberFailsInsteadOfReadingZero) {
    for (const char* text : {"", "\r\n", " ", "abc", "1,5,3", "1.5", "1e", "E5", "1,5x", "+-1", ",",
                             "-", "1E400", "0x10", "1 2", "nan", "inf"}) {
        EXPECT_FALSE(ParseDecimalComma(text).has_value()) << '"' << text << '"';
    }
    EXPECT_FALSE(ParseDecimalComma(std::string("1\0", 2)).has_value());
}

}  // namespace
}  // namespace t720
