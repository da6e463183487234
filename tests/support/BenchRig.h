// The simulated bench on private paths for one test: the calibrator's link, the
// DMM's link and the USB socket, at which the stand-in USB library is pointed.
// For test programs that link the bench (t720_sim).
#pragma once

#include <stdlib.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "link/UsbCalLibrary.h"
#include "sim/BenchServer.h"
#include "sim/ChildProcess.h"

namespace t720::test {

// The stand-in of the maker's USB library, as the build places it.
inline const std::string kStandin = sim::BuiltProgram("libzorusbcal.so");

inline std::unique_ptr<UsbCalLibrary> LoadStandin() {
    return MakeLoadedUsbCalLibrary({kStandin, ""});
}

class BenchRig {
  public:
    BenchRig() { setenv("T720_BENCH_SOCKET", usbSocket.c_str(), 1); }
    ~BenchRig() {
        if (bench) bench->Stop();
        unsetenv("T720_BENCH_SOCKET");
    }

    // A bench with these options; a running one is stopped first.
    sim::BenchServer& StartBench(sim::BenchOptions options) {
        if (bench) bench->Stop();
        bench.reset();
        bench = std::make_unique<sim::BenchServer>(std::move(options));
        bench->Start();
        return *bench;
    }
    std::vector<std::string> CalibratorRecord() {
        return bench->WithCalibrator([](const sim::CalibratorModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }
    std::vector<std::string> DmmRecord() {
        return bench->WithDmm([](const sim::DmmModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }
    sim::CalibratorModel::OutputState CalibratorState() {
        return bench->WithCalibrator([](const sim::CalibratorModel& m) { return m.state(); });
    }
    void SetCalibratorFaults(sim::CalibratorModel::Faults faults) {
        bench->WithCalibrator([&](sim::CalibratorModel& m) {
            m.SetFaults(faults);
            return 0;
        });
    }

    QTemporaryDir dir;
    const std::string calibratorLink = dir.filePath("cal").toStdString();
    const std::string dmmLink = dir.filePath("dmm").toStdString();
    const std::string usbSocket = dir.filePath("usb.sock").toStdString();
    std::unique_ptr<sim::BenchServer> bench;
};

}  // namespace t720::test
