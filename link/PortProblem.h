// Why a serial port could not be opened, in words the operator can act on: the
// device is missing, or the user may not use it (and which group would let them),
// or another program holds it.
#pragma once

#include <string>
#include <string_view>

namespace t720 {

// What the system says about a device node, as far as a failed open needs it.
struct DeviceNode {
    bool exists = false;  // the path (through any links) names a node
    std::string device;   // the node a link points at; empty when the path is the node
    std::string owner;    // user and group names (numbers when the system has no name)
    std::string group;
    bool groupMayUse = false;    // the group has read and write rights
    bool weMayUse = false;       // this process may read and write it by owner, group and mode
    bool memberOfGroup = false;  // the user is listed in the group, perhaps since the last login
};

// Looks at `path` with stat(), never opening it.
DeviceNode InspectDeviceNode(const std::string& path);
// What InspectDeviceNode would see of the node itself (path, inode, owner, group
// and mode), from one stat() and no name lookup: equal keys, equal nodes.
std::string DeviceNodeKey(const std::string& path);

enum class OpenFailure { NotFound, Denied, Other };

// How the reason for a port held open elsewhere ends.
inline constexpr std::string_view kInUseElsewhere = " is in use by another program";

// The reason and what fixes it, for a `path` that failed to open as `failure`;
// `systemText` is the system's own message, used when nothing better is known.
std::string OpenProblemText(const std::string& path, OpenFailure failure, const DeviceNode& node,
                            const std::string& systemText);

}  // namespace t720
