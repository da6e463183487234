#include "remote/ControlServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>
#include <cstring>
#include <vector>

namespace t720::remote {

namespace {

// Received bytes kept per client: a request in hand and one more line behind it.
// Beyond this the socket is not read until the request has been answered.
constexpr size_t kMaxInput = 2 * (kMaxLine + 2);

}  // namespace

struct ControlServer::Client {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> reader, writer;
    std::string in;           // received, not yet served
    std::string out;          // replies the socket has not yet taken
    bool discarding = false;  // inside an overlong line: the rest up to its LF is dropped
    bool busy = false;        // a request handed on and not yet answered
    bool ended = false;       // the client has closed its side
    bool serving = false;     // inside Serve: a reply given now needs no deferred Serve

    std::unique_ptr<QTimer> idle;  // runs while no request is in hand
};

ControlServer::ControlServer(std::function<void(ClientId, const Request&)> request,
                             std::function<void(ClientId)> gone)
    : request_(std::move(request)), gone_(std::move(gone)) {}

ControlServer::~ControlServer() {
    for (auto& [id, c] : clients_) ::close(c->fd);
    clients_.clear();
    for (auto& [key, n] : refused_) ::close(static_cast<int>(n->socket()));
    refused_.clear();
    listener_.reset();
    if (listenFd_ >= 0) ::close(listenFd_);
    struct stat st {};
    // Only our own socket: never one that something else has put in its place.
    if (!path_.empty() && lstat(path_.c_str(), &st) == 0 && st.st_ino == socketInode_)
        unlink(path_.c_str());
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string ControlServer::Listen(const SocketPlace& place) {
    auto fail = [this](std::string why) {
        if (listenFd_ >= 0) ::close(listenFd_);
        if (lockFd_ >= 0) ::close(lockFd_);
        listenFd_ = lockFd_ = -1;
        return why;
    };
    if (std::string why = CheckPrivateDir(place.dir, true); !why.empty()) return why;
    sockaddr_un address{};
    if (!SocketAddress(place.socket, address))
        return "the socket path is too long: " + place.socket;

    // Whoever holds the lock serves the socket; a socket file found by the holder
    // was left behind by a program that did not end cleanly.
    lockFd_ = open(place.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) return fail(place.lock + ": " + std::strerror(errno));
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) return fail("another t720 serves " + place.socket);
    struct stat st {};
    if (lstat(place.socket.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) return fail(place.socket + " is in the way (not a socket)");
        unlink(place.socket.c_str());
    }

    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return fail(std::string("socket: ") + std::strerror(errno));
    if (bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return fail(place.socket + ": " + std::strerror(errno));
    chmod(place.socket.c_str(), 0600);
    if (listen(listenFd_, 16) != 0 || lstat(place.socket.c_str(), &st) != 0) {
        unlink(place.socket.c_str());
        return fail(place.socket + ": " + std::strerror(errno));
    }
    socketInode_ = st.st_ino;
    path_ = place.socket;
    listener_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
    QObject::connect(listener_.get(), &QSocketNotifier::activated, &context_, [this] { Accept(); });
    return {};
}

void ControlServer::Accept() {
    for (int i = 0; i < 16; ++i) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
                return;
            // Out of descriptors, say: the waiting connection would wake us again at
            // once, so stop listening for a moment instead of spinning.
            listener_->setEnabled(false);
            QTimer::singleShot(100, &context_, [this] { listener_->setEnabled(true); });
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid()) {
            ::close(fd);  // another user's process: not a word
            continue;
        }
        if (clients_.size() >= kMaxClients) DropClosed();
        if (clients_.size() >= kMaxClients) {
            Refuse(fd);
            continue;
        }
        const ClientId id = nextId_++;
        auto c = std::make_unique<Client>();
        c->fd = fd;
        c->reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        c->writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        c->writer->setEnabled(false);
        c->idle = std::make_unique<QTimer>();
        c->idle->setSingleShot(true);
        QObject::connect(c->reader.get(), &QSocketNotifier::activated, &context_,
                         [this, id] { ReadFrom(id); });
        QObject::connect(c->writer.get(), &QSocketNotifier::activated, &context_,
                         [this, id] { WriteTo(id); });
        QObject::connect(c->idle.get(), &QTimer::timeout, &context_, [this, id] { Drop(id); });
        c->idle->start(idleTimeout_);
        clients_.emplace(id, std::move(c));
    }
}

void ControlServer::Refuse(int fd) {
    const std::string reply = ErrorReply("too_many_clients", "too many clients connected");
    (void)!send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    // Closed now, with the client's request still unsent or unread, the client would
    // see its send fail or its connection reset and might never read the refusal.
    if (refused_.size() >= kMaxClients) {
        ::close(fd);
        return;
    }
    const ClientId key = nextId_++;
    auto done = [this, key] {
        const auto it = refused_.find(key);
        if (it == refused_.end()) return;
        const int fd = it->second->socket();
        char buffer[4096];
        for (int i = 0; i < 16 && recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0; ++i) {
        }
        it->second->setEnabled(false);
        it->second.release()->deleteLater();  // may be the notifier being delivered
        refused_.erase(it);
        ::close(fd);
    };
    auto& reader = refused_[key] = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(reader.get(), &QSocketNotifier::activated, &context_, done);
    QTimer::singleShot(1000, &context_, done);
}

