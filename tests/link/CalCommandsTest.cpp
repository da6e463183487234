#include <gtest/gtest.h>

#include "link/CalCommands.h"

namespace t720 {
namespace {

SharedState Setting(int32_t sign, int32_t half, int32_t step, int32_t range, int32_t channel) {
    SharedState s;
    s.SignFlag = sign;
    s.HalfBridge = half;
    s.ProzStep = step;
    s.RangeIdx = range;
    s.ChannelNo = channel;
    return s;
}

TEST(CommandTexts, K1ACarriesSignCodeStepRangeAndChannelWithSignPositions) {
    EXPECT_EQ(K1AText(Setting(0, 0, 5, 2, 3)), "K1A 0, 5, 2, 3");
    EXPECT_EQ(K1AText(Setting(1, 1, 0, 1, 0)), "K1A 3, 0, 1, 0");
    EXPECT_EQ(K1AText(Setting(0, 1, 1, 1, 0)), "K1A 2, 1, 1, 0");
    EXPECT_EQ(K1AText(Setting(128, 1, 0, 6, 0)), "K1A 128, 0, 6, 0");
    const std::string full = K1AText(Setting(0, 0, 10, 6, 15));
    EXPECT_EQ(full, "K1A 0, 10, 6, 15");
    EXPECT_EQ(full.size(), 16u);
}

TEST(CommandTexts, K1BCarriesReadyTheBeepPairAndLoad) {
    EXPECT_EQ(K1BText(0, 0, 0), "K1B 0,0,0, 0");
    EXPECT_EQ(K1BText(1, 1, 1), "K1B 1,1000,100, 1");
    EXPECT_EQ(K1BText(0, 7, 0), "K1B 0,1000,100, 0");  // any beep argument but 0
}

TEST(CommandTexts, RelayPatternMostSignificantByteFirstWithTwoBlanksAfterK1T) {
    EXPECT_EQ(K1TPatternText({255, 1, 0, 0}), "K1T  0, 0, 1, 255");
    EXPECT_EQ(K1TPatternText({255, 255, 255, 255}), "K1T  255, 255, 255, 255");
}

struct SerialCase {
    const char* k1a;
    const char* k1b;  // "x": not sent
    bool sendsK1B;
    int32_t verdict;
};

void PrintTo(const SerialCase& c, std::ostream* os) {
    *os << '"' << c.k1a << "\" \"" << c.k1b << '"';
}

class SerialVerdictTest : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialVerdictTest, AppliesTheRulesInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(SerialSendsK1B(c.k1a), c.sendsK1B);
    EXPECT_EQ(SerialVerdict(c.k1a, c.k1b), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SerialVerdictTest,
    ::testing::Values(SerialCase{"0\r\n", "0\r\n", true, kAnswerAccepted},
                      SerialCase{"?\r\n", "x", false, kAnswerNone},  // K1B never sent
                      SerialCase{"", "x", false, kAnswerNone},       // silence
                      SerialCase{"9\r\n", "x", false, kAnswerNone},  // 9 is no condition
                      SerialCase{"0\r\n", "?\r\n", true, kAnswerNone},
                      SerialCase{"0\r\n", "", true, kAnswerNone},
                      SerialCase{"0\r\n", "3\r\n", true, kAnswerCondition},
                      SerialCase{"5\r\n", "0\r\n", true, kAnswerCondition},  // K1A rule last
                      SerialCase{"8", "?", true, kAnswerCondition},
                      SerialCase{"0", "A", true, kAnswerNone}));

struct UsbCase {
    bool failed;
    const char* k1a;
    const char* k1b;
    int32_t count;
    int32_t verdict;
};

void PrintTo(const UsbCase& c, std::ostream* os) {
    *os << c.failed << " \"" << c.k1a << "\" \"" << c.k1b << "\" " << c.count;
}

class UsbVerdictTest : public ::testing::TestWithParam<UsbCase> {};

TEST_P(UsbVerdictTest, AppliesTheRulesInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(UsbVerdict(c.failed, c.k1a, c.k1b, c.count), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsbVerdictTest,
    ::testing::Values(UsbCase{true, "0", "0", 1, kAnswerLibraryFailed},
                      UsbCase{false, "0", "0", 1, kAnswerAccepted},
                      UsbCase{false, "0", "4", 1, kAnswerCondition},
                      UsbCase{false, "0", "", 1, kAnswerCondition},  // anything but "0"
                      UsbCase{false, "0", "?", 1, kAnswerNone},
                      UsbCase{false, "?", "0", 1, kAnswerNone},
                      UsbCase{false, "0", "0", 0, kAnswerEmpty},  // count rule last
                      UsbCase{false, "?", "?", 0, kAnswerEmpty}));

}  // namespace
}  // namespace t720
