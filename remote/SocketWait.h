// Waiting for the program's control socket: `t720-ctl wait-connected` may be
// started together with the program, before the program has made its socket, or
// while a socket left behind by an earlier program is still lying there.
#pragma once

#include <chrono>
#include <string>

#include "remote/SocketPlace.h"

namespace t720::remote {

// Blocks until the socket of `place` takes a connection, or until `deadline`.
// "" once it does; otherwise why not (at once when the place can never serve,
// e.g. a directory of another user). Waits in the kernel: woken by changes in the
// socket's directory (or, while that is missing, in the one above it), and looks
// again at least every 100 ms for a socket that is there but not yet listening.
std::string WaitForSocket(const SocketPlace& place, std::chrono::steady_clock::time_point deadline);

}  // namespace t720::remote
