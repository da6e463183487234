#include "sim/BenchServer.h"

namespace t720::sim {

BenchServer::BenchServer(BenchOptions options)
    : link_(std::move(options.calibratorLink)),
      calibrator_(std::move(options.identity)),
      calibratorPty_(loop_, link_,
                     [this](std::string_view line) { return ServeCalibratorLine(line); }) {
    calibrator_.SetFaults(options.calibratorFaults);
    SetTransportFaults(options.transportFaults);
}

BenchServer::~BenchServer() {
    Stop();
}

void BenchServer::Open() {
    loop_.Call([this] { calibratorPty_.Open(); });
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
    calibratorPty_.Close();
}

void BenchServer::Run() {
    Open();
    loop_.Run();
    calibratorPty_.Close();
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

}  // namespace t720::sim
