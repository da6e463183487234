#include "sim/OutputQueue.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace t720::sim {

void OutputQueue::Append(std::string_view bytes) {
    if (bytes.size() > cap_ - size()) {
        dropped_ += bytes.size();
        return;
    }
    // Reclaim the written part before it outgrows what still waits.
    if (head_ > 0 && head_ >= buffer_.size() / 2) {
        buffer_.erase(0, head_);
        head_ = 0;
    }
    buffer_.append(bytes);
}

OutputQueue::WriteResult OutputQueue::Drain(int fd, bool socket) {
    while (!empty()) {
        const ssize_t n = socket ? ::send(fd, buffer_.data() + head_, size(), MSG_NOSIGNAL)
                                 : ::write(fd, buffer_.data() + head_, size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? WriteResult::WouldBlock
                                                           : WriteResult::Failed;
        }
        head_ += static_cast<size_t>(n);
    }
    Clear();
    return WriteResult::Drained;
}

void OutputQueue::Clear() {
    buffer_.clear();
    head_ = 0;
}

}  // namespace t720::sim
