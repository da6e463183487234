#pragma once

#include <string>

namespace t720 {

// The device behind COMn: the path that the key "COMn" of section "Ports" in the
// settings store names, when present; otherwise the platform's own name for the
// n-th serial port (/dev/ttyS(n-1) on Linux, COMn on Windows).
std::string SerialDevicePath(int commPort);

}  // namespace t720
