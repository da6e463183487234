// One running program per user drives the calibrator. Two copies on the USB link
// would both send their own setting on every pass, so the calibrator's output
// would flip between them some 30 times a second; on a serial link the second
// copy would only find its port in use. A second copy therefore asks first.
#pragma once

#include <filesystem>
#include <string>

#include "app/PrivateFiles.h"

class QWidget;

namespace t720 {

// An exclusive lock on `dir`/instance.lock, held for the life of this object;
// the kernel lets go of it when the program ends, however it ends. When `dir` is
// not this user's alone (another user made it first), the lock is taken in
// `fallback` instead, so that a second copy is still noticed.
class InstanceLock {
  public:
    explicit InstanceLock(const std::string& dir,
                          const std::filesystem::path& fallback = StateDirectory());
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Another program holds the lock. False also when the lock file cannot be
    // made at all: then nobody can tell, and the program must still start.
    bool OtherCopyRunning() const { return otherCopy_; }
    // Why another copy cannot be noticed ("" while the lock file is held or asked).
    const std::string& Problem() const { return problem_; }

  private:
    int fd_ = -1;
    bool otherCopy_ = false;
    std::string problem_;
};

// Asks the operator whether to start although another copy runs; No is the
// default answer. True to go on.
bool StartBesideOtherCopy(QWidget* parent = nullptr);

}  // namespace t720
