// The command-line switches, anywhere in arbitrary text.
#include <cstdlib>
#include <string>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const t720::Switches sw = t720::ParseSwitches(line);
    if (sw.linearity + sw.load + sw.relayMask.has_value() > 1) std::abort();  // one of the chain
    if (sw.relayMask && *sw.relayMask == 0) std::abort();
    if (sw.relayMask)
        for (int16_t b : t720::RelayBytes(*sw.relayMask))
            if (b < 0 || b > 255) std::abort();
    t720::WindowTitle(sw);
    return 0;
}
