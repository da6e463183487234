#include "sim/BenchServer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace t720::sim {

std::string DefaultUsbSocketPath() {
    char path[sizeof(sockaddr_un{}.sun_path)];
    return usbwire::DefaultSocketPath(path, sizeof path) ? std::string(path) : std::string();
}

std::string MakePrivateSocketFolder(const std::string& socketPath) {
    const std::string dir = std::filesystem::path(socketPath).parent_path();
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return dir + " cannot be made: " + std::strerror(errno);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) return dir + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return dir + " is not a directory";
    if (st.st_uid != getuid()) return dir + " belongs to another user";
    if ((st.st_mode & 077) != 0) return dir + " is open to other users (mode should be 0700)";
    return {};
}

BenchServer::BenchServer(BenchOptions options)
    : link_(std::move(options.calibratorLink)),
      socket_(std::move(options.usbSocket)),
      dmmLink_(std::move(options.dmmLink)),
      calibrator_(std::move(options.identity)),
      dmm_(options.dividerSeed),
      calibratorPty_(loop_, link_,
                     [this](std::string_view line) { return ServeCalibratorLine(line); }),
      usbEndpoint_(loop_, socket_,
                   {[this](const usbwire::CalCommandRequest& r) { return ServeCalCommand(r); },
                    [this](const usbwire::DeviceInfoRequest& r) { return ServeDeviceInfo(r); }}),
      dmmPty_(loop_, dmmLink_, [this](std::string_view line) { return ServeDmmLine(line); }) {
    if (!dmmLink_.empty() && dmmLink_ == link_)
        throw std::invalid_argument("the calibrator and the DMM need links of their own");
    calibrator_.SetFaults(options.calibratorFaults);
    SetTransportFaults(options.transportFaults);
    usb_.SetFaults(options.usbFaults);
    SetDmmFaults(options.dmmFaults);
}

BenchServer::~BenchServer() {
    Stop();
}

void BenchServer::Open() {
    loop_.Call([this] {
        try {
            if (!link_.empty()) calibratorPty_.Open();
            if (!socket_.empty()) usbEndpoint_.Open();
            if (!dmmLink_.empty()) dmmPty_.Open();
        } catch (...) {
            // Nothing half-served: what did open is closed again.
            CloseEndpoints();
            throw;
        }
    });
}

void BenchServer::Start() {
    if (thread_.joinable()) return;
    Open();
    thread_ = loop_.RunOnNewThread();
}

void BenchServer::Stop() {
    if (thread_.joinable()) {
        loop_.Quit();
        thread_.join();
    }
    CloseEndpoints();
}

void BenchServer::Run() {
    Open();
    loop_.Run();
    CloseEndpoints();
}

void BenchServer::CloseEndpoints() {
    calibratorPty_.Close();
    usbEndpoint_.Close();
    dmmPty_.Close();
}

void BenchServer::SetTransportFaults(const TransportFaults& faults) {
    std::lock_guard lock(mutex_);
    transport_ = faults;
    linesBeforeHangUp_ = faults.hangUpAfterLines;
}

TransportFaults BenchServer::transportFaults() const {
    std::lock_guard lock(mutex_);
    return transport_;
}

void BenchServer::SetUsbFaults(const UsbFaults& faults) {
    std::lock_guard lock(mutex_);
    usb_.SetFaults(faults);
}

UsbFaults BenchServer::usbFaults() const {
    std::lock_guard lock(mutex_);
    return usb_.faults();
}

void BenchServer::SetDmmFaults(const DmmFaults& faults) {
    if (!(faults.delaySeconds >= 0.0 && faults.delaySeconds <= 3600.0))
        throw std::invalid_argument("the DMM's answer delay lies between 0 and 3600 s");
    std::lock_guard lock(mutex_);
    dmm_.SetFaults(faults);
}

DmmFaults BenchServer::dmmFaults() const {
    std::lock_guard lock(mutex_);
    return dmm_.faults();
}

bool BenchServer::WaitForReceived(uint64_t total, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return received_.wait_for(lock, timeout, [&] { return calibrator_.receivedTotal() >= total; });
}

void BenchServer::HangUpCalibrator() {
    loop_.Call([this] { calibratorPty_.HangUp(); });
}

void BenchServer::RestoreCalibrator() {
    loop_.Call([this] { calibratorPty_.Open(); });
}

void BenchServer::SyncCalibratorOpeners() {
    loop_.Call([this] { calibratorPty_.CatchUpOnOpeners(); });
}

std::string BenchServer::CalibratorPtyName() {
    std::string name;
    loop_.Call([&] { name = calibratorPty_.PtyName(); });
    return name;
}

std::string BenchServer::DmmPtyName() {
    std::string name;
    loop_.Call([&] { name = dmmPty_.PtyName(); });
    return name;
}

// Runs on the loop thread for every line that arrives on the calibrator's pty.
Reply BenchServer::ServeCalibratorLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    Reply reply;
    if (transport_.hangUpAfterLines > 0 && linesBeforeHangUp_-- == 0) {
        transport_.hangUpAfterLines = 0;
        reply.hangUp = true;
        return reply;
    }
    reply.answer = calibrator_.Handle(line);
    reply.faults = transport_;
    transport_.flood = false;
    received_.notify_all();
    return reply;
}

// Runs on the loop thread for every CalCommand of the stand-in library.
usbwire::CalCommandReply BenchServer::ServeCalCommand(const usbwire::CalCommandRequest& request) {
    std::lock_guard lock(mutex_);
    const usbwire::CalCommandReply reply = usb_.CalCommand(calibrator_, request);
    received_.notify_all();
    return reply;
}

usbwire::DeviceInfoReply BenchServer::ServeDeviceInfo(const usbwire::DeviceInfoRequest& request) {
    std::lock_guard lock(mutex_);
    return usb_.DeviceInfo(calibrator_, request);
}

// Runs on the loop thread for every line that arrives on the DMM's pty. The
// reading follows the taps the calibrator holds at this moment, whichever way
// the K1Y came in.
Reply BenchServer::ServeDmmLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    Reply reply;
    reply.answer = dmm_.Handle(line, calibrator_.state().taps);
    const double delay = dmm_.faults().delaySeconds;
    if (delay > 0.0) {
        reply.faults.late = true;
        reply.faults.lateSeconds = delay;
    }
    return reply;
}

}  // namespace t720::sim
