// The stable path under which the bench offers a device: a symbolic link to the
// pseudo-terminal of the moment, like /dev/serial/by-id/... for a real adapter.
#pragma once

#include <string>

namespace t720::sim {

// Points the symbolic link `link` at `target`, creating missing parent directories.
// An existing symbolic link (a stale one from an earlier run) is replaced in one
// step, so an opener never finds the path missing. Throws std::filesystem_error,
// and refuses to replace anything at `link` that is not a symbolic link.
void PointLink(const std::string& link, const std::string& target);

// Removes `link` if it still is a symbolic link to `target`; a link that someone
// else has pointed elsewhere meanwhile is left alone.
void RemoveLink(const std::string& link, const std::string& target);

}  // namespace t720::sim
