// Run records as t720-linearity reads them: arbitrary file contents.
#include <cstdlib>
#include <string_view>

#include "linearity/RunRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = t720::linearity::ParseRunRecord(text);
    if (parsed.record.has_value() == !parsed.error.empty()) std::abort();
    if (parsed.record) {
        // What is read can be written and read back to the same readings.
        const auto again =
            t720::linearity::ParseRunRecord(t720::linearity::RunRecordText(*parsed.record));
        if (!again.record || again.record->reading1 != parsed.record->reading1 ||
            again.record->reading2 != parsed.record->reading2)
            std::abort();
    }
    return 0;
}
