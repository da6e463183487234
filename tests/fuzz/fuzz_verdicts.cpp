// The judgement of calibrator answers, both paths, on arbitrary answer texts.
#include <cstdlib>
#include <string_view>

#include "link/CalCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t split = data[0] % (size);
    const std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view k1a = all.substr(0, std::min(split, all.size()));
    const std::string_view k1b = all.substr(k1a.size());
    const int32_t serial = t720::SerialVerdict(k1a, k1b);
    if (serial != 1 && serial != 2 && serial != 3) std::abort();
    const int32_t usb = t720::UsbVerdict((data[0] & 1) != 0, k1a, k1b, data[0] >> 4);
    if (usb < 0 || usb > 4) std::abort();
    t720::SerialSendsK1B(k1a);
    return 0;
}
