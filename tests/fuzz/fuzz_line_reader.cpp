// The calibrator and DMM line readers fed arbitrary bytes in arbitrary pieces.
#include <cstdlib>

#include "link/LineTransport.h"
#include "tests/fuzz/FuzzPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    t720::test::FakeClock clock;
    t720::fuzz::FuzzPort port(data, size, clock);
    for (float timeout : {t720::kCalibratorTimeout, 1.5f}) {
        const double start = clock.Now();
        const std::string line = t720::ReadLine(port, clock, timeout, t720::TraceLink::Dmm);
        // Bounded, no NUL, and never longer than its time-out allows.
        if (line.size() > t720::kLineCap) std::abort();
        if (line.find('\0') != std::string::npos) std::abort();
        if (clock.Now() - start > timeout + 0.3) std::abort();
    }
    return 0;
}
