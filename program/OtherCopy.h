// One running program per user drives the calibrator. Two copies on the USB link
// would both send their own setting on every pass, so the calibrator's output
// would flip between them some 30 times a second; on a serial link the second
// copy would only find its port in use. A second copy therefore asks first.
#pragma once

#include <string>

class QWidget;

namespace t720 {

// An exclusive lock on `dir`/instance.lock, held for the life of this object;
// the kernel lets go of it when the program ends, however it ends.
class InstanceLock {
  public:
    explicit InstanceLock(const std::string& dir);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Another program holds the lock. False also when the lock file cannot be
    // made at all: then nobody can tell, and the program must still start.
    bool OtherCopyRunning() const { return otherCopy_; }

  private:
    int fd_ = -1;
    bool otherCopy_ = false;
};

// Asks the operator whether to start although another copy runs; No is the
// default answer. True to go on.
bool StartBesideOtherCopy(QWidget* parent = nullptr);

}  // namespace t720
