#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/CalibratorModel.h"

namespace t720::sim {
namespace {

using Command = CalibratorModel::Command;

struct Variant {
    int ranges = 6;
    int channels = 0;
    const char* ident = "T720S09 V2.01";
};

struct AnswerCase {
    const char* line;
    const char* answer;  // without CR LF
    Variant variant = {};
};

// Also the test's name in CTest: the line and the variant it is sent to.
void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << (*c.line ? c.line : "<empty>") << " to " << c.variant.ident << " r" << c.variant.ranges
        << " c" << c.variant.channels;
}

CalibratorModel Make(const Variant& v) {
    CalibratorModel::Identity id;
    id.ranges = v.ranges;
    id.channels = v.channels;
    id.ident = v.ident;
    return CalibratorModel(id);
}

class CalibratorAnswers : public ::testing::TestWithParam<AnswerCase> {};

// Every answer is one line ending in CR LF; a refused command changes nothing.
TEST_P(CalibratorAnswers, AnswerLineAndEffect) {
    const AnswerCase& c = GetParam();
    CalibratorModel model = Make(c.variant);
    EXPECT_EQ(model.Handle(c.line), std::string(c.answer) + "\r\n");
    if (std::string_view(c.answer) == "?") {
        EXPECT_EQ(model.state(), CalibratorModel::OutputState{});
    }
}

constexpr Variant kFiveRanges{5};
constexpr Variant kQv310{6, 0, "QV310 V1.00"};
constexpr Variant kSixteen{6, 16};

// The lines the program sends are answered "0" in the bench-backed tests; these
// are the forms it does not send.
INSTANTIATE_TEST_SUITE_P(
    Accepted, CalibratorAnswers,
    ::testing::Values(AnswerCase{"K1A 3,10,1,8", "0"},               // no blanks, last channel
                      AnswerCase{"K1A  2 , 0 ,5 , 0  ", "0"},        // blanks around
                      AnswerCase{"K1A 0, 5, 2, 15", "0", kSixteen},  // 16 channels by setting
                      AnswerCase{"K1B 1,0,0, 1", "0"}, AnswerCase{"K1T  0, 0, 1, 255", "0"},
                      AnswerCase{"K1T 0,0,0,0", "0"}, AnswerCase{"K1Y 0,0,1,1", "0"}));

INSTANTIATE_TEST_SUITE_P(
    Refused, CalibratorAnswers,
    ::testing::Values(AnswerCase{"K1A 0, 5, 6, 3", "?", kFiveRanges},  // no sixth range
                      AnswerCase{"K1A 0, 5, 0, 3", "?"},               // range index from 1
                      AnswerCase{"K1A 0, 5, 7, 3", "?"},               //
                      AnswerCase{"K1A 0, 5, 2, 9", "?"},               // 9 channels: 0..8
                      AnswerCase{"K1A 0, 5, 2, 16", "?", kQv310},      //
                      AnswerCase{"K1A 4, 5, 2, 3", "?"},               // sign codes 0..3, 128
                      AnswerCase{"K1A 127, 5, 2, 3", "?"},             //
                      AnswerCase{"K1A 0, 11, 2, 3", "?"},              //
                      AnswerCase{"K1A 0, 5, 2", "?"},                  // field count
                      AnswerCase{"K1A 0, 5, 2, 3, 0", "?"},            //
                      AnswerCase{"K1A 0, 5, , 3", "?"},                // empty field
                      AnswerCase{"K1A 0, 5, 2, 3x", "?"},              // not a number
                      AnswerCase{"K1A -1, 5, 2, 3", "?"},              //
                      AnswerCase{"K1A +0, 5, 2, 3", "?"},              //
                      AnswerCase{"K1A 0, 5, 2, 99999999999999",
                                 "?"},                     // no overflow to a valid value
                      AnswerCase{"k1a 0, 5, 2, 3", "?"},   // command words are upper case
                      AnswerCase{"K1B 2,0,0, 0", "?"},     //
                      AnswerCase{"K1B 0,1000,0, 0", "?"},  // beep pair is all or nothing
                      AnswerCase{"K1B 0,0,100, 0", "?"},   //
                      AnswerCase{"K1B 0,0,0, 2", "?"},     //
                      AnswerCase{"K1T 0,0,0,256", "?"},    //
                      AnswerCase{"K1Y 2,10,9,0", "?"},     //
                      AnswerCase{"K1Y 1,11,9,0", "?"},     //
                      AnswerCase{"K1Y 1,10,9,2", "?"},     //
                      AnswerCase{"DCL 1", "?"},            //
                      AnswerCase{"SNR?2", "?"},            //
                      AnswerCase{"SNR?", "?"},             //
                      AnswerCase{"", "?"},                 //
                      AnswerCase{"XYZ", "?"}));

TEST(CalibratorModel, AcceptedCommandsSetTheOutputAndDeviceClearDropsTheSwitches) {
    CalibratorModel model;
    for (const char* line :
         {"K1A 3, 7, 4, 8", "K1B 1,1000,100, 1", "K1T  1, 2, 3, 255", "K1Y  1, 10, 9, 0"})
        ASSERT_EQ(model.Handle(line), "0\r\n") << line;

    CalibratorModel::OutputState expected;
    expected.sign = 3;
    expected.step = 7;
    expected.range = 4;
    expected.channel = 8;
    expected.ready = expected.beep = expected.load = true;
    expected.relays = {1, 2, 3, 255};
    expected.taps = {1, 10, 9, 0};
    EXPECT_EQ(model.state(), expected);

    ASSERT_EQ(model.Handle("DCL"), "0\r\n");
    expected.ready = expected.beep = expected.load = false;
    EXPECT_EQ(model.state(), expected);
}

TEST(CalibratorModel, ConditionDigitAnswersSettingsButNotIdentification) {
    CalibratorModel model;
    model.SetFaults({.condition = 5});
    for (const char* line : {"K1A 0, 5, 2, 3", "K1B 0,0,0, 0", "K1T 0,0,0,1", "K1Y 0,8,9,0", "DCL"})
        EXPECT_EQ(model.Handle(line), "5\r\n") << line;
    EXPECT_EQ(model.state().step, 5);  // the setting still took effect
    EXPECT_EQ(model.state().relays[3], 1);
    EXPECT_EQ(model.Handle("SNR?1"), "\"T720-40211\"\r\n");
    EXPECT_EQ(model.Handle("K1A 0, 5, 9, 3"), "?\r\n");  // a refusal stays a refusal
}

TEST(CalibratorModel, RefusingAndSilentCalibratorsChangeNothingButStillRecord) {
    CalibratorModel model;
    model.SetFaults({.refuse = true});
    EXPECT_EQ(model.Handle("K1A 0, 5, 2, 3"), "?\r\n");
    EXPECT_EQ(model.Handle("SNR?0"), "?\r\n");

    model.SetFaults({.silent = true, .refuse = true, .condition = 3});  // silence wins
    EXPECT_EQ(model.Handle("K1A 0, 5, 2, 3"), std::nullopt);
    EXPECT_EQ(model.Handle("SNR?1"), std::nullopt);

    EXPECT_EQ(model.state(), CalibratorModel::OutputState{});
    EXPECT_EQ(model.receivedTotal(), 4u);
    EXPECT_EQ(model.count(Command::K1A), 2u);
    EXPECT_EQ(model.count(Command::SNR), 2u);
}

TEST(CalibratorModel, RecordsLinesInOrderCountsByKindAndKeepsOnlyTheLatest) {
    CalibratorModel model;
    for (const char* line : {"K1A 0, 5, 2, 3", "K1B 0,0,0, 0", "bogus", "K1T 9,9,9,999", "DCL"})
        model.Handle(line);
    EXPECT_EQ(model.received(), (std::deque<std::string>{"K1A 0, 5, 2, 3", "K1B 0,0,0, 0", "bogus",
                                                         "K1T 9,9,9,999", "DCL"}));
    EXPECT_EQ(model.count(Command::K1T), 1u);  // counted although refused
    EXPECT_EQ(model.count(Command::Unknown), 1u);
    EXPECT_EQ(model.count(Command::K1Y), 0u);

    model.ClearRecord();
    for (size_t i = 0; i < CalibratorModel::kRecordCap + 2; ++i) model.Handle(std::to_string(i));
    EXPECT_EQ(model.received().size(), CalibratorModel::kRecordCap);
    EXPECT_EQ(model.received().front(), "2");
    EXPECT_EQ(model.receivedTotal(), CalibratorModel::kRecordCap + 2);
}

TEST(CalibratorModel, RefusesVariantsItIsNotBuiltInAndKeepsTheOldOne) {
    CalibratorModel model;
    for (const CalibratorModel::Identity& bad :
         {CalibratorModel::Identity{.ranges = 4}, CalibratorModel::Identity{.channels = 10},
          CalibratorModel::Identity{.ident = "T720\r\nS09"}})
        EXPECT_THROW(model.SetIdentity(bad), std::invalid_argument);
    EXPECT_EQ(model.identity().ranges, 6);
    EXPECT_EQ(model.Channels(), 9);
    EXPECT_THROW(model.SetFaults({.condition = 9}), std::invalid_argument);
}

}  // namespace
}  // namespace t720::sim
