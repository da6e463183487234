// DMM answers as the linearity run reads them, and the numbers shown from them.
#include <cmath>
#include <cstdlib>
#include <string>

#include "linearity/Scan.h"
#include "link/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    if (const auto v = t720::ParseDecimalComma(answer)) {
        if (!std::isfinite(*v)) std::abort();
        t720::FormatPattern(*v, "##0.0000000", ",");
        t720::FormatPattern(*v, "#0.0 ppm", ".");
    }
    const auto reading = t720::linearity::ParseDmmReading(answer, 1);
    if (reading.value.has_value() == !reading.fault.empty()) std::abort();
    if (reading.value && !(std::fabs(*reading.value) <= 3.4028234663852886e38)) std::abort();
    return 0;
}
