// The simulated bench: one calibrator model with two ways in — a pseudo-terminal
// behind a stable link path, as a calibrator on a serial adapter, and a local
// socket for the stand-in of the maker's USB library — and the DMM of the
// linearity measurement on a pseudo-terminal of its own, measuring the divider
// taps the calibrator has selected. Each way in is optional.
//
// One event loop on one thread carries every endpoint. Tests run it on a thread of
// its own (Start/Stop) and drive the program code on theirs; t720-bench runs it on
// its main thread (Run). Everything public is safe to call from any thread: the
// models and the fault switches sit behind one mutex, and operations on the
// endpoints themselves are handed to the loop thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sim/CalibratorModel.h"
#include "sim/DmmModel.h"
#include "sim/EventLoop.h"
#include "sim/PtyEndpoint.h"
#include "sim/ReplyShaping.h"
#include "sim/UsbBus.h"
#include "sim/UsbEndpoint.h"

namespace t720::sim {

struct BenchOptions {
    std::string calibratorLink;  // symbolic link to the calibrator's pty; "" for none
    CalibratorModel::Identity identity;
    CalibratorModel::Faults calibratorFaults;
    TransportFaults transportFaults;  // the calibrator's serial line only
    std::string usbSocket;            // socket of the stand-in USB library; "" for none
    UsbFaults usbFaults;
    std::string dmmLink;  // symbolic link to the DMM's pty; "" for none
    DmmFaults dmmFaults;
    uint32_t dividerSeed = DmmModel::kDefaultSeed;
};

// The per-user socket path of the USB endpoint when none is named (the stand-in
// library's default too): $XDG_RUNTIME_DIR/t720-bench/usb.sock, else
// /tmp/t720-bench-<uid>/usb.sock. "" when it would not fit a socket address.
std::string DefaultUsbSocketPath();
// Makes the folder of `socketPath` (mode 0700) if it is missing, and checks that it
// is this user's alone, so that no other user's bench can sit at the path. "" when
// it is, else why not.
std::string MakePrivateSocketFolder(const std::string& socketPath);

class BenchServer {
  public:
    // Throws std::invalid_argument for an identity or faults the model refuses.
    explicit BenchServer(BenchOptions options);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // Creates the ptys, links and the socket now, so that they exist when this
    // returns. Start() and Run() call it. Throws std::system_error /
    // std::filesystem_error.
    void Open();
    // Open(), then the loop on a thread of its own.
    void Start();
    // Ends the loop, waits for its thread, closes the ptys and the socket and
    // removes the links and the socket file.
    void Stop();
    // Open(), then the loop on the calling thread until RequestStop(); then closes
    // everything as Stop() does.
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

    // Runs f(dmm) under the bench's lock, like WithCalibrator.
    template <class F>
    auto WithDmm(F&& f) {
        std::lock_guard lock(mutex_);
        return f(dmm_);
    }
    // Runs f(usb) under the bench's lock: the USB path's faults and record.
    template <class F>
    auto WithUsb(F&& f) {
        std::lock_guard lock(mutex_);
        return f(usb_);
    }

    // Replaces the transport faults; the hang-up count starts again from here.
    void SetTransportFaults(const TransportFaults& faults);
    // The switches as they stand (one-shot ones clear when they have fired).
    TransportFaults transportFaults() const;

    void SetUsbFaults(const UsbFaults& faults);
    UsbFaults usbFaults() const;
    void SetDmmFaults(const DmmFaults& faults);
    DmmFaults dmmFaults() const;

    // Blocks until the calibrator has received `total` lines since its record was
    // last cleared, or until `timeout`; true if it has. Lines that came through the
    // USB library count as well.
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
    const std::string& usbSocket() const { return socket_; }
    const std::string& dmmLink() const { return dmmLink_; }
    // The pty behind the link (/dev/pts/N); "" while hung up or not served.
    std::string CalibratorPtyName();
    std::string DmmPtyName();

  private:
    Reply ServeCalibratorLine(std::string_view line);
    Reply ServeDmmLine(std::string_view line);
    usbwire::CalCommandReply ServeCalCommand(const usbwire::CalCommandRequest& request);
    usbwire::DeviceInfoReply ServeDeviceInfo(const usbwire::DeviceInfoRequest& request);
    void CloseEndpoints();

    const std::string link_;
    const std::string socket_;
    const std::string dmmLink_;
    EventLoop loop_;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable received_;
    CalibratorModel calibrator_;
    TransportFaults transport_;
    int linesBeforeHangUp_ = 0;
    UsbBus usb_;
    DmmModel dmm_;

    // Loop thread only.
    PtyEndpoint calibratorPty_;
    UsbEndpoint usbEndpoint_;
    PtyEndpoint dmmPty_;
};

}  // namespace t720::sim
