// The control socket's request parser on any bytes a client may send, and the
// reply line that carries its error (and any text) back.
#include <cstdlib>
#include <string>

#include "remote/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace t720::remote;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const Parsed p = ParseRequest(line);
    if (p.request.has_value() == !p.error.empty()) std::abort();  // a request or a reason
    if (p.error.size() > 120) std::abort();  // an error never grows with the line
    if (p.request && p.request->verb == Verb::Set &&
        !(p.request->channel || p.request->range || p.request->percent))
        std::abort();
    if (p.request && (p.request->seconds < 0 || p.request->seconds > kMaxWaitSeconds)) std::abort();
    if (p.request && p.request->verb == Verb::Beep && p.request->on &&
        !(p.request->seconds > 0 && p.request->seconds <= kMaxBeepSeconds))
        std::abort();  // a remote beep always ends
    const std::string json = JsonLine().Add("error", p.error).Add("text", line).Line();
    if (json.find('\n') != json.size() - 1) std::abort();  // one line, whatever the text
    for (const char c : json)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n') std::abort();
    return 0;
}
