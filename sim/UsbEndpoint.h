// The bench's end of the stand-in USB library: a local (Unix stream) socket on the
// event loop. Each connection carries requests of the library (sim/UsbWire.h) and
// gets one reply per request; the replies come from the bench's service.
//
// Any number of clients, one after the other or side by side (up to kMaxClients).
// Nothing a client sends can grow our memory: a frame is at most
// usbwire::kMaxFrame bytes, requests are read only while the client takes its
// replies, and a client that sends anything malformed is closed.
//
// Everything here runs on the event loop's thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sim/EventLoop.h"
#include "sim/OutputQueue.h"
#include "sim/UniqueFd.h"
#include "sim/UsbWire.h"

namespace t720::sim {

class UsbEndpoint {
  public:
    struct Service {
        std::function<usbwire::CalCommandReply(const usbwire::CalCommandRequest&)> calCommand;
        std::function<usbwire::DeviceInfoReply(const usbwire::DeviceInfoRequest&)> deviceInfo;
    };

    // Connections beyond this are closed as soon as they are accepted.
    static constexpr size_t kMaxClients = 32;
    // Replies waiting for a client that does not read them.
    static constexpr size_t kOutputCap = 1 << 20;

    UsbEndpoint(EventLoop& loop, std::string socketPath, Service service);
    ~UsbEndpoint();
    UsbEndpoint(const UsbEndpoint&) = delete;
    UsbEndpoint& operator=(const UsbEndpoint&) = delete;

    // Listens on the socket path, creating missing parent directories. A socket
    // file nobody listens on (left by a bench that was killed) is replaced; a live
    // one, or anything that is not a socket, is left alone and the call throws
    // std::system_error / std::filesystem_error. Does nothing when open.
    void Open();
    // Closes every client and the listener, and removes the socket file if it is
    // still the one Open() made.
    void Close();

    bool IsOpen() const { return static_cast<bool>(listener_); }
    const std::string& SocketPath() const { return path_; }

  private:
    struct Client {
        UniqueFd fd;
        EventLoop::WatchId watch = 0;
        std::string in;  // received, not yet a whole frame
        OutputQueue out{kOutputCap};
    };

    void OnListener();
    void OnClient(uint64_t id, short revents);
    // Answers every whole frame in `c.in`; false for a malformed one.
    bool ServeFrames(Client& c);
    // Sends what waits; false when the client has gone.
    bool Flush(Client& c);
    void Drop(uint64_t id);

    EventLoop& loop_;
    const std::string path_;
    Service service_;

    UniqueFd listener_;
    std::optional<EventLoop::WatchId> listenWatch_;
    // The socket file we made, so that Close() never removes a successor's.
    dev_t socketDev_ = 0;
    ino_t socketIno_ = 0;

    std::map<uint64_t, std::unique_ptr<Client>> clients_;
    uint64_t nextClient_ = 1;
};

}  // namespace t720::sim
