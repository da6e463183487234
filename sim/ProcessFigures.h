// What a program on the bench costs: CPU time of the calling thread or of another
// process, and its memory, for the figures the benchmarks print and for the checks
// that a wait sleeps instead of spinning.
#pragma once

#include <sys/types.h>

#include <optional>

namespace t720::sim {

// CPU seconds of the calling thread.
double ThreadCpuSeconds();

// CPU seconds of a process, all its threads, user and system time (to the clock
// tick); 0 when it cannot be read.
double ProcessCpuSeconds(pid_t pid);

// A "Vm..." figure of /proc/PID/status in KiB ("VmHWM": the peak resident
// memory); nullopt when it cannot be read.
std::optional<long> ProcessMemoryKiB(pid_t pid, const char* field);

}  // namespace t720::sim
