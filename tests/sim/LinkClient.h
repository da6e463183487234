// The program's side of a simulated serial link, in plain POSIX: opens the link
// path like a serial device and exchanges lines, waiting in poll() with an upper
// bound so that a missing answer fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <string>
#include <string_view>

#include "sim/UniqueFd.h"

namespace t720::sim::test {

using namespace std::chrono_literals;

// Generous: only a broken bench takes this long.
inline constexpr std::chrono::milliseconds kPatience = 5s;

// A fresh directory per test (tests run in parallel), removed afterwards.
struct TempDir : QTemporaryDir {
    std::string operator/(std::string_view name) const {
        return path().toStdString() + "/" + std::string(name);
    }
};

class LinkClient {
  public:
    explicit LinkClient(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

    bool ok() const { return static_cast<bool>(fd_); }

    // Writes `line` and a line feed; true when all of it was taken.
    bool Send(std::string_view line) {
        const std::string bytes = std::string(line) + '\n';
        return write(fd_.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // The answer up to and including its line feed (the bench sends one line per
    // command); without one within kPatience, whatever did arrive.
    std::string Query(std::string_view line) {
        Send(line);
        std::string answer;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!answer.ends_with('\n')) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd_.get(), POLLIN, 0};
            if (left <= 0ms || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buffer[4096];
            const ssize_t n = read(fd_.get(), buffer, sizeof buffer);
            if (n <= 0) break;
            answer.append(buffer, static_cast<size_t>(n));
        }
        return answer;
    }

  private:
    UniqueFd fd_;
};

}  // namespace t720::sim::test
