#include "remote/SocketPlace.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace t720::remote {

SocketPlace DefaultSocketPlace() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    SocketPlace place;
    if (runtime != nullptr && runtime[0] == '/')
        place.dir = std::string(runtime) + "/t720";
    else
        place.dir = "/tmp/t720-" + std::to_string(getuid());
    place.socket = place.dir + "/control.sock";
    place.lock = place.dir + "/control.lock";
    return place;
}

std::string CheckPrivateDir(const std::string& dir, bool create) {
    if (create && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return dir + " cannot be made: " + std::strerror(errno);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) return dir + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return dir + " is not a directory";
    if (st.st_uid != getuid()) return dir + " belongs to another user";
    if ((st.st_mode & 077) != 0) return dir + " is open to other users (mode should be 0700)";
    return {};
}

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

}  // namespace t720::remote