void ControlServer::ReadFrom(ClientId id) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    const size_t room = c.in.size() < kMaxInput ? kMaxInput - c.in.size() : 0;
    if (room == 0) {
        c.reader->setEnabled(false);  // read on when the request in hand is answered
        return;
    }
    char buffer[4096];
    const ssize_t n = recv(c.fd, buffer, std::min(sizeof buffer, room), MSG_DONTWAIT);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Drop(id);
        return;
    }
    if (n == 0) {
        // Closed for writing: what it sent last is a line even without its LF, and
        // the replies still go out before the connection is closed.
        c.ended = true;
        c.reader->setEnabled(false);
        if (!c.discarding && !c.in.empty() && c.in.back() != '\n') c.in += '\n';
        Serve(id);
        return;
    }
    std::string_view bytes(buffer, static_cast<size_t>(n));
    if (c.discarding) {
        const size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) return;
        bytes.remove_prefix(lf + 1);
        c.discarding = false;
    }
    c.in.append(bytes);
    // An unfinished line already too long: keep enough of it to be answered as
    // such, and drop the rest of it as it comes.
    const size_t lastLf = c.in.rfind('\n');
    const size_t tail = lastLf == std::string::npos ? 0 : lastLf + 1;
    if (c.in.size() - tail > kMaxLine) {
        c.in.resize(tail + kMaxLine + 1);
        c.in += '\n';
        c.discarding = true;
    }
    Serve(id);
}

void ControlServer::Serve(ClientId id) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    it->second->serving = true;
    while (!it->second->busy) {
        Client& c = *it->second;
        const size_t lf = c.in.find('\n');
        if (lf == std::string::npos) break;
        std::string line = c.in.substr(0, lf);
        c.in.erase(0, lf + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const Parsed parsed = ParseRequest(line);
        if (!parsed.request) {
            const char* reason = line.size() > kMaxLine ? "too_long" : "malformed";
            if (!Send(c, ErrorReply(reason, parsed.error))) return Drop(id);
            continue;
        }
        c.busy = true;
        c.idle->stop();
        request_(id, *parsed.request);
        it = clients_.find(id);  // a reply that could not be written drops the client
        if (it == clients_.end()) return;
    }
    Client& c = *it->second;
    c.serving = false;
    if (!c.ended && c.in.size() < kMaxInput) c.reader->setEnabled(true);
    FinishIfDone(id);
}

void ControlServer::Reply(ClientId id, std::string_view line) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    c.busy = false;
    c.idle->start(idleTimeout_);
    if (!Send(c, line)) return Drop(id);
    // The next line is taken up from the event loop, never from inside the caller
    // (which may be in the middle of a supervision pass).
    if (!c.serving) QTimer::singleShot(0, &context_, [this, id] { Serve(id); });
}

bool ControlServer::Send(Client& c, std::string_view bytes) {
    if (c.out.empty()) {
        const ssize_t n = send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        if (n > 0) bytes.remove_prefix(static_cast<size_t>(n));
    }
    if (bytes.empty()) return true;
    if (c.out.size() + bytes.size() > kMaxUnread) return false;  // it does not read: let it go
    c.out.append(bytes);
    c.writer->setEnabled(true);
    return true;
}

void ControlServer::WriteTo(ClientId id) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = *it->second;
    const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Drop(id);
        return;
    }
    c.out.erase(0, static_cast<size_t>(n));
    if (!c.out.empty()) return;
    c.writer->setEnabled(false);
    FinishIfDone(id);
}

void ControlServer::FinishIfDone(ClientId id) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    const Client& c = *it->second;
    if (c.ended && !c.busy && c.out.empty() && c.in.find('\n') == std::string::npos) Drop(id);
}

void ControlServer::DropClosed() {
    // Clients that have closed their connection whose end has not been read yet
    // (a script that runs t720-ctl after t720-ctl ends faster than we read).
    std::vector<pollfd> fds;
    std::vector<ClientId> ids;
    for (const auto& [id, c] : clients_) {
        fds.push_back({c->fd, 0, 0});
        ids.push_back(id);
    }
    if (poll(fds.data(), fds.size(), 0) <= 0) return;
    for (size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents & (POLLHUP | POLLERR)) Drop(ids[i]);
}

void ControlServer::Drop(ClientId id) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;
    std::unique_ptr<Client> c = std::move(it->second);
    clients_.erase(it);
    // The notifiers and the timer may be the very ones whose signal is being delivered.
    for (auto* n : {c->reader.release(), c->writer.release()}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    c->idle->stop();
    c->idle.release()->deleteLater();
    ::close(c->fd);
    if (gone_) gone_(id);
}

}  // namespace t720::remote
