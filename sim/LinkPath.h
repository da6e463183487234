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

// True when `link` is a symbolic link that leads to the terminal open on `fd`: the
// same device node, not merely the same name. Only while `fd` holds the pty is its
// number ours alone; once closed, the kernel may hand it to the next opener, such as
// a bench started since on the same link path.
bool LinkLeadsTo(const std::string& link, int fd);

// Removes `link` if it still leads to the terminal open on `fd`; a link that someone
// else has pointed elsewhere meanwhile is left alone.
void RemoveLinkTo(const std::string& link, int fd);

// Removes `link` if it still is a symbolic link to `target`, by name: only for a
// target that leads nowhere, as a name in /dev/pts may be someone else's by now.
void RemoveLink(const std::string& link, const std::string& target);

}  // namespace t720::sim
