#include "program/OtherCopy.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QMessageBox>
#include <cerrno>

#include "remote/SocketPlace.h"

namespace t720 {

InstanceLock::InstanceLock(const std::string& dir) {
    if (!remote::CheckPrivateDir(dir, true).empty()) return;
    fd_ = open((dir + "/instance.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) otherCopy_ = errno == EWOULDBLOCK;
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
