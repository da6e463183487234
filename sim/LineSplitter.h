// Cuts a byte stream from a peer into command lines: a line ends at a line feed,
// one carriage return before the line feed is dropped. A line is kept to kMaxLine
// bytes; the rest of an overlong line is discarded up to its line feed, so a peer
// that never sends one cannot grow our memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace t720::sim {

class LineSplitter {
  public:
    static constexpr size_t kMaxLine = 4096;

    // Calls `onLine` for every line completed by `bytes`, in order.
    void Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine);
    // Forgets a partly received line (the peer went away).
    void Reset() {
        partial_.clear();
        overlong_ = false;
    }

  private:
    std::string partial_;
    bool overlong_ = false;  // the current line has lost bytes beyond kMaxLine
};

}  // namespace t720::sim
