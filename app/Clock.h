// Time base for pauses and read time-outs.
//
// The calibrator protocol measures its pauses and time-outs in seconds. We take
// them from a monotonic clock, so a pause that spans midnight (or a change of the
// system time) lasts exactly as long as asked. The clock is an interface so that
// logic tests can run time forward without waiting for real.
#pragma once

namespace t720 {

class Clock {
  public:
    virtual ~Clock() = default;
    // Seconds on a monotonic time line; only differences are meaningful.
    virtual double Now() = 0;
    // Blocks the calling thread until Now() has reached `deadline` (or returns at
    // once if it already has). Never handles events.
    virtual void SleepUntil(double deadline) = 0;
};

// CLOCK_MONOTONIC; SleepUntil sleeps in the kernel.
class SystemClock final : public Clock {
  public:
    double Now() override;
    void SleepUntil(double deadline) override;
};

// The process-wide real clock.
Clock& RealClock();

}  // namespace t720
