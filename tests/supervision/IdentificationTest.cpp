#include <gtest/gtest.h>

#include <cmath>

#include "link/NumberText.h"
#include "supervision/Identification.h"

namespace t720 {
namespace {

TEST(Identification, SerialAnswersLoseQuotesAndTheirLineEnding) {
    EXPECT_EQ(CleanSerialAnswer("\"T720S09 V2,01\"\r\n"), "T720S09 V2,01");
    EXPECT_EQ(CleanSerialAnswer("\"12\"\r\n"), "12\r\n");  // four characters stay
    EXPECT_EQ(CleanSerialAnswer("ABCD"), "ABCD");
    EXPECT_EQ(CleanSerialAnswer("ABCDE"), "ABC");
    EXPECT_EQ(CleanSerialAnswer(""), "");
    EXPECT_EQ(CleanSerialAnswer("\"\"\"\"\"\""), "");
}

TEST(Identification, VariantFeatures) {
    EXPECT_TRUE(HasSixteenChannels("QV310 x"));
    EXPECT_FALSE(HasSixteenChannels(" QV310"));
    EXPECT_TRUE(OffersHalfBridge("SN T720H 1"));
    EXPECT_FALSE(OffersHalfBridge("T720h"));
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(LeadingNumber("09 V2"), 9);
    EXPECT_EQ(LeadingNumber(" 1 0"), 10);  // blanks inside are skipped too
    EXPECT_EQ(LeadingNumber("x9"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("511)"), 511);
    EXPECT_EQ(LeadingNumber("-2.5e1x"), -25);
    EXPECT_EQ(LeadingNumber("2.5E"), 2.5);
    EXPECT_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_EQ(LeadingNumber("+"), 0);
    EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
}

}  // namespace
}  // namespace t720
