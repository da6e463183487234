#include "sim/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace t720::sim {

Pty::Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slavePath_ = ptsname(master_);
    keepSlave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(keepSlave_, &t);
    cfmakeraw(&t);
    tcsetattr(keepSlave_, TCSANOW, &t);
}

Pty::~Pty() {
    if (keepSlave_ >= 0) close(keepSlave_);
    if (master_ >= 0) close(master_);
}

void Pty::Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            pollfd p{master_, POLLOUT, 0};
            if (poll(&p, 1, 5000) <= 0) return;
            continue;
        }
        done += static_cast<size_t>(n);
    }
}

std::string Pty::ReadLines(int lines, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::string got;
    while (std::count(got.begin(), got.end(), '\n') < lines) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

void Pty::CloseMaster() {
    if (keepSlave_ >= 0) close(keepSlave_);
    keepSlave_ = -1;
    if (master_ >= 0) close(master_);
    master_ = -1;
}

}  // namespace t720::sim
