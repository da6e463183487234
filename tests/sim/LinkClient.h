// The program's side of a simulated serial link, in plain POSIX: opens the link
// path like a serial device and exchanges lines, waiting in poll() with an upper
// bound so that a missing answer fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "sim/UniqueFd.h"

namespace t720::sim::test {

using namespace std::chrono_literals;

// Generous: only a broken bench takes this long.
inline constexpr std::chrono::milliseconds kPatience = 5s;

// A fresh directory per test (tests run in parallel), removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "t720-sim-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

class LinkClient {
  public:
    explicit LinkClient(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)),
          openErrno_(fd_ ? 0 : errno) {}

    bool ok() const { return static_cast<bool>(fd_); }
    int openErrno() const { return openErrno_; }
    int fd() const { return fd_.get(); }

    // Writes `line` and a line feed; true when all of it was taken.
    bool Send(std::string_view line) {
        std::string bytes(line);
        bytes += '\n';
        return write(fd_.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The events poll() reports within `timeout`; 0 when nothing happened.
    short Poll(std::chrono::milliseconds timeout) {
        pollfd p{fd_.get(), POLLIN, 0};
        return poll(&p, 1, static_cast<int>(timeout.count())) > 0 ? p.revents : 0;
    }

    // The next line up to and including its line feed; what came behind it waits
    // for the next call. Without a line feed within kPatience (or on a hang-up),
    // whatever did arrive.
    std::string ReadLine() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (pending_.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left <= 0ms || !(Poll(left) & POLLIN)) break;
            char buffer[65536];
            const ssize_t n = read(fd_.get(), buffer, sizeof buffer);
            if (n <= 0) break;
            pending_.append(buffer, static_cast<size_t>(n));
        }
        const size_t lf = pending_.find('\n');
        const size_t end = lf == std::string::npos ? pending_.size() : lf + 1;
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end);
        return line;
    }

    std::string Query(std::string_view line) {
        Send(line);
        return ReadLine();
    }

  private:
    UniqueFd fd_;
    int openErrno_;
    std::string pending_;
};

}  // namespace t720::sim::test
