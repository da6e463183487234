// The control socket: a Unix-domain stream socket in a private directory, served
// from the GUI thread's event loop. Each client is served line by line: a request
// is handed on, and the client's next line is read only after its reply has been
// given. Nothing here ever waits: reads and writes are non-blocking, a client that
// does not read its replies is dropped when its queue is full, one with no request
// in hand is closed after a minute, and lines, queues and the number of clients
// are capped. Only processes of this user get in: the directory is 0700 and the
// peer's uid is checked on every connection.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "remote/Protocol.h"
#include "remote/SocketPlace.h"

namespace t720::remote {

using ClientId = uint64_t;

class ControlServer {
  public:
    static constexpr size_t kMaxClients = 16;
    // Replies a client has not yet read; beyond this it is dropped.
    static constexpr size_t kMaxUnread = 64 * 1024;
    // A client with no request in hand (none since it connected or since its last
    // reply) is closed after this, so that silent connections cannot keep the
    // others out. A wait-connected in progress is a request in hand.
    static constexpr std::chrono::milliseconds kIdleTimeout{60'000};

    // `request` gets every well-formed request and must answer each with exactly
    // one Reply (at once or later); `gone` is told when a client has left or been
    // dropped, so that a reply it waited for can be forgotten.
    ControlServer(std::function<void(ClientId, const Request&)> request,
                  std::function<void(ClientId)> gone);
    ~ControlServer();  // closes every connection and removes the socket
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Takes the place: the private directory, the lock that makes this program the
    // one that serves it, a stale socket removed, the new one listening. "" when
    // serving, else why not.
    std::string Listen(const SocketPlace& place);
    const std::string& Path() const { return path_; }

    // The reply (one line, with its LF) to the request the client has in hand. A
    // client that has gone is skipped.
    void Reply(ClientId id, std::string_view line);

    size_t ClientCount() const { return clients_.size(); }
    // For tests, which cannot wait a minute.
    void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }

  private:
    struct Client;
    void Refuse(int fd);
    void Accept();
    void ReadFrom(ClientId id);
    void Serve(ClientId id);
    void WriteTo(ClientId id);
    bool Send(Client& c, std::string_view bytes);  // false: the client must go
    void FinishIfDone(ClientId id);
    void DropClosed();  // those whose peer has closed both ways
    void Drop(ClientId id);

    std::function<void(ClientId, const Request&)> request_;
    std::function<void(ClientId)> gone_;
    int listenFd_ = -1;
    int lockFd_ = -1;
    std::string path_;
    uint64_t socketInode_ = 0;
    std::unique_ptr<QSocketNotifier> listener_;
    std::map<ClientId, std::unique_ptr<Client>> clients_;
    // Refused connections, kept until their request has come (or a second has
    // passed), so that the refusal is read instead of a broken connection.
    std::map<ClientId, std::unique_ptr<QSocketNotifier>> refused_;
    std::chrono::milliseconds idleTimeout_ = kIdleTimeout;
    ClientId nextId_ = 1;
    QObject context_;  // owns the deferred calls; they die with the server
};

}  // namespace t720::remote
