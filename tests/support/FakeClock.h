// A clock that only moves when someone sleeps on it (or a test advances it), so
// that pauses and time-outs are tested without waiting for real.
#pragma once

#include <cmath>
#include <limits>
#include <vector>

#include "app/Clock.h"

namespace t720::test {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(double start = 1000.0) : now_(start) {}

    double Now() override { return now_; }
    void SleepUntil(double deadline) override {
        sleeps.push_back(deadline - now_);
        // A sleep ends the moment the clock has passed the deadline.
        if (deadline >= now_)
            now_ = std::nextafter(deadline, std::numeric_limits<double>::infinity());
    }
    void Advance(double seconds) { now_ += seconds; }

    std::vector<double> sleeps;  // requested lengths, for tests that care how it waited

  private:
    double now_;
};

}  // namespace t720::test
