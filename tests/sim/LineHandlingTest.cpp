#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "sim/LineSplitter.h"
#include "sim/OutputQueue.h"
#include "sim/ReplyShaping.h"

namespace t720::sim {
namespace {

using namespace std::chrono_literals;

struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class Splitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, CutsLinesAtLineFeeds) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    for (const std::string& chunk : GetParam().chunks)
        splitter.Feed(chunk, [&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(lines, GetParam().lines);
}

const std::string kOverlong(LineSplitter::kMaxLine + 900, 'x');

INSTANTIATE_TEST_SUITE_P(
    Lines, Splitting,
    ::testing::Values(
        SplitCase{"two lines in one read", {"K1A 0, 5, 2, 3\nDCL\r\n"}, {"K1A 0, 5, 2, 3", "DCL"}},
        SplitCase{"CR and LF in different reads",
                  {"K1", "A 0\r", "\nSNR?"},
                  {"K1A 0"}},  // CR and LF apart
        SplitCase{
            "CR inside a line and an empty line", {"A\rB\n\n"}, {"A\rB", ""}},  // a CR inside stays
        SplitCase{"overlong line cut, next line intact",
                  {kOverlong + "\r\nDCL\n"},
                  {std::string(LineSplitter::kMaxLine, 'x'), "DCL"}},
        SplitCase{"overlong line over three reads",
                  {kOverlong.substr(0, 3000), kOverlong.substr(3000) + "\r", "\n"},
                  {std::string(LineSplitter::kMaxLine, 'x')}}));

TEST(OutputQueue, DropsWholeChunksBeyondItsCap) {
    OutputQueue queue(10);
    queue.Append("0\r\n");
    queue.Append("12345678");  // would pass the cap: dropped, not cut
    queue.Append("?\r\n");
    EXPECT_EQ(queue.size(), 6u);
    EXPECT_EQ(queue.dropped(), 8u);
}

Reply Answer(std::string text, TransportFaults faults = {}) {
    return Reply{std::move(text), faults, false};
}

std::string Joined(const std::vector<TimedBytes>& out) {
    std::string all;
    for (const TimedBytes& t : out) all += t.bytes;
    return all;
}

TEST(ReplyShaper, PiecesAreOneOrTwoBytesAndAllArriveWellWithinTheTimeOut) {
    ReplyShaper shaper;
    const std::string answer = "\"T720S09 V2.01\"\r\n";
    const TransportFaults faults{.garbage = TransportFaults::Garbage::BeforeAnswer, .pieces = true};
    const auto out = shaper.Shape(Answer(answer, faults));
    ASSERT_GT(out.size(), answer.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_TRUE(out[i].bytes.size() == 1 || out[i].bytes.size() == 2);
        if (i > 0) {
            EXPECT_GT(out[i].at, out[i - 1].at);
        }
    }
    EXPECT_LT(out.back().at, 150ms);
    EXPECT_TRUE(Joined(out).ends_with(answer));
}

TEST(ReplyShaper, GarbageHasNulAndHighBytesButNoLineFeedAndIsTheSameEveryRun) {
    using G = TransportFaults::Garbage;
    ReplyShaper first, second;
    const std::string before = Joined(first.Shape(Answer("0\r\n", {.garbage = G::BeforeAnswer})));
    EXPECT_EQ(before, Joined(second.Shape(Answer("0\r\n", {.garbage = G::BeforeAnswer}))));

    const std::string garbage = before.substr(0, TransportFaults::kGarbageBytes);
    EXPECT_EQ(before.substr(garbage.size()), "0\r\n");
    EXPECT_EQ(garbage.find('\n'), std::string::npos);
    EXPECT_NE(garbage.find('\0'), std::string::npos);
    EXPECT_TRUE(std::any_of(garbage.begin(), garbage.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));

    const std::string instead =
        Joined(first.Shape(Answer("0\r\n", {.garbage = G::InsteadOfAnswer})));
    EXPECT_EQ(instead.size(), TransportFaults::kGarbageBytes);
    EXPECT_EQ(instead.find('\n'), std::string::npos);
}

TEST(ReplyShaper, FloodPrecedesTheAnswerWithoutALineFeedAndIsCapped) {
    ReplyShaper shaper;
    const auto out = shaper.Shape(Answer("0\r\n", {.flood = true, .floodBytes = 100000}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes.size(), 100000u);
    EXPECT_EQ(out[0].bytes.find('\n'), std::string::npos);
    EXPECT_EQ(out[1].bytes, "0\r\n");

    const auto huge = shaper.Shape(Answer("0\r\n", {.flood = true, .floodBytes = size_t{1} << 40}));
    EXPECT_EQ(huge[0].bytes.size(), TransportFaults::kMaxFloodBytes);
}

}  // namespace
}  // namespace t720::sim
