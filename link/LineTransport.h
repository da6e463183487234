// Line exchange with a device on a serial port: a command is one line ended by a
// single line feed, an answer is whatever arrives up to and including the next
// line feed, or within the time-out.
#pragma once

#include <string>
#include <string_view>

#include "app/Clock.h"
#include "app/DialogueTrace.h"
#include "link/SerialPort.h"

namespace t720 {

// Answer lines are kept to this many bytes; what a device sends beyond it before
// the line feed is read and dropped, so a flood cannot grow memory.
inline constexpr size_t kLineCap = 4096;

// The calibrator's answer time-out, seconds.
inline constexpr float kCalibratorTimeout = 0.3f;

// Writes `cmd` and one line feed. Both these and the reader record what they pass in
// the dialogue trace, under `link`, when it is on.
void WriteLine(SerialPort& port, std::string_view cmd, TraceLink link);

// Collects input until it holds a line feed or until `timeoutSeconds` have passed,
// sleeping in the kernel while nothing arrives. Everything read is returned,
// including the CR LF and anything that came behind the line feed in the same read;
// on a time-out the partial or empty text. NUL bytes are dropped, and the first "."
// becomes "," (the devices' decimal point handed on as a decimal comma); `received`,
// when given, gets the text before that. A closed port gives "" at once.
std::string ReadLine(SerialPort& port, Clock& clock, float timeoutSeconds, TraceLink link,
                     std::string* received = nullptr);

// The first "." of a device's text replaced by ",", as the line readers hand it on.
std::string WithDecimalComma(std::string text);

// The calibrator line.
void WriteLineCom(SerialPort& port, std::string_view cmd);
std::string ReadLineCom(SerialPort& port, Clock& clock = RealClock());
// WriteLineCom, then ReadLineCom. Old input is not discarded first: a late answer
// to an earlier command is the start of this one's.
std::string QueryCom(SerialPort& port, std::string_view cmd, Clock& clock = RealClock());

}  // namespace t720
