#include "sim/LineSplitter.h"

namespace t720::sim {

void LineSplitter::Feed(std::string_view bytes,
                        const std::function<void(std::string_view)>& onLine) {
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        const size_t room = kMaxLine - partial_.size();
        if (piece.size() > room) overlong_ = true;
        partial_.append(piece.substr(0, room));
        if (lf == std::string_view::npos) return;
        bytes.remove_prefix(lf + 1);
        // In a cut-off line the kept last byte is not the one before the LF.
        std::string_view line = partial_;
        if (!overlong_ && line.ends_with('\r')) line.remove_suffix(1);
        onLine(line);
        partial_.clear();
        overlong_ = false;
    }
}

}  // namespace t720::sim
