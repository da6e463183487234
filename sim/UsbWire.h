// The stand-in USB library and the bench talk over a local (Unix stream) socket in
// small length-prefixed frames. This header is the whole protocol; both sides
// include it. It uses no allocation and no exceptions, so the library can use it
// from any call without constructing anything global.
//
// Frame:   uint32 payload length, little-endian (1..kMaxPayload), then the payload.
// Payload: one kind byte, then the fields of that kind in the order listed below.
//          int32: 4 bytes, little-endian two's complement.
//          text:  one length byte (0..255), then that many bytes (no NUL).
//          A payload with bytes left over, or too few, is malformed.
//
//   'C' CalCommand request        int32 device, int32 count, text id, text command
//   'c' CalCommand reply          int32 result, int32 count, text id, text answer
//   'I' GetUSBDeviceInfo request  int32 n1, text serial prefix, text ident prefix
//   'i' GetUSBDeviceInfo reply    int32 status, int32 n1, text serial, text text2,
//                                 text text3, text ident
//
// One request, one reply, in order, on a connection that may carry any number of
// exchanges. The bench closes a connection that sends anything malformed.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace t720::usbwire {

// The longest text either side sends: the library writes a text and its NUL into
// buffers of at least 256 bytes.
inline constexpr size_t kMaxText = 255;
inline constexpr size_t kHeaderBytes = 4;
// The largest payload: a device-info reply with four full texts (1033 bytes).
inline constexpr size_t kMaxPayload = 1 + 4 + 4 + 4 * (1 + kMaxText);
inline constexpr size_t kMaxFrame = kHeaderBytes + kMaxPayload;

enum Kind : uint8_t {
    kCalCommand = 'C',
    kCalCommandReply = 'c',
    kDeviceInfo = 'I',
    kDeviceInfoReply = 'i',
};

// Results of CalCommand (0 = success) and statuses of GetUSBDeviceInfo (>= 0 = found).
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultBusFailure = 1;    // the bench's library-failure fault
inline constexpr int32_t kResultNoSuchDevice = 2;  // a device index other than 0
inline constexpr int32_t kResultNoBench = -1;      // the library could not reach the bench
inline constexpr int32_t kStatusNoDevice = -1;     // no calibrator on the bus
inline constexpr int32_t kStatusNoBench = -2;      // the library could not reach the bench

// A text of at most kMaxText bytes, held in place.
struct Text {
    uint8_t size = 0;
    char bytes[kMaxText] = {};

    std::string_view view() const { return {bytes, size}; }
    // Keeps the first kMaxText bytes of `s`.
    void Assign(std::string_view s) {
        size = static_cast<uint8_t>(s.size() < kMaxText ? s.size() : kMaxText);
        std::memcpy(bytes, s.data(), size);
    }
    // A caller's zero-terminated buffer: never reads more than kMaxText bytes of it.
    void AssignCString(const char* s) {
        if (s == nullptr) {
            size = 0;
            return;
        }
        Assign(std::string_view(s, strnlen(s, kMaxText)));
    }
    // Writes the text and its NUL: at most kMaxText + 1 bytes.
    void CopyTo(char* out) const {
        if (out == nullptr) return;
        std::memcpy(out, bytes, size);
        out[size] = '\0';
    }
};

struct CalCommandRequest {
    int32_t device = 0;
    int32_t count = 0;
    Text id;
    Text command;
};

struct CalCommandReply {
    int32_t result = kResultOk;
    int32_t count = 0;
    Text id;
    Text answer;
};

struct DeviceInfoRequest {
    int32_t n1 = 0;
    Text serial;  // what the caller put in the serial-number buffer ("/DEV=")
    Text ident;   // what the caller put in the identification buffer ("/ID=")
};

struct DeviceInfoReply {
    int32_t status = kStatusNoDevice;
    int32_t n1 = 0;
    Text serial;
    Text text2;
    Text text3;
    Text ident;
};

// --- Encoding: a whole frame, header included, into a buffer of kMaxFrame bytes ---

class Writer {
  public:
    explicit Writer(uint8_t* frame) : frame_(frame), pos_(kHeaderBytes) {}
    void Byte(uint8_t b) { frame_[pos_++] = b; }
    void Int(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) Byte(static_cast<uint8_t>(u >> (8 * i)));
    }
    void Str(const Text& t) {
        Byte(t.size);
        std::memcpy(frame_ + pos_, t.bytes, t.size);
        pos_ += t.size;
    }
    // Fills in the header; returns the frame's length.
    size_t Finish() {
        const auto n = static_cast<uint32_t>(pos_ - kHeaderBytes);
        for (int i = 0; i < 4; ++i) frame_[i] = static_cast<uint8_t>(n >> (8 * i));
        return pos_;
    }

  private:
    uint8_t* frame_;
    size_t pos_;
};

