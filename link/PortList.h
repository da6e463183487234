// The serial ports present, as the system lists them (QSerialPortInfo), with their
// stable names under /dev/serial/by-id/ and the COM numbers that name them; and
// the ports that only the settings name (a pseudo-terminal, a link to one, or a
// device that is not plugged in). Listing reads the system's device lists and
// follows links; it never opens, locks or writes to a port.
#pragma once

#include <string>
#include <vector>

#include "link/PortMapping.h"

namespace t720 {

struct PortInfo {
    std::string device;  // /dev/ttyUSB0; for a port only named in [Ports], the path named there
    std::string byId;    // stable name under /dev/serial/by-id/; "" when it has none
    std::string description, manufacturer, serialNumber;
    bool listed = true;          // the system lists it as a serial port
    bool present = true;         // for a named one: the path leads to something
    std::string target;          // for a named one: what the path leads to, when that differs
    std::vector<int> com;        // the COM numbers that name it, ascending
    std::vector<int> byDefault;  // those of them that name it without an entry in [Ports]
};

std::vector<PortInfo> ListPorts(const PortMap& map,
                                const std::string& byIdDirectory = "/dev/serial/by-id");

// The ports as `t720 --list-ports` prints them: one line per port with its COM
// numbers, then its stable name, description, maker and serial number, where known.
std::string PortListText(const std::vector<PortInfo>& ports);

// The path to store for a port: its stable name where it has one, so the choice
// survives replugging (a USB adapter may come back as another ttyUSBn).
std::string PreferredPath(const PortInfo& port);

// [Ports] after the operator gave ports[i] the COM number choice[i] (0: none; a
// port that several numbers name shows the first of them). A number that stays
// where it was keeps its entry as it is; a number given to another port names that
// port's preferred path; a number given to none goes back to its default device.
PortMap ChosenPortMap(const std::vector<PortInfo>& ports, const std::vector<int>& choice,
                      const PortMap& stored);

}  // namespace t720
