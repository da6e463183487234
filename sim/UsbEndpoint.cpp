#include "sim/UsbEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace t720::sim {

namespace {

namespace fs = std::filesystem;
using namespace usbwire;

[[noreturn]] void ThrowErrno(int err, const std::string& what) {
    throw std::system_error(err, std::generic_category(), what);
}

sockaddr_un AddressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        ThrowErrno(ENAMETOOLONG, "socket path '" + path + "' does not fit a socket address");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A socket file at `path` that nobody listens on is what a killed bench leaves
// behind: remove it. A live socket belongs to another bench; anything else is
// not ours to remove.
void RemoveStaleSocket(const std::string& path, const sockaddr_un& address) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISSOCK(st.st_mode))
        throw fs::filesystem_error("not a socket, left alone", fs::path(path),
                                   std::make_error_code(std::errc::file_exists));
    UniqueFd probe(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!probe) ThrowErrno(errno, "socket");
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN)
        ThrowErrno(EADDRINUSE, "another bench serves " + path);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) ThrowErrno(errno, "remove " + path);
}

// Bytes taken from a client per readiness report; the rest waits for the next
// round, so one busy client cannot starve the others.
constexpr int kReadRounds = 16;
constexpr int kAcceptsPerRound = 16;

}  // namespace

UsbEndpoint::UsbEndpoint(EventLoop& loop, std::string socketPath, Service service)
    : loop_(loop), path_(std::move(socketPath)), service_(std::move(service)) {}

UsbEndpoint::~UsbEndpoint() {
    Close();
}

void UsbEndpoint::Open() {
    if (IsOpen()) return;
    const sockaddr_un address = AddressOf(path_);
    const fs::path path(path_);
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    RemoveStaleSocket(path_, address);

    UniqueFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener) ThrowErrno(errno, "socket");
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        ThrowErrno(errno, "bind " + path_);
    // The calibrator is the user's own: nobody else may command it. Nobody can
    // connect before listen(), so the file is never open to others.
    struct stat st {};
    if (chmod(path_.c_str(), 0600) != 0 || stat(path_.c_str(), &st) != 0 ||
        listen(listener.get(), 16) != 0) {
        const int err = errno;
        unlink(path_.c_str());
        ThrowErrno(err, "listen " + path_);
    }
    socketDev_ = st.st_dev;
    socketIno_ = st.st_ino;
    listener_ = std::move(listener);
    listenWatch_ = loop_.Watch(listener_.get(), POLLIN, [this](short) { OnListener(); });
}

void UsbEndpoint::Close() {
    while (!clients_.empty()) Drop(clients_.begin()->first);
    if (!IsOpen()) return;
    loop_.Unwatch(*listenWatch_);
    listenWatch_.reset();
    listener_.Reset();
    struct stat st {};
    if (lstat(path_.c_str(), &st) == 0 && st.st_dev == socketDev_ && st.st_ino == socketIno_)
        unlink(path_.c_str());
}

void UsbEndpoint::OnListener() {
    for (int i = 0; i < kAcceptsPerRound; ++i) {
        UniqueFd fd(accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;  // EAGAIN: all taken; anything else: the client already left
        if (clients_.size() >= kMaxClients) continue;  // closed at once: the caller fails fast
        const uint64_t id = nextClient_++;
        auto client = std::make_unique<Client>();
        client->fd = std::move(fd);
        client->watch = loop_.Watch(client->fd.get(), POLLIN,
                                    [this, id](short revents) { OnClient(id, revents); });
        clients_.emplace(id, std::move(client));
    }
}

void UsbEndpoint::OnClient(uint64_t id, short revents) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = *it->second;

    if (revents & POLLOUT) {
        if (!Flush(c)) return Drop(id);
        if (!c.out.empty()) return;
        loop_.SetEvents(c.watch, POLLIN);  // replies taken: read requests again
    }
    if (revents & POLLIN) {
        for (int round = 0; round < kReadRounds && c.out.empty(); ++round) {
            // A partial frame is shorter than kMaxFrame, so `in` stays below twice that.
            uint8_t buffer[kMaxFrame];
            const ssize_t n = recv(c.fd.get(), buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n <= 0) return Drop(id);  // gone, or the connection broke
            c.in.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
            if (!ServeFrames(c)) return Drop(id);  // junk: closed unanswered
            if (!Flush(c)) return Drop(id);
        }
        // A client that does not take its replies is not read from until it does.
        if (!c.out.empty()) loop_.SetEvents(c.watch, POLLOUT);
        return;
    }
    if (revents & (POLLHUP | POLLERR)) Drop(id);
}

bool UsbEndpoint::ServeFrames(Client& c) {
    size_t pos = 0;
    uint8_t frame[kMaxFrame];
    while (c.in.size() - pos >= kHeaderBytes) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.in.data()) + pos;
        const uint32_t size = PayloadLength(bytes);
        if (!ValidPayloadLength(size)) return false;
        if (c.in.size() - pos - kHeaderBytes < size) break;
        const uint8_t* payload = bytes + kHeaderBytes;
        size_t replySize = 0;
        if (payload[0] == kCalCommand) {
            CalCommandRequest request;
            if (!Decode(payload, size, request)) return false;
            replySize = Encode(service_.calCommand(request), frame);
        } else if (payload[0] == kDeviceInfo) {
            DeviceInfoRequest request;
            if (!Decode(payload, size, request)) return false;
            replySize = Encode(service_.deviceInfo(request), frame);
        } else {
            return false;
        }
        const uint64_t droppedBefore = c.out.dropped();
        c.out.Append(std::string_view(reinterpret_cast<const char*>(frame), replySize));
        if (c.out.dropped() != droppedBefore) return false;  // pipelines without reading
        pos += kHeaderBytes + size;
    }
    c.in.erase(0, pos);
    return true;
}

bool UsbEndpoint::Flush(Client& c) {
    return c.out.SendTo(c.fd.get()) != OutputQueue::WriteResult::Failed;
}

void UsbEndpoint::Drop(uint64_t id) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    loop_.Unwatch(it->second->watch);
    clients_.erase(it);
}

}  // namespace t720::sim
