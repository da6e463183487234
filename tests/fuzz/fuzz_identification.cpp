// The identification texts that link discovery reads from a calibrator.
#include <cstdlib>
#include <string>

#include "link/NumberText.h"
#include "supervision/Identification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string clean = t720::CleanSerialAnswer(text);
    if (clean.size() > text.size() || clean.find('"') != std::string::npos) std::abort();
    t720::HasSixteenChannels(text);
    t720::OffersHalfBridge(text);
    if (const auto table = t720::VariantRanges(text))
        for (int32_t v : *table)
            if (v <= 0) std::abort();
    t720::LeadingNumber(text);
    return 0;
}
