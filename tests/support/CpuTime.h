// CPU time of the calling thread, for figures and checks that a wait sleeps.
#pragma once

#include <ctime>

namespace t720::test {

inline double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace t720::test