inline size_t Encode(const CalCommandRequest& m, uint8_t* frame) {
    Writer w(frame);
    w.Byte(kCalCommand);
    w.Int(m.device);
    w.Int(m.count);
    w.Str(m.id);
    w.Str(m.command);
    return w.Finish();
}

inline size_t Encode(const CalCommandReply& m, uint8_t* frame) {
    Writer w(frame);
    w.Byte(kCalCommandReply);
    w.Int(m.result);
    w.Int(m.count);
    w.Str(m.id);
    w.Str(m.answer);
    return w.Finish();
}

inline size_t Encode(const DeviceInfoRequest& m, uint8_t* frame) {
    Writer w(frame);
    w.Byte(kDeviceInfo);
    w.Int(m.n1);
    w.Str(m.serial);
    w.Str(m.ident);
    return w.Finish();
}

inline size_t Encode(const DeviceInfoReply& m, uint8_t* frame) {
    Writer w(frame);
    w.Byte(kDeviceInfoReply);
    w.Int(m.status);
    w.Int(m.n1);
    w.Str(m.serial);
    w.Str(m.text2);
    w.Str(m.text3);
    w.Str(m.ident);
    return w.Finish();
}

// --- Decoding a payload (the frame without its header) ---

// The payload length in a frame header.
inline uint32_t PayloadLength(const uint8_t* header) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(header[i]) << (8 * i);
    return n;
}

inline bool ValidPayloadLength(uint32_t n) {
    return n >= 1 && n <= kMaxPayload;
}

class Reader {
  public:
    Reader(const uint8_t* payload, size_t size) : p_(payload), size_(size) {}
    bool Byte(uint8_t& b) {
        if (pos_ >= size_) return ok_ = false;
        b = p_[pos_++];
        return true;
    }
    bool Int(int32_t& v) {
        if (size_ - pos_ < 4) return ok_ = false;
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Str(Text& t) {
        uint8_t n = 0;
        if (!Byte(n) || size_ - pos_ < n) return ok_ = false;
        t.size = n;
        std::memcpy(t.bytes, p_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool Kind(uint8_t expected) {
        uint8_t k = 0;
        if (!Byte(k)) return false;
        if (k != expected) ok_ = false;
        return ok_;
    }
    // Everything read, nothing left over.
    bool Done() const { return ok_ && pos_ == size_; }

  private:
    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

inline bool Decode(const uint8_t* payload, size_t size, CalCommandRequest& m) {
    Reader r(payload, size);
    r.Kind(kCalCommand) && r.Int(m.device) && r.Int(m.count) && r.Str(m.id) && r.Str(m.command);
    return r.Done();
}

inline bool Decode(const uint8_t* payload, size_t size, CalCommandReply& m) {
    Reader r(payload, size);
    r.Kind(kCalCommandReply) && r.Int(m.result) && r.Int(m.count) && r.Str(m.id) && r.Str(m.answer);
    return r.Done();
}

inline bool Decode(const uint8_t* payload, size_t size, DeviceInfoRequest& m) {
    Reader r(payload, size);
    r.Kind(kDeviceInfo) && r.Int(m.n1) && r.Str(m.serial) && r.Str(m.ident);
    return r.Done();
}

inline bool Decode(const uint8_t* payload, size_t size, DeviceInfoReply& m) {
    Reader r(payload, size);
    r.Kind(kDeviceInfoReply) && r.Int(m.status) && r.Int(m.n1) && r.Str(m.serial) &&
        r.Str(m.text2) && r.Str(m.text3) && r.Str(m.ident);
    return r.Done();
}

// --- Where the bench listens ---

// The per-user socket path both sides use when none is named, in a folder of mode
// 0700 that the bench makes: $XDG_RUNTIME_DIR/t720-bench/usb.sock, else
// /tmp/t720-bench-<uid>/usb.sock. Writes it into `out` (room bytes); false when it
// does not fit a socket address.
inline bool DefaultSocketPath(char* out, size_t room) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const int n = runtime != nullptr && runtime[0] != '\0'
                      ? std::snprintf(out, room, "%s/t720-bench/usb.sock", runtime)
                      : std::snprintf(out, room, "/tmp/t720-bench-%u/usb.sock",
                                      static_cast<unsigned>(getuid()));
    return n > 0 && static_cast<size_t>(n) < room &&
           static_cast<size_t>(n) < sizeof(sockaddr_un{}.sun_path);
}

// The path the library connects to: $T720_BENCH_SOCKET if set and not empty,
// otherwise the default above.
inline bool SocketPathFromEnvironment(char* out, size_t room) {
    const char* named = std::getenv("T720_BENCH_SOCKET");
    if (named == nullptr || named[0] == '\0') return DefaultSocketPath(out, room);
    const int n = std::snprintf(out, room, "%s", named);
    return n > 0 && static_cast<size_t>(n) < room &&
           static_cast<size_t>(n) < sizeof(sockaddr_un{}.sun_path);
}

}  // namespace t720::usbwire
