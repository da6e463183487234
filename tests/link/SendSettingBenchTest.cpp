// SendSetting, the program's real code, against the simulated calibrator both
// ways in: through the stand-in USB library loaded by the program's own loader,
// and over the bench's pseudo-terminal with the program's serial port.
#include <gtest/gtest.h>

#include "link/Calibrator.h"
#include "link/QtSerialPort.h"
#include "tests/support/BenchRig.h"

namespace t720 {
namespace {

using sim::CalibratorModel;

class SendSettingBench : public ::testing::Test, protected test::BenchRig {
  protected:
    SendSettingBench() {
        StartBench({.calibratorLink = calibratorLink, .usbSocket = usbSocket});
        s.ProzStep = 5;
        s.RangeIdx = 2;
        s.ChannelNo = 3;
        s.ReadyOn = 1;
    }
    // The calibrator's output after K1A 0, 5, 2, 3 and K1B with ready and `beep`.
    static CalibratorModel::OutputState Expected(bool beep) {
        return {.step = 5, .range = 2, .channel = 3, .ready = true, .beep = beep};
    }

    SharedState s;
    QtSerialPort port{[this](int) { return calibratorLink; }};
    std::unique_ptr<UsbCalLibrary> library = test::LoadStandin();
    Calibrator cal{s, port, *library, RealClock()};
};

TEST_F(SendSettingBench, ThroughTheStandinLibrary) {
    s.LinkType = kLinkUsb;
    s.DeviceId = "T720-40211";
    ASSERT_TRUE(cal.InitialiseLibrary());
    cal.SendSetting(1);
    EXPECT_EQ(s.AnswerStatus, kAnswerAccepted);
    EXPECT_EQ(s.DeviceId, "T720-40211");
    EXPECT_EQ(CalibratorRecord(),
              (std::vector<std::string>{"K1A 0, 5, 2, 3", "K1B 1,1000,100, 0"}));
    EXPECT_EQ(CalibratorState(), Expected(true));
}

TEST_F(SendSettingBench, OverThePseudoTerminal) {
    s.LinkType = kLinkCom1;
    port.SetCommPort(1);
    port.SetSettings("9600,E,8,1");
    port.SetPortOpen(true);
    ASSERT_TRUE(port.PortOpen());
    cal.SendSetting(0);
    EXPECT_EQ(s.AnswerStatus, kAnswerAccepted);
    EXPECT_EQ(CalibratorRecord(), (std::vector<std::string>{"K1A 0, 5, 2, 3", "K1B 1,0,0, 0"}));
    EXPECT_EQ(CalibratorState(), Expected(false));
}

}  // namespace
}  // namespace t720
