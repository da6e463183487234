#include <gtest/gtest.h>

#include "supervision/Supervisor.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FakeUsbLibrary.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

using test::FakeClock;
using test::FakeMainWindow;
using test::FakeSerialPort;
using test::FakeUsbLibrary;
using Answer = FakeUsbLibrary::Answer;
using Call = FakeUsbLibrary::Call;

class SupervisorTest : public ::testing::Test {
  protected:
    SupervisorTest() : port(clock), cal(s, port, lib, clock), win(s), sup(s, cal, win) {
        s.RangeIdx = 1;
        s.RangeTab = {0, 2, 5, 10, 20, 100, 1000};
    }

    void Pass() { test::RunOnePass(sup, s); }
    // A serial calibrator that answers every line "0".
    void SerialCalibrator() {
        port.SetResponder([](const std::string&) {
            return std::vector<FakeSerialPort::Reply>{{"0\r\n", 0.001}};
        });
    }

    SharedState s;
    FakeClock clock;
    FakeSerialPort port;
    FakeUsbLibrary lib;
    Calibrator cal;
    FakeMainWindow win;
    Supervisor sup;
};

TEST_F(SupervisorTest, RangeTablesByT720SVariantNumber) {
    const std::vector<std::pair<std::string, std::array<int32_t, 7>>> cases = {
        {"T720S09 V2.01", {0, 555, 1, 2, 5, 10, 1000}},
        {"T720S6", {0, 1, 50, 200, 500, 1000, 1000}},
        {"T720S 8 x", {0, 1, 2, 5, 10, 20, 1000}},
        {"T720S10", {0, 1, 2, 5, 10, 100, 1000}},
        {"T720Sx9", {0, 2, 5, 10, 20, 100, 1000}},
        {"T720S11", {0, 2, 5, 10, 20, 100, 1000}},
        {"T720", {0, 2, 5, 10, 20, 100, 1000}},
    };
    for (const auto& [ident, table] : cases) {
        s.RangeTab = {};
        lib.info.ident = ident;
        sup.OpenComPort(kLinkUsb, false);
        s.TickCountdown = 0;
        EXPECT_EQ(s.RangeTab, table) << ident;
    }
}

TEST_F(SupervisorTest, AStopRequestFreezesTheReport) {
    sup.OpenComPort(kLinkUsb, false);
    lib.answer = [](const Call&) { return Answer{0, "3", 1}; };
    Pass();
    ASSERT_TRUE(win.textremoVisible);
    s.StopRequest = true;  // status bar clicked while idle
    lib.answer = [](const Call&) { return Answer{0, "0", 1}; };
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "T720 bell !");
    lib.answer = [](const Call&) { return Answer{7, "0", 1}; };
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);  // no new search while frozen
    sup.CommandUSBbClick();                  // selecting a link ends the freeze
    EXPECT_FALSE(s.StopRequest);
}

TEST_F(SupervisorTest, APortThatCannotBeOpenedIsReportedAndRetried) {
    port.SetOpenable(false);
    sup.OpenComPort(kLinkCom1, false);
    EXPECT_EQ(win.messages, "Error accessing COM port");
    EXPECT_EQ(win.messagesColour, kRed);
    EXPECT_EQ(win.buttons[LinkButton::Com1], kYellow);
    port.SetOpenable(true);
    SerialCalibrator();
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
}

TEST_F(SupervisorTest, CountdownRunsAPassOnEveryTenthTickOrTheTickAfterARequest) {
    lib.infoStatus = -1;
    sup.OpenComPort(kLinkUsb, false);  // countdown 0: this tick runs a pass
    ASSERT_EQ(lib.infoPrefixes.size(), 1u);
    for (int i = 0; i < 9; ++i) sup.TimerTick();
    EXPECT_EQ(lib.infoPrefixes.size(), 1u);
    sup.TimerTick();
    EXPECT_EQ(lib.infoPrefixes.size(), 2u);
    sup.TimerTick();
    s.TickCountdown = 1;  // a handler's request
    sup.TimerTick();
    EXPECT_EQ(lib.infoPrefixes.size(), 3u);

    // A link selection's own tick counts like any other.
    s.TickCountdown = 5;
    sup.CommandUSBbClick();
    EXPECT_EQ(s.TickCountdown, 4);
    EXPECT_EQ(lib.infoPrefixes.size(), 3u);
    s.TickCountdown = 1;
    sup.CommandUSBbClick();
    EXPECT_EQ(lib.infoPrefixes.size(), 4u);
}

TEST_F(SupervisorTest, SelectingALinkClearsTheOldOne) {
    SerialCalibrator();
    sup.OpenComPort(kLinkCom1, false);
    ASSERT_TRUE(port.PortOpen());
    sup.CommandUSBbClick();
    EXPECT_EQ(port.lines.back(), "DCL");
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(win.buttons[LinkButton::Com1], kSysButtonFace);
    EXPECT_EQ(s.LinkState, kLinkSearching);
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);

    lib.calls.clear();
    sup.CommandCOM1Click();  // from USB: DCL goes through the library
    EXPECT_EQ(lib.Commands().front(), "DCL");
    EXPECT_EQ(s.LinkType, kLinkCom1);
    Pass();
    EXPECT_TRUE(port.PortOpen());
}

TEST_F(SupervisorTest, RightClicksWalkTheSecondPortThroughCom3ToCom9AndBack) {
    sup.OpenComPort(kLinkComX, false);
    EXPECT_EQ(win.com2Caption, "COM 2");
    std::vector<std::string> captions;
    std::vector<int> ports;
    for (int i = 0; i < 8; ++i) {
        s.TickCountdown = 0;
        sup.CommandCOM2RightPress();
        captions.push_back(win.com2Caption);
        ports.push_back(port.commPort);
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"COM 3", "COM 4", "COM 5", "COM 6", "COM 7",
                                                  "COM 8", "COM 9", "COM 2"}));
    EXPECT_EQ(ports, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 2}));
    EXPECT_EQ(s.ComIncr, 0);

    sup.CommandCOM1Click();
    sup.CommandCOM2RightPress();  // only while the second port is the link
    EXPECT_EQ(s.ComIncr, 0);
}

TEST_F(SupervisorTest, MissingLibraryStopsEverySearchUntilASerialLinkIsChosen) {
    lib.missing = true;
    sup.OpenComPort(kLinkUsb, false);
    EXPECT_TRUE(s.UsbDllMissing);
    EXPECT_EQ(s.LinkType, kLinkUsb);
    EXPECT_EQ(win.statusPanel1, "USB Datenverkehr");  // no tick was run
    Pass();
    EXPECT_EQ(win.messages, "Error: ZORUSBCAL.DLL not found !\r\nno operation possible");
    EXPECT_EQ(win.messagesColour, kRed);

    SerialCalibrator();
    sup.CommandCOM1Click();
    EXPECT_FALSE(s.UsbDllMissing);
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
}

// The run's pacing is tested with the real results window (tests/linearity).
TEST_F(SupervisorTest, ARunRequestWhileSearchingIsDroppedByTheConnection) {
    lib.infoStatus = -1;
    sup.OpenComPort(kLinkUsb, false);
    s.ScanRequest = true;
    lib.infoStatus = 0;
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);  // no run
    EXPECT_FALSE(s.ScanRequest);
}

}  // namespace
}  // namespace t720
