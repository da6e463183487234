// What the program asks of a serial line: the properties of the classic serial
// communications control (port number, line settings, open state, output, input
// count, input), plus a blocking wait so that readers sleep in the kernel instead
// of polling the input count in a busy loop.
//
// Failures never throw. A port that cannot be opened stays closed; writing to a
// closed port does nothing and reading one gives nothing; a device that goes away
// closes the port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace t720 {

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Port number n (COMn). Refused (false) while the port is open or for n < 1.
    virtual bool SetCommPort(int16_t n) = 0;
    // Line settings such as "9600,E,8,1". A malformed text is refused (false) and the
    // previous settings stay.
    virtual bool SetSettings(std::string_view settings) = 0;
    // Opens or closes the port. Whether opening worked is read back with PortOpen().
    virtual void SetPortOpen(bool open) = 0;
    virtual bool PortOpen() const = 0;
    // Hands `bytes` to the output unchanged and returns without waiting for them to
    // leave. Nothing happens on a closed port.
    virtual void Output(std::string_view bytes) = 0;
    // Number of received bytes waiting; 0 on a closed port.
    virtual int InBufferCount() = 0;
    // Takes every byte waiting, in the order received; "" when none or closed.
    virtual std::string Input() = 0;
    // Blocks until input is waiting or `seconds` have passed (or the port is closed).
    // Returns true when input is waiting.
    virtual bool WaitForInput(double seconds) = 0;
    // Why the last opening failed, for the operator ("" after one that worked, or
    // when the port cannot tell).
    virtual std::string OpenProblem() const { return {}; }
};

}  // namespace t720
