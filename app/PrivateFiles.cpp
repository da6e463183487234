#include "app/PrivateFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace t720 {

std::filesystem::path HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
}

std::filesystem::path StateDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return std::filesystem::path(state) / "ZORTorT720";
    // Never a folder of /tmp, which anybody could have made first.
    const std::filesystem::path home = HomeDirectory();
    return home.empty() ? home : home / ".local" / "state" / "ZORTorT720";
}

std::string MakeFolders(const std::filesystem::path& dir, mode_t mode) {
    if (dir.empty()) return "no folder";
    // Top down, each missing one made by us with `mode`: never the 0777 that
    // create_directories asks for.
    std::filesystem::path made;
    for (const auto& part : dir) {
        made /= part;
        if (mkdir(made.c_str(), mode) != 0 && errno != EEXIST)
            return made.string() + " cannot be made: " + std::strerror(errno);
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) return dir.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return dir.string() + " is not a folder";
    return {};
}

int OpenPrivateFolder(const std::filesystem::path& dir, std::string& why) {
    if (dir.empty()) {
        why = "there is no home folder to keep it in";
        return -1;
    }
    if (why = MakeFolders(dir, 0700); !why.empty()) return -1;
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        why = dir.string() + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return -1;
    }
    if (st.st_uid != getuid()) {
        why = dir.string() + " belongs to another user";
    } else if ((st.st_mode & 022) != 0 && fchmod(fd, 0700) != 0) {
        why = dir.string() + " is open to other users and cannot be closed to them";
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

int OpenPrivateFile(int dirFd, const char* name, int flags, std::string& why) {
    const int fd = openat(dirFd, name, flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        why = std::string(name) + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != getuid()) {
        why = std::string(name) + " is not a file of this user";
    } else if ((st.st_mode & 077) != 0 && fchmod(fd, 0600) != 0) {
        why = std::string(name) + " is open to other users and cannot be closed to them";
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

bool KeepPrivate(const QString& path) {
    struct stat st {};
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    if (lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
        (st.st_mode & 022) != 0)
        chmod(folder.constData(), 0700);
    const QByteArray name = QFile::encodeName(path);
    if (stat(name.constData(), &st) != 0) return false;
    return (st.st_mode & 077) == 0 || chmod(name.constData(), 0600) == 0;
}

bool CopyPrivately(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) return false;
    const QByteArray target = QFile::encodeName(to);
    const int fd =
        open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    char buffer[65536];
    for (qint64 n; ok && (n = source.read(buffer, sizeof buffer)) != 0;) {
        ok = n > 0;
        for (qint64 done = 0; ok && done < n;) {
            const ssize_t w = write(fd, buffer + done, static_cast<size_t>(n - done));
            ok = w > 0 || (w < 0 && errno == EINTR);
            if (w > 0) done += w;
        }
    }
    ok = close(fd) == 0 && ok;
    if (!ok) unlink(target.constData());
    return ok;
}

bool MakeShareableFolder(const QString& dir) {
    return MakeFolders(QFile::encodeName(dir).toStdString(), 0755).empty();
}

bool KeepShareable(QFileDevice& file) {
    return file.setPermissions(file.permissions() &
                               ~(QFileDevice::WriteGroup | QFileDevice::WriteOther));
}

}  // namespace t720
