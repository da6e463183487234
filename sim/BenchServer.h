// The simulated bench: the calibrator model served on a pseudo-terminal with a
// stable link path, so that the program reaches it exactly as it would reach a
// calibrator on a serial adapter.
//
// One event loop on one thread carries every endpoint. Tests run it on a thread of
// its own (Start/Stop) and drive the program code on theirs; t720-bench runs it on
// its main thread (Run). Everything public is safe to call from any thread: the
// model and the fault switches sit behind one mutex, and operations on the pty
// itself are handed to the loop thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sim/CalibratorModel.h"
#include "sim/EventLoop.h"
#include "sim/PtyEndpoint.h"
#include "sim/ReplyShaping.h"

namespace t720::sim {

struct BenchOptions {
    std::string calibratorLink;  // path of the symbolic link to the calibrator's pty
    CalibratorModel::Identity identity;
    CalibratorModel::Faults calibratorFaults;
    TransportFaults transportFaults;
};

class BenchServer {
  public:
    // Throws std::invalid_argument for an identity or faults the model refuses.
    explicit BenchServer(BenchOptions options);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // Creates the pty and the link now, so that they exist when this returns.
    // Start() and Run() call it. Throws std::system_error / std::filesystem_error.
    void Open();
    // Open(), then the loop on a thread of its own.
    void Start();
    // Ends the loop, waits for its thread, closes the pty and removes the link.
    void Stop();
    // Open(), then the loop on the calling thread until RequestStop(); then closes
    // the pty and removes the link.
    void Run();
    void RequestStop() { loop_.Quit(); }
    // For further descriptors on the same loop (t720-bench's signals).
    EventLoop& loop() { return loop_; }

    // Runs f(model) under the bench's lock and returns its result. Return copies,
    // never references into the model.
    template <class F>
    auto WithCalibrator(F&& f) {
        std::lock_guard lock(mutex_);
        return f(calibrator_);
    }

    // Replaces the transport faults; the hang-up count starts again from here.
    void SetTransportFaults(const TransportFaults& faults);
    // The switches as they stand (one-shot ones clear when they have fired).
    TransportFaults transportFaults() const;

    // Blocks until the calibrator has received `total` lines since its record was
    // last cleared, or until `timeout`; true if it has.
    bool WaitForReceived(uint64_t total, std::chrono::milliseconds timeout);

    // Closes the calibrator's pty, as a pulled cable: the program sees a hang-up.
    void HangUpCalibrator();
    // Brings the calibrator back on a new pty and points the link at it.
    void RestoreCalibrator();

    // Makes the bench take note of every close of the calibrator's pty so far, so
    // that answers the closer left unread are gone before anyone reopens it (as on
    // a real port). The bench does this by itself within microseconds; a test that
    // closes and at once reopens calls this in between to be certain.
    void SyncCalibratorOpeners();

    const std::string& calibratorLink() const { return link_; }
    // The pty behind the link (/dev/pts/N); "" while hung up.
    std::string CalibratorPtyName();

  private:
    Reply ServeCalibratorLine(std::string_view line);

    const std::string link_;
    EventLoop loop_;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable received_;
    CalibratorModel calibrator_;
    TransportFaults transport_;
    int linesBeforeHangUp_ = 0;

    PtyEndpoint calibratorPty_;  // loop thread only
};

}  // namespace t720::sim
