// Lines in and answers out of the bench's endpoints. Late answers, floods and
// garbage show in the line drills as messages; answers in pieces would not.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/LineSplitter.h"
#include "sim/ReplyShaping.h"

namespace t720::sim {
namespace {

using namespace std::chrono_literals;

TEST(LineSplitter, CutsLinesAtLineFeeds) {
    const std::string overlong(LineSplitter::kMaxLine + 900, 'x');
    const struct {
        std::vector<std::string> chunks, lines;
    } cases[] = {
        {{"K1A 0, 5, 2, 3\nDCL\r\n"}, {"K1A 0, 5, 2, 3", "DCL"}},
        {{"K1", "A 0\r", "\nSNR?"}, {"K1A 0"}},  // CR and LF apart
        {{overlong.substr(0, 3000), overlong.substr(3000) + "\nDCL\n"},
         {std::string(LineSplitter::kMaxLine, 'x'), "DCL"}},
    };
    for (const auto& c : cases) {
        LineSplitter splitter;
        std::vector<std::string> lines;
        for (const std::string& chunk : c.chunks)
            splitter.Feed(chunk, [&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_EQ(lines, c.lines);
    }
}

std::string Joined(const std::vector<TimedBytes>& out) {
    std::string all;
    for (const TimedBytes& t : out) all += t.bytes;
    return all;
}

TEST(ReplyShaper, PiecesAreOneOrTwoBytesAndAllArriveWellWithinTheTimeOut) {
    const std::string answer = "\"T720S09 V2.01\"\r\n";
    const auto out = ReplyShaper().Shape({answer, {.pieces = true}, false});
    ASSERT_GE(out.size(), answer.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_TRUE(out[i].bytes.size() == 1 || out[i].bytes.size() == 2);
        if (i > 0) {
            EXPECT_GT(out[i].at, out[i - 1].at);
        }
    }
    EXPECT_LT(out.back().at, 150ms);
    EXPECT_EQ(Joined(out), answer);
}

}  // namespace
}  // namespace t720::sim
