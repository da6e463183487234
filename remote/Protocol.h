// The control socket's line protocol: one request per line, one line of JSON per
// reply. Plain C++; the server and t720-ctl share it.
//
// Requests (words separated by blanks, the line ended by LF, an optional CR before it):
//   set [channel=N] [range=N] [percent=P]   at least one of them, each at most once;
//                                           P in tens of percent with its sign, -0 is minus
//   beep on [SECONDS]|off                 the beep ends after SECONDS (default 2, at
//                                           most 60) or when its connection closes
//   ready on|off      load on|off
//   status
//   wait-connected SECONDS
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace t720::remote {

// A request line longer than this (without its LF) is refused whole.
inline constexpr size_t kMaxLine = 512;
// wait-connected waits at most this long (seconds).
inline constexpr double kMaxWaitSeconds = 3600.0;
// A remote beep lasts this long unless the request says otherwise, and never longer
// than the maximum (seconds): the button it stands for is only held down.
inline constexpr double kDefaultBeepSeconds = 2.0;
inline constexpr double kMaxBeepSeconds = 60.0;

enum class Verb { Set, Beep, Ready, Load, Status, WaitConnected };

struct Request {
    Verb verb = Verb::Status;
    // set: what is to change; the limits of the calibrator variant are checked by
    // whoever carries the request out.
    std::optional<int32_t> channel;
    std::optional<int32_t> range;
    std::optional<int32_t> percent;  // magnitude and sign: -50 is minus, 50 % of full scale
    bool minus = false;              // the percent text began with "-" (also for -0)
    // beep, ready, load
    bool on = false;
    // wait-connected; beep on: how long it lasts
    double seconds = 0.0;
};

struct Parsed {
    std::optional<Request> request;
    std::string error;  // why the line is no request, when it is none
};

// One line without its LF. Never throws; any byte sequence is answered.
Parsed ParseRequest(std::string_view line);

// Builds one JSON object on one line. Texts are taken as the device's 8-bit
// (Latin-1) bytes and written as UTF-8 with every control character escaped, so
// no text can break the line.
class JsonLine {
  public:
    JsonLine& Add(std::string_view key, std::string_view text);
    JsonLine& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    JsonLine& Add(std::string_view key, bool value);
    JsonLine& Add(std::string_view key, int64_t value);
    JsonLine& Add(std::string_view key, int32_t value) { return Add(key, int64_t{value}); }
    JsonLine& Add(std::string_view key, double value);
    // A value written as it is (a list built by the caller).
    JsonLine& AddRaw(std::string_view key, std::string_view json);
    // The object and its LF.
    std::string Line() const { return text_ + "}\n"; }

  private:
    void Key(std::string_view key);
    std::string text_ = "{";
};

// A JSON number for a double, shortest form that reads back the same; "null"
// for a value JSON cannot carry.
std::string JsonNumber(double value);

// The reply to a request that is refused: {"ok":false,"error":..., "reason":...}.
// `reason` is a short word a script can test: malformed, too_long, not_connected,
// busy, out_of_range, no_load_toggle, timeout, not_sent, too_many_clients. A set
// that stands in the panel without the calibrator's word on it (not sent, or not
// answered) also carries "pending":true: it goes out with the next transmission.
std::string ErrorReply(std::string_view reason, std::string_view error);

}  // namespace t720::remote
