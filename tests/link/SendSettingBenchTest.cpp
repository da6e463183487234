// SendSetting, the program's real code, against the simulated calibrator both
// ways in: through the stand-in USB library loaded by the program's own loader,
// and over the bench's pseudo-terminal with the program's serial port.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QTemporaryDir>

#include "link/Calibrator.h"
#include "link/QtSerialPort.h"
#include "sim/BenchServer.h"

namespace t720 {
namespace {

using sim::BenchOptions;
using sim::BenchServer;
using sim::CalibratorModel;

const std::string kStandin = std::string(T720_BUILD_BIN_DIR) + "/libzorusbcal.so";

class SendSettingBench : public ::testing::Test {
  protected:
    SendSettingBench() {
        setenv("T720_BENCH_SOCKET", socket.c_str(), 1);
        bench.Start();
        s.ProzStep = 5;
        s.RangeIdx = 2;
        s.ChannelNo = 3;
        s.ReadyOn = 1;
    }
    ~SendSettingBench() override {
        port.SetPortOpen(false);
        bench.Stop();
        unsetenv("T720_BENCH_SOCKET");
    }
    CalibratorModel::OutputState State() {
        return bench.WithCalibrator([](const CalibratorModel& m) { return m.state(); });
    }
    std::vector<std::string> Received() {
        return bench.WithCalibrator([](const CalibratorModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }

    QTemporaryDir dir;
    const std::string link = dir.filePath("cal").toStdString();
    const std::string socket = dir.filePath("usb.sock").toStdString();
    BenchServer bench{BenchOptions{.calibratorLink = link, .usbSocket = socket}};
    SharedState s;
    QtSerialPort port{[this](int) { return link; }};
    std::unique_ptr<UsbCalLibrary> library = MakeLoadedUsbCalLibrary({kStandin, ""});
    Calibrator cal{s, port, *library, RealClock()};
};

TEST_F(SendSettingBench, ThroughTheStandinLibrary) {
    s.LinkType = kLinkUsb;
    s.DeviceId = "T720-40211";
    ASSERT_TRUE(cal.InitialiseLibrary());
    cal.SendSetting(1);
    EXPECT_EQ(s.AnswerStatus, kAnswerAccepted);
    EXPECT_EQ(s.DeviceId, "T720-40211");
    EXPECT_EQ(Received(), (std::vector<std::string>{"K1A 0, 5, 2, 3", "K1B 1,1000,100, 0"}));
    const auto state = State();
    EXPECT_EQ(state.step, 5);
    EXPECT_EQ(state.range, 2);
    EXPECT_EQ(state.channel, 3);
    EXPECT_TRUE(state.ready);
    EXPECT_TRUE(state.beep);
}

TEST_F(SendSettingBench, OverThePseudoTerminal) {
    s.LinkType = kLinkCom1;
    port.SetCommPort(1);
    port.SetSettings("9600,E,8,1");
    port.SetPortOpen(true);
    ASSERT_TRUE(port.PortOpen());
    cal.SendSetting(0);
    EXPECT_EQ(s.AnswerStatus, kAnswerAccepted);
    EXPECT_EQ(Received(), (std::vector<std::string>{"K1A 0, 5, 2, 3", "K1B 1,0,0, 0"}));
    const auto state = State();
    EXPECT_EQ(state.step, 5);
    EXPECT_EQ(state.range, 2);
    EXPECT_EQ(state.channel, 3);
    EXPECT_TRUE(state.ready);
    EXPECT_FALSE(state.beep);
}

}  // namespace
}  // namespace t720
