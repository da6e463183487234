// Faults of the line between the program and a device: what happens to an answer
// on its way out. The device model decides what to answer; these decide how the
// bytes arrive (late, in pieces, behind garbage or a flood).
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace t720::sim {

struct TransportFaults {
    enum class Garbage {
        Off,
        BeforeAnswer,     // random bytes, then the answer: the reader sees a spoilt line
        InsteadOfAnswer,  // random bytes and no line feed: the reader times out on them
    };
    Garbage garbage = Garbage::Off;
    // The answer in chunks of 1 or 2 bytes, kPieceGap apart; all of it arrives well
    // within the program's 0.3 s answer time-out.
    bool pieces = false;
    // Every answer held back by lateSeconds; the default lies beyond the program's
    // 0.3 s time-out, so the answer becomes the start of the next exchange.
    bool late = false;
    double lateSeconds = 0.5;
    // One-shot: the next answer is preceded by floodBytes bytes without a line feed
    // (capped at kMaxFloodBytes); the bench clears the switch when it fires.
    bool flood = false;
    size_t floodBytes = 1 << 20;
    // One-shot: this many further lines are answered, then the next line finds the
    // line hung up; it is not answered and the device never sees it. 0 = never.
    // (A sequential reader has taken every answer by then, so none is lost.)
    int hangUpAfterLines = 0;

    static constexpr std::chrono::milliseconds kPieceGap{3};
    static constexpr size_t kGarbageBytes = 16;
    static constexpr size_t kMaxFloodBytes = 4 << 20;
};

// What an endpoint sends for one received line.
struct Reply {
    std::optional<std::string> answer;  // nullopt: the device stays silent
    TransportFaults faults;             // how the answer travels
    bool hangUp = false;                // hang up instead of answering
};

// A stretch of output bytes, due `at` after the line arrived.
struct TimedBytes {
    std::chrono::microseconds at;
    std::string bytes;
};

// Turns replies into timed output. Random bytes come from a fixed seed, so every
// run of a test sends the same garbage and the same piece sizes.
class ReplyShaper {
  public:
    static constexpr uint32_t kSeed = 720;
    ReplyShaper() : random_(kSeed) {}

    // The output for `reply`, in order; nothing for a silent device without faults.
    std::vector<TimedBytes> Shape(const Reply& reply);

  private:
    std::string Garbage();

    std::mt19937 random_;  // mt19937's sequence is fixed by the standard
};

}  // namespace t720::sim
