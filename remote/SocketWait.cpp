#include "remote/SocketWait.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace t720::remote {

namespace {

// A program that has bound its socket but not yet called listen() refuses a
// connection; nothing tells when it starts listening, so we look again this soon.
constexpr std::chrono::milliseconds kLookAgain{100};

enum class Probe { Taken, NotYet, Never };

Probe TryConnect(const SocketPlace& place, std::string& why) {
    struct stat st {};
    if (lstat(place.dir.c_str(), &st) != 0 && errno == ENOENT) {
        why = place.dir + ": " + std::strerror(ENOENT);
        return Probe::NotYet;
    }
    why = CheckPrivateDir(place.dir, false);
    if (!why.empty()) return Probe::Never;
    sockaddr_un address{};
    if (!SocketAddress(place.socket, address)) {
        why = "the socket path is too long: " + place.socket;
        return Probe::Never;
    }
    // Non-blocking: a full backlog must not hold us; it means the program is there.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return Probe::Never;
    }
    const int rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    close(fd);
    if (rc == 0 || error == EAGAIN) return Probe::Taken;
    why = place.socket + ": " + std::strerror(error);
    // Missing, or left behind by a program that ended without removing it.
    return error == ENOENT || error == ECONNREFUSED ? Probe::NotYet : Probe::Never;
}

std::string Parent(const std::string& dir) {
    const size_t slash = dir.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : dir.substr(0, slash);
}

// Changes in one directory, watched with inotify; without it the waits are only
// bounded by kLookAgain.
class DirectoryWatch {
  public:
    DirectoryWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~DirectoryWatch() {
        if (fd_ >= 0) close(fd_);
    }
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    void Watch(const std::string& dir) {
        if (fd_ < 0 || dir == watched_) return;
        if (wd_ >= 0) inotify_rm_watch(fd_, wd_);
        wd_ = inotify_add_watch(fd_, dir.c_str(),
                                IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_ONLYDIR);
        watched_ = dir;
    }

    // Sleeps until something changes in the directory or `timeout` has passed.
    void Wait(std::chrono::milliseconds timeout) {
        pollfd p{fd_, POLLIN, 0};
        poll(&p, fd_ >= 0 && wd_ >= 0 ? 1 : 0, static_cast<int>(timeout.count()));
        char events[4096];
        if (fd_ >= 0)
            while (read(fd_, events, sizeof events) > 0) {
            }
    }

  private:
    int fd_;
    int wd_ = -1;
    std::string watched_;
};

}  // namespace

std::string WaitForSocket(const SocketPlace& place,
                          std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    std::string why;
    std::optional<DirectoryWatch> watch;
    while (true) {
        const Probe probe = TryConnect(place, why);
        if (probe == Probe::Taken) return {};
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (probe == Probe::Never || left.count() <= 0) return why;
        if (!watch) watch.emplace();
        struct stat st {};
        watch->Watch(lstat(place.dir.c_str(), &st) == 0 ? place.dir : Parent(place.dir));
        // Rounded up, so that the last wait does not end just short of the deadline.
        watch->Wait(std::min(left + milliseconds(1), kLookAgain));
    }
}

}  // namespace t720::remote
