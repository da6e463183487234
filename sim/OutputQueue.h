// Bytes waiting to be written to a non-blocking descriptor. The peer decides how
// fast it drains, so the queue has a cap: what does not fit is dropped and counted,
// and the loop never blocks on a reader that does not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace t720::sim {

class OutputQueue {
  public:
    static constexpr size_t kDefaultCap = 8 << 20;

    explicit OutputQueue(size_t cap = kDefaultCap) : cap_(cap) {}

    // Queues `bytes` whole, or drops them whole when they would pass the cap (a
    // cut answer would be a fault of its own).
    void Append(std::string_view bytes);

    enum class WriteResult { Drained, WouldBlock, Failed };
    // Writes as much as `fd` takes now. Failed: the descriptor refused (errno kept).
    WriteResult WriteTo(int fd) { return Drain(fd, false); }
    // The same for a socket, whose peer may have gone: no SIGPIPE, just Failed.
    WriteResult SendTo(int fd) { return Drain(fd, true); }

    bool empty() const { return head_ == buffer_.size(); }
    size_t size() const { return buffer_.size() - head_; }
    uint64_t dropped() const { return dropped_; }
    void Clear();

  private:
    WriteResult Drain(int fd, bool socket);

    size_t cap_;
    std::string buffer_;
    size_t head_ = 0;  // bytes before it have been written
    uint64_t dropped_ = 0;
};

}  // namespace t720::sim
