// The calibrator and DMM line readers fed arbitrary bytes in pieces whose arrival
// and size the input chooses: a gap in milliseconds, a length, then the bytes.
#include <algorithm>
#include <cstdlib>

#include "link/LineTransport.h"
#include "tests/support/FakeSerialPort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    t720::test::FakeClock clock;
    t720::test::FakeSerialPort port(clock);
    port.SetPortOpen(true);
    double at = 0.0;
    for (size_t i = 0; i + 1 < size;) {
        at += data[i] / 1000.0;
        const size_t n = std::min<size_t>(data[i + 1], size - i - 2);
        port.Arrive(std::string(reinterpret_cast<const char*>(data + i + 2), n), at);
        i += 2 + n;
    }
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
