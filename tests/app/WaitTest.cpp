#include <gtest/gtest.h>

#include "app/Wait.h"
#include "tests/support/FakeClock.h"

namespace t720 {
namespace {

TEST(Wait, NeverReturnsBeforeItsLengthAndSleepsInsteadOfPolling) {
    test::FakeClock clock;
    const double start = clock.Now();
    Wait(0.1f, clock);
    EXPECT_GT(clock.Now(), start + 0.1f);
    // One sleep to the deadline, not a stream of short polls.
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_NEAR(clock.sleeps[0], 0.1, 1e-6);
}

TEST(Wait, ZeroWaitsForTheClockToMoveAndNegativeReturnsAtOnce) {
    test::FakeClock clock;
    const double start = clock.Now();
    Wait(0.0f, clock);
    EXPECT_GT(clock.Now(), start);

    test::FakeClock other;
    const double before = other.Now();
    Wait(-1.0f, other);
    EXPECT_EQ(other.Now(), before);
    EXPECT_TRUE(other.sleeps.empty());
}

TEST(Wait, APauseAcrossMidnightLastsItsLength) {
    // The time of day restarts at 0 at midnight; a monotonic time line does not.
    test::FakeClock clock(86399.95);
    Wait(0.1f, clock);
    EXPECT_GT(clock.Now(), 86399.95 + 0.1f);
    EXPECT_LT(clock.Now(), 86399.95 + 0.1001);
}

TEST(Wait, RealClockSleepsAtLeastTheLength) {
    Clock& clock = RealClock();
    const double start = clock.Now();
    Wait(0.02f, clock);
    EXPECT_GT(clock.Now() - start, 0.02);
}

}  // namespace
}  // namespace t720
