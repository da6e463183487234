#include "sim/LinkPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace t720::sim {

namespace fs = std::filesystem;

void PointLink(const std::string& link, const std::string& target) {
    const fs::path path(link);
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    const fs::file_status existing = fs::symlink_status(path);
    if (fs::exists(existing) && !fs::is_symlink(existing))
        throw fs::filesystem_error("not a symbolic link, left alone", path,
                                   std::make_error_code(std::errc::file_exists));
    // A private name beside the link, then rename over it: atomic replacement.
    fs::path fresh = path;
    fresh += ".new-" + std::to_string(getpid());
    fs::remove(fresh);
    fs::create_symlink(target, fresh);
    try {
        fs::rename(fresh, path);
    } catch (const fs::filesystem_error&) {
        fs::remove(fresh);
        throw;
    }
}

bool LinkLeadsTo(const std::string& link, int fd) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec))) return false;
    struct stat linked {};
    struct stat held {};
    if (stat(link.c_str(), &linked) != 0 || fstat(fd, &held) != 0) return false;
    return linked.st_dev == held.st_dev && linked.st_ino == held.st_ino &&
           linked.st_rdev == held.st_rdev;
}

void RemoveLinkTo(const std::string& link, int fd) {
    // Between the look and the removal another bench could still rename its link in;
    // there is no call that removes a link only if it is unchanged.
    std::error_code ec;
    if (LinkLeadsTo(link, fd)) fs::remove(link, ec);
}

void RemoveLink(const std::string& link, const std::string& target) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec))) return;
    if (fs::read_symlink(link, ec) != fs::path(target) || ec) return;
    fs::remove(link, ec);
}

}  // namespace t720::sim
