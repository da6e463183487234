#include "link/PortProblem.h"

#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace t720 {

namespace {

bool ProcessInGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

}  // namespace

DeviceNode InspectDeviceNode(const std::string& path) {
    DeviceNode node;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return node;
    node.exists = true;
    char real[PATH_MAX];
    if (realpath(path.c_str(), real) && path != real) node.device = real;

    const passwd* owner = getpwuid(st.st_uid);
    node.owner = owner ? owner->pw_name : std::to_string(st.st_uid);
    const group* grp = getgrgid(st.st_gid);
    node.group = grp ? grp->gr_name : std::to_string(st.st_gid);
    std::vector<std::string> members;
    if (grp)
        for (char** m = grp->gr_mem; *m; ++m) members.emplace_back(*m);

    const mode_t rw = S_IRGRP | S_IWGRP;
    node.groupMayUse = (st.st_mode & rw) == rw;
    const uid_t me = geteuid();
    if (me == 0) {
        node.weMayUse = true;
    } else if (me == st.st_uid) {
        node.weMayUse = (st.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
    } else if (ProcessInGroup(st.st_gid)) {
        node.weMayUse = node.groupMayUse;
    } else {
        node.weMayUse = (st.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
    }
    // Membership written to the group file takes effect only at the next login.
    if (const passwd* user = getpwuid(me))
        node.memberOfGroup = user->pw_gid == st.st_gid || std::find(members.begin(), members.end(),
                                                                    user->pw_name) != members.end();
    return node;
}

std::string DeviceNodeKey(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return path + " -";
    return path + ' ' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ' ' +
           std::to_string(st.st_uid) + ':' + std::to_string(st.st_gid) + ' ' +
           std::to_string(st.st_mode);
}

std::string OpenProblemText(const std::string& path, OpenFailure failure, const DeviceNode& node,
                            const std::string& systemText) {
    if (failure == OpenFailure::NotFound || !node.exists)
        return "no such device " + path +
               "; plug it in, or choose its port under Ports… (right-click the main window)";
    const std::string name = node.device.empty() ? path : path + " (" + node.device + ")";
    if (failure == OpenFailure::Denied && !node.weMayUse) {
        if (!node.groupMayUse)
            return "no permission for " + name + ": only its owner " + node.owner +
                   " may use it; ask your administrator for access";
        const std::string& g = node.group;
        const std::string named = "no permission for " + path + " (" +
                                  (node.device.empty() ? "" : node.device + ", ") + "group " + g +
                                  "): ";
        if (node.memberOfGroup)
            return named + "your user was added to group " + g +
                   " after this login; log out and in again";
        return named + "add your user to group " + g +
               ", then log out and in again (sudo usermod -aG " + g + " $USER)";
    }
    // The mode lets us in, so the refusal is a lock or a busy device.
    if (failure == OpenFailure::Denied) return name + std::string(kInUseElsewhere);
    return name + ": " + systemText;
}

}  // namespace t720
