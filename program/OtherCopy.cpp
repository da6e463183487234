#include "program/OtherCopy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QMessageBox>
#include <cerrno>
#include <cstring>

#include "remote/SocketPlace.h"

namespace t720 {

InstanceLock::InstanceLock(const std::string& dir, const std::filesystem::path& fallback) {
    std::string why = remote::CheckPrivateDir(dir, true);
    if (why.empty()) {
        fd_ =
            open((dir + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) why = dir + "/instance.lock: " + std::strerror(errno);
    }
    if (fd_ < 0) {
        std::string fallbackWhy;
        if (const int folder = OpenPrivateFolder(fallback, fallbackWhy); folder >= 0) {
            fd_ = OpenPrivateFile(folder, "instance.lock", O_RDWR | O_CREAT, fallbackWhy);
            close(folder);
        }
        if (fd_ < 0) {
            problem_ = "A second running copy cannot be noticed: " + why + "; " + fallbackWhy;
            return;
        }
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) otherCopy_ = errno == EWOULDBLOCK;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

bool StartBesideOtherCopy(QWidget* parent) {
    return QMessageBox::warning(
               parent, QStringLiteral("T720"),
               QStringLiteral("Another T720 program is already running.\n\nOn the USB link both "
                              "would drive the calibrator, each overwriting the other's setting. "
                              "Start this one anyway?"),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace t720
