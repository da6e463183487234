// The stand-in for the maker's USB calibrator library: the same two C functions,
// each call forwarded to the simulated bench over a local socket (sim/UsbWire.h).
//
// The program calls the library on its GUI thread and blocks until it returns, so
// every wait here has a deadline: a bench that is absent, hung or dies mid-call
// costs the caller at most about a second and yields a failure, never a hang.
// One connection is kept for reuse; a connection the bench has closed (a restart)
// is noticed before the next request and replaced.
//
// Plain C++ and POSIX only; nothing global needs constructing, so loading the
// library can never fail and a call made before any bench exists is answered.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "sim/UsbWire.h"

#define T720_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace t720::usbwire;

// How long one call may wait for the bench, connecting included.
constexpr int64_t kCallDeadlineNs = 1'000'000'000;

struct Connection {
    int fd = -1;
    char path[sizeof(sockaddr_un{}.sun_path)] = {};
};

// Constant-initialised: no constructor runs when the library is loaded.
constinit Connection g_connection;
constinit std::mutex g_mutex;

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Milliseconds left until `deadline`, rounded up so that poll never returns early
// into a busy round; -1 once it has passed.
int MsLeft(int64_t deadline) {
    const int64_t left = deadline - NowNs();
    if (left <= 0) return -1;
    return static_cast<int>((left + 999'999) / 1'000'000);
}

void Disconnect() {
    if (g_connection.fd >= 0) close(g_connection.fd);
    g_connection.fd = -1;
    g_connection.path[0] = '\0';
}

// A kept connection is usable only while the bench has neither closed it nor sent
// anything unasked; both show as readiness before we have sent a request.
bool StillUsable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

bool Connect(const char* path, int64_t deadline) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A connect to a listener whose queue is full waits; SO_SNDTIMEO bounds it
    // (never 0, which would mean no bound at all).
    const int ms = MsLeft(deadline);
    const timeval limit{ms / 1000, (ms % 1000) * 1000};
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path, std::strlen(path) + 1);
    // Only a bench of this user: another user's, at a path it took first, would
    // hand the program a calibrator that is not there.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (ms <= 0 || setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid() ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        close(fd);
        return false;
    }
    g_connection.fd = fd;
    std::memcpy(g_connection.path, path, std::strlen(path) + 1);
    return true;
}

// Waits for `events` on the connection until the deadline.
bool WaitFor(short events, int64_t deadline) {
    for (;;) {
        const int ms = MsLeft(deadline);
        if (ms < 0) return false;
        pollfd p{g_connection.fd, events, 0};
        const int n = poll(&p, 1, ms);
        if (n > 0) return (p.revents & events) != 0 || (p.revents & POLLHUP) != 0;
        if (n < 0 && errno != EINTR) return false;
    }
}

// Moves all `size` bytes with `transfer` (a send or a receive that never blocks,
// from `done` bytes on), waiting for `ready` while the socket has no room or no
// data; false at the deadline, on an error, or when the bench closed the
// connection mid-call (0 bytes moved).
template <typename Transfer>
bool Whole(size_t size, short ready, int64_t deadline, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(ready, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool SendAll(const uint8_t* bytes, size_t size, int64_t deadline) {
    return Whole(size, POLLOUT, deadline, [&](size_t done) {
        return send(g_connection.fd, bytes + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

bool ReceiveAll(uint8_t* bytes, size_t size, int64_t deadline) {
    return Whole(size, POLLIN, deadline, [&](size_t done) {
        return recv(g_connection.fd, bytes + done, size - done, MSG_DONTWAIT);
    });
}

// Sends one request and receives its reply, reconnecting first when the kept
// connection is gone or leads elsewhere. Any failure drops the connection, so
// the next call starts afresh.
template <class Request, class Reply>
bool Exchange(const Request& request, Reply& reply) {
    const int64_t deadline = NowNs() + kCallDeadlineNs;
    char path[sizeof(sockaddr_un{}.sun_path)];
    if (!SocketPathFromEnvironment(path, sizeof path)) return false;

    if (g_connection.fd >= 0 &&
        (std::strcmp(path, g_connection.path) != 0 || !StillUsable(g_connection.fd)))
        Disconnect();
    if (g_connection.fd < 0 && !Connect(path, deadline)) return false;

    uint8_t frame[kMaxFrame];
    const size_t size = Encode(request, frame);
    uint8_t header[kHeaderBytes];
    bool ok = SendAll(frame, size, deadline) && ReceiveAll(header, sizeof header, deadline);
    const uint32_t payloadSize = ok ? PayloadLength(header) : 0;
    ok = ok && ValidPayloadLength(payloadSize) && ReceiveAll(frame, payloadSize, deadline) &&
         Decode(frame, payloadSize, reply);
    if (!ok) Disconnect();
    return ok;
}

}  // namespace

// device -1 is the initialisation call: it only tells the caller that the library
// can be called, and succeeds without a bench. Otherwise the command goes to the
// calibrator; its answer comes back in `command`, the answer count in `count`.
T720_EXPORT int32_t CalCommand(int32_t device, char* id, char* command, int32_t* count) {
    if (device == -1) return kResultOk;
    std::lock_guard lock(g_mutex);
    CalCommandRequest request;
    request.device = device;
    request.count = count != nullptr ? *count : 0;
    request.id.AssignCString(id);
    request.command.AssignCString(command);
    CalCommandReply reply;
    if (!Exchange(request, reply)) {
        // No answer came: the command buffer must not pass for one.
        if (command != nullptr) command[0] = '\0';
        if (count != nullptr) *count = 0;
        return kResultNoBench;
    }
    reply.id.CopyTo(id);
    reply.answer.CopyTo(command);
    if (count != nullptr) *count = reply.count;
    return reply.result;
}

// Asks the bench for its calibrator. The serial-number and identification buffers
// go in holding the caller's prefixes and come back holding the texts, each
// written with its NUL (at most 255 characters); the length variables get the
// lengths written. Their values going in are not relied upon.
T720_EXPORT int32_t GetUSBDeviceInfo(int32_t* n1, char* serial, int32_t* serialLen, char* text2,
                                     int32_t* len2, char* text3, int32_t* len3, char* ident,
                                     int32_t* identLen) {
    std::lock_guard lock(g_mutex);
    DeviceInfoRequest request;
    request.n1 = n1 != nullptr ? *n1 : 0;
    request.serial.AssignCString(serial);
    request.ident.AssignCString(ident);
    DeviceInfoReply reply;
    const bool reached = Exchange(request, reply);
    if (!reached) reply = DeviceInfoReply{};  // all texts empty
    const auto put = [](const Text& text, char* buffer, int32_t* length) {
        text.CopyTo(buffer);
        if (length != nullptr) *length = buffer != nullptr ? text.size : 0;
    };
    put(reply.serial, serial, serialLen);
    put(reply.text2, text2, len2);
    put(reply.text3, text3, len3);
    put(reply.ident, ident, identLen);
    if (n1 != nullptr) *n1 = reply.n1;
    return reached ? reply.status : kStatusNoBench;
}
