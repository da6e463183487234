#include "link/LineTransport.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace t720 {

void WriteLine(SerialPort& port, std::string_view cmd, TraceLink link) {
    std::string line;
    line.reserve(cmd.size() + 1);
    line.append(cmd);
    line.push_back('\n');
    if (DialogueTrace::Active()) TraceSent(link, line, port.PortOpen() ? "" : "port closed");
    port.Output(line);
}

std::string WithDecimalComma(std::string text) {
    const size_t point = text.find('.');
    if (point != std::string::npos) text[point] = ',';
    return text;
}

std::string ReadLine(SerialPort& port, Clock& clock, float timeoutSeconds, TraceLink link,
                     std::string* received) {
    const double deadline = clock.Now() + static_cast<double>(timeoutSeconds);
    std::string buffer;
    bool sawLineFeed = false;
    uint64_t dropped = 0;  // bytes beyond the cap, for the trace
    for (;;) {
        if (!port.PortOpen()) break;
        if (port.InBufferCount() > 0) {
            const std::string chunk = port.Input();
            for (char c : chunk) {
                if (c == '\0') continue;
                if (c == '\n') sawLineFeed = true;
                if (buffer.size() < kLineCap)
                    buffer.push_back(c);
                else
                    ++dropped;
            }
        }
        if (sawLineFeed) break;
        const double left = deadline - clock.Now();
        if (left < 0.0) break;
        port.WaitForInput(left);
    }
    // As it came over the line, before the decimal point is handed on as a comma; a
    // line cut at the cap says how much more came, or the record would pass for the
    // whole answer.
    if (DialogueTrace::Active()) {
        std::string tail;
        if (dropped > 0)
            tail =
                std::to_string(dropped) + " bytes beyond " + std::to_string(kLineCap) + " dropped";
        const char* end = sawLineFeed ? "" : port.PortOpen() ? "time-out" : "port closed";
        if (*end) tail += tail.empty() ? end : std::string(", ") + end;
        TraceReceived(link, buffer, tail);
    }
    if (received) *received = buffer;
    return WithDecimalComma(std::move(buffer));
}

void WriteLineCom(SerialPort& port, std::string_view cmd) {
    WriteLine(port, cmd, TraceLink::T720Serial);
}

std::string ReadLineCom(SerialPort& port, Clock& clock) {
    return ReadLine(port, clock, kCalibratorTimeout, TraceLink::T720Serial);
}

std::string QueryCom(SerialPort& port, std::string_view cmd, Clock& clock) {
    WriteLineCom(port, cmd);
    return ReadLineCom(port, clock);
}

}  // namespace t720
