// Real time for read time-outs, none for pauses: a pause ends the moment it
// starts, so a linearity run against the bench takes a moment instead of 27 s,
// while a device that stays silent is still waited for.
#pragma once

#include "app/Clock.h"

namespace t720::test {

class FastClock final : public Clock {
  public:
    double Now() override { return real_.Now() + skipped_; }
    void SleepUntil(double deadline) override {
        const double left = deadline - Now();
        if (left >= 0.0) skipped_ += left + 1e-6;
    }

  private:
    SystemClock real_;
    double skipped_ = 0.0;
};

}  // namespace t720::test
