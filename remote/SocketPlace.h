// Where the control socket lives: in a directory that only this user may enter,
// $XDG_RUNTIME_DIR/t720/ or, where the session has no runtime directory,
// /tmp/t720-<uid>/. The program and t720-ctl find it the same way.
#pragma once

#include <sys/un.h>

#include <string>

namespace t720::remote {

struct SocketPlace {
    std::string dir;
    std::string socket;  // dir + "/control.sock"
    std::string lock;    // dir + "/control.lock": held by the program that serves
};

SocketPlace DefaultSocketPlace();

// Checks that `dir` is a directory (not a link to one) owned by this user with no
// access for group or others; with `create`, makes it (mode 0700) when it is
// missing. "" when all is well, else the reason.
std::string CheckPrivateDir(const std::string& dir, bool create);

// The socket address of `path`; false when the path does not fit one.
bool SocketAddress(const std::string& path, sockaddr_un& address);

}  // namespace t720::remote
