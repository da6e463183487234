// The precision DMM on its own serial line (COM1, "9600,N,8,1"), SCPI commands one
// per line. The meter is put into remote mode for a run and back to local mode
// after it.
#pragma once

#include <string>
#include <string_view>

#include "app/Clock.h"
#include "link/SerialPort.h"

namespace t720 {

inline constexpr float kDmmTimeout = 1.5f;  // seconds for one answer line
inline constexpr std::string_view kMeasureCommand = "MEAS:VOLT:DC? 1,1E-6";

// The DMM measures on its 1 V range, which reads at most 120 % of it; anything
// beyond is no voltage across divider taps.
inline constexpr double kDmmReadingLimit = 1.2;
// What the DMM answers, with its sign, for an input beyond its range.
inline constexpr double kDmmOverload = 9.9e37;

class DmmLink {
  public:
    DmmLink(SerialPort& comm2, Clock& clock = RealClock());

    // Opens the line (port 1) and switches the meter to remote operation, emptying
    // its error queue (two entries, read and dropped). False when the port cannot
    // be opened; nothing is sent then.
    bool InitHP();
    // Returns the meter to front-panel operation and closes the line.
    void LocalHP();
    // The command and one line feed, in one piece; returns at once.
    void WriteLineHP(std::string_view cmd);
    // One answer line (up to its LF, or what came within 1.5 s), first "." → ",".
    std::string ReadLineHP();
    // WriteLineHP, then ReadLineHP.
    std::string ReadHP(std::string_view cmd);
    // The last answer line as the DMM sent it, its decimal point as it came.
    const std::string& LastReceived() const { return received_; }

    bool IsOpen() const { return port_.PortOpen(); }
    // Why InitHP could not open the line ("" when unknown).
    std::string OpenProblem() const { return port_.OpenProblem(); }

  private:
    SerialPort& port_;
    Clock& clock_;
    std::string received_;
};

}  // namespace t720
