// The calibrator model parses commands on its own, so a wrong command text of the
// program shows up in the bench-backed tests as a refusal: the refusals below are
// what gives those tests their teeth.
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/CalibratorModel.h"

namespace t720::sim {
namespace {

struct AnswerCase {
    const char* line;
    const char* answer;  // without CR LF
    int ranges = 6;
    const char* ident = "T720S09 V2.01";
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << '"' << c.line << "\" to " << c.ident << " with " << c.ranges << " ranges";
}

class CalibratorAnswers : public ::testing::TestWithParam<AnswerCase> {};

// Every answer is one line ending in CR LF; a refused command changes nothing.
TEST_P(CalibratorAnswers, AnswerLineAndEffect) {
    const AnswerCase& c = GetParam();
    CalibratorModel model({.ident = c.ident, .ranges = c.ranges});
    EXPECT_EQ(model.Handle(c.line), std::string(c.answer) + "\r\n");
    if (std::string_view(c.answer) == "?") {
        EXPECT_EQ(model.state(), CalibratorModel::OutputState{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CalibratorAnswers,
    ::testing::Values(AnswerCase{"K1A 3,10,1,8", "0"},                    // no blanks, last channel
                      AnswerCase{"K1A 0, 5, 2, 15", "0", 6, "QV310 V3"},  // 16 channels
                      AnswerCase{"K1A 0, 5, 6, 3", "?", 5},               // no sixth range
                      AnswerCase{"K1A 0, 5, 0, 3", "?"},                  // ranges count from 1
                      AnswerCase{"K1A 0, 5, 2, 9", "?"},                  // 9 channels: 0..8
                      AnswerCase{"K1A 4, 5, 2, 3", "?"},                  // sign codes 0..3 and 128
                      AnswerCase{"K1A 0, 11, 2, 3", "?"},                 // steps 0..10
                      AnswerCase{"K1A 0, 5, 2", "?"},                     // field count
                      AnswerCase{"K1A 0, 5, 2, 3x", "?"},                 // not a number
                      AnswerCase{"K1B 0,1000,0, 0", "?"},  // beep pair all or nothing
                      AnswerCase{"K1B 0,0,0, 2", "?"},     //
                      AnswerCase{"K1T 0,0,0,256", "?"},    // bytes
                      AnswerCase{"K1Y 1,11,9,0", "?"},     // taps 0..10
                      AnswerCase{"K1Y 1,10,9,2", "?"},     //
                      AnswerCase{"SNR?2", "?"}, AnswerCase{"", "?"}));

TEST(CalibratorModel, AcceptedCommandsSetTheOutputAndDeviceClearDropsTheSwitches) {
    CalibratorModel model;
    for (const char* line :
         {"K1A 3, 7, 4, 8", "K1B 1,1000,100, 1", "K1T  1, 2, 3, 255", "K1Y  1, 10, 9, 0"})
        ASSERT_EQ(model.Handle(line), "0\r\n") << line;
    CalibratorModel::OutputState expected{.sign = 3, .step = 7, .range = 4, .channel = 8};
    expected.ready = expected.beep = expected.load = true;
    expected.relays = {1, 2, 3, 255};
    expected.taps = {1, 10, 9, 0};
    EXPECT_EQ(model.state(), expected);

    ASSERT_EQ(model.Handle("DCL"), "0\r\n");
    expected.ready = expected.beep = expected.load = false;
    EXPECT_EQ(model.state(), expected);
}

TEST(CalibratorModel, FaultsOfTheDevice) {
    CalibratorModel model;
    model.SetFaults({.condition = 5});
    for (const char* line : {"K1A 0, 5, 2, 3", "K1B 0,0,0, 0", "DCL"})
        EXPECT_EQ(model.Handle(line), "5\r\n") << line;
    EXPECT_EQ(model.state().step, 5);  // the setting still took effect
    EXPECT_EQ(model.Handle("SNR?1"), "\"T720-40211\"\r\n");
    EXPECT_EQ(model.Handle("K1A 0, 5, 9, 3"), "?\r\n");  // a refusal stays a refusal

    model.SetFaults({.refuse = true});
    EXPECT_EQ(model.Handle("SNR?0"), "?\r\n");
    model.SetFaults({.silent = true, .refuse = true, .condition = 3});  // silence wins
    EXPECT_EQ(model.Handle("K1A 0, 6, 2, 3"), std::nullopt);
    EXPECT_EQ(model.state().step, 5);
    EXPECT_THROW(model.SetFaults({.condition = 9}), std::invalid_argument);
    EXPECT_THROW(model.SetIdentity({.ranges = 4}), std::invalid_argument);
}

// The tests read the record's end: it keeps the latest lines, every one received.
TEST(CalibratorModel, RecordKeepsTheLatestLines) {
    CalibratorModel model;
    model.SetFaults({.silent = true});
    for (size_t i = 0; i < CalibratorModel::kRecordCap + 2; ++i) model.Handle(std::to_string(i));
    EXPECT_EQ(model.received().size(), CalibratorModel::kRecordCap);
    EXPECT_EQ(model.received().front(), "2");
    EXPECT_EQ(model.received().back(), std::to_string(CalibratorModel::kRecordCap + 1));
    EXPECT_EQ(model.receivedTotal(), CalibratorModel::kRecordCap + 2);
}

}  // namespace
}  // namespace t720::sim
