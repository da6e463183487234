#include "app/Clock.h"

#include <cerrno>
#include <cmath>
#include <ctime>

namespace t720 {

double SystemClock::Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SystemClock::SleepUntil(double deadline) {
    if (!(deadline > Now())) return;
    double whole = 0.0;
    const double frac = std::modf(deadline, &whole);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(whole);
    // Round the fraction up so that we never wake a hair before the deadline.
    ts.tv_nsec = static_cast<long>(std::ceil(frac * 1e9));
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

Clock& RealClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace t720
