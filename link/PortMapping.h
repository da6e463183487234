// Which device stands behind COM1..COM9: section "Ports" of the settings store,
// key "COMn", holding a device path; without an entry the platform's own name for
// the n-th serial port.
#pragma once

#include <QSettings>
#include <array>
#include <string>

namespace t720 {

inline constexpr int kMaxComPort = 9;

// The device behind COMn: the path that the key "COMn" of section "Ports" in the
// settings store names, when present; otherwise DefaultDevicePath(n).
std::string SerialDevicePath(int commPort);

// The platform's own name for the n-th serial port: /dev/ttyS(n-1) on Linux, COMn
// on Windows.
std::string DefaultDevicePath(int commPort);

// [Ports] COM1..COM9 as stored (index 0 unused); "" where there is no entry.
using PortMap = std::array<std::string, kMaxComPort + 1>;
PortMap StoredPortMap(QSettings& store);

// Writes COMn=path for every given path and removes the entry where the map holds
// "" (the default device); the other keys and sections of the file stay. Refuses
// (false) a file the store could not read cleanly, which it would rewrite without
// what it could not read, and reports a failed write.
bool StorePortMap(QSettings& store, const PortMap& map);

}  // namespace t720
