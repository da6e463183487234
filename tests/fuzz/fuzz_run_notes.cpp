// The notes beside a run record, as the history and the report read them from a
// folder other stations write too: arbitrary file contents.
#include <cstdlib>
#include <string_view>

#include "linearity/RunNotes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace t720::linearity;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const NotesParse parsed = ParseRunNotes(text);
    if (parsed.notes.has_value() == !parsed.error.empty()) std::abort();
    if (parsed.notes) {
        // What is read is written and read back unchanged.
        const NotesParse again = ParseRunNotes(RunNotesText(*parsed.notes));
        if (!again.notes || again.notes->note != parsed.notes->note ||
            again.notes->operatorName != parsed.notes->operatorName ||
            again.notes->shunts != parsed.notes->shunts)
            std::abort();
    }
    return 0;
}
