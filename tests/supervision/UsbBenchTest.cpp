// Whole supervision passes on the USB link against the simulated calibrator: the
// program's loader loads the stand-in library from the build, which reaches the
// bench over its socket. Real Supervisor, real Calibrator, the window faked.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QTemporaryDir>

#include "link/QtSerialPort.h"
#include "sim/BenchServer.h"
#include "supervision/Supervisor.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

using sim::BenchOptions;
using sim::BenchServer;
using sim::CalibratorModel;
using sim::UsbBus;
using sim::UsbFaults;

const std::string kStandin = std::string(T720_BUILD_BIN_DIR) + "/libzorusbcal.so";

class UsbBenchTest : public ::testing::Test {
  protected:
    UsbBenchTest() {
        setenv("T720_BENCH_SOCKET", socket.c_str(), 1);
        s.RangeIdx = 1;
        s.RangeTab = {0, 2, 5, 10, 20, 100, 1000};
    }
    ~UsbBenchTest() override {
        if (bench) bench->Stop();
        unsetenv("T720_BENCH_SOCKET");
    }
    // A bench on the test's socket path; a running one is stopped first.
    void StartBench(CalibratorModel::Identity identity = {}, UsbFaults faults = {}) {
        if (bench) bench->Stop();
        bench.reset();
        bench = std::make_unique<BenchServer>(
            BenchOptions{.identity = identity, .usbSocket = socket, .usbFaults = faults});
        bench->Start();
    }
    std::vector<std::string> Received() {
        return bench->WithCalibrator([](CalibratorModel& m) {
            return std::vector<std::string>(m.received().begin(), m.received().end());
        });
    }
    size_t Searches() {
        return bench->WithUsb([](const UsbBus& u) { return u.infoRequests().size(); });
    }
    void SetCalibratorFaults(CalibratorModel::Faults faults) {
        bench->WithCalibrator([&](CalibratorModel& m) {
            m.SetFaults(faults);
            return 0;
        });
    }

    void Pass() { test::RunOnePass(sup, s); }

    QTemporaryDir dir;
    const std::string socket = dir.filePath("usb.sock").toStdString();
    SharedState s;
    QtSerialPort port{[](int) { return std::string("/nonexistent"); }};
    std::unique_ptr<UsbCalLibrary> library = MakeLoadedUsbCalLibrary({kStandin, ""});
    Calibrator cal{s, port, *library, RealClock()};
    test::FakeMainWindow win{s};
    Supervisor sup{s, cal, win};
    std::unique_ptr<BenchServer> bench;
};

TEST_F(UsbBenchTest, FindsConnectsProbesAndPollsInOnePass) {
    StartBench();
    s.DevArg = "T720";
    s.IdArg = "T7";
    s.ProzStep = 5;
    sup.OpenComPort(kLinkUsb, false);

    EXPECT_FALSE(s.UsbDllMissing);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(win.messages, "Connected to ZOR USB device\r\nSNo: T720-40211     ID: T720S09 V2.01");
    EXPECT_EQ(win.messagesColour, kBlack);
    EXPECT_EQ(win.buttons[LinkButton::Usb], kGreenPure);
    EXPECT_EQ(s.DeviceId, "T720-40211");
    // The switch values seeded the search.
    EXPECT_EQ(bench->WithUsb([](const UsbBus& u) { return u.infoRequests(); }),
              (std::deque<UsbBus::InfoRequest>{{"T720", "T7"}}));
    // The probe with the neutral sign and range index 6, then the poll.
    EXPECT_EQ(Received(), (std::vector<std::string>{"K1A 128, 5, 6, 0", "K1B 0,0,0, 0",
                                                    "K1A 0, 5, 1, 0", "K1B 0,0,0, 0"}));
    EXPECT_EQ(s.SetupPhase, 2);
    EXPECT_FALSE(win.textremoVisible);

    s.ProzStep = 7;
    Pass();
    EXPECT_EQ(Received().back(), "K1B 0,0,0, 0");
    EXPECT_EQ(Received()[Received().size() - 2], "K1A 0, 7, 1, 0");
    EXPECT_EQ(bench->WithCalibrator([](CalibratorModel& m) { return m.state().step; }), 7);
    EXPECT_EQ(Searches(), 1u);  // connected: no further search
}

TEST_F(UsbBenchTest, TheVariantsAsTheBusReportsThem) {
    struct Case {
        const char* what;
        CalibratorModel::Identity identity;
        UsbFaults faults;
        std::string message;
        std::array<int32_t, 7> ranges;
        int setupPhase;
        bool sixteenChannels;
        bool halfBridge;
    };
    const std::array<int32_t, 7> kStandard = {0, 2, 5, 10, 20, 100, 1000};
    const Case cases[] = {
        {"T720S09 table",
         {"T720-40211", "T720S09 V2.01", 6, 0},
         {},
         "Connected to ZOR USB device\r\nSNo: T720-40211     ID: T720S09 V2.01",
         {0, 555, 1, 2, 5, 10, 1000},
         2,
         false,
         false},
        {"five ranges",
         {"T720-5", "T720S10 V1", 5, 0},
         {},
         "Connected to ZOR USB device\r\nSNo: T720-5     ID: T720S10 V1",
         {0, 1, 2, 5, 10, 100, 1000},
         1,
         false,
         false},
        {"QV310",
         {"T720-16", "QV310 V3", 6, 0},
         {},
         "Connected to ZOR USB device\r\nSNo: T720-16     ID: QV310 V3",
         kStandard,
         2,
         true,
         false},
        {"half bridge",
         {"T720H-12", "T720 V1", 6, 0},
         {},
         "Connected to ZOR USB device\r\nSNo: T720H-12     ID: T720 V1",
         kStandard,
         2,
         false,
         true},
        {"CP route",
         {"T720H-7", "T720S09 V2", 6, 0},
         {.cpRoute = true},
         "Connected via VLM + CP, USB device\r\nSNo: CPT720H-7",
         {0, 555, 1, 2, 5, 10, 1000},
         2,
         false,
         true},
        // "(null)" is no identification: shown empty, and no variant table.
        {"(null) identification",
         {"T720-1", "T720S09 V2.01", 6, 0},
         {.nullIdent = true},
         "Connected to ZOR USB device\r\nSNo: T720-1     ID: ",
         kStandard,
         2,
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartBench(c.identity, c.faults);
        win.hbrChecked = true;
        s.HalfBridge = 1;
        win.rangeScroll = 6;
        s.RangeIdx = 6;
        s.TickCountdown = 0;  // the selection's own tick runs the pass
        sup.OpenComPort(kLinkUsb, false);
        EXPECT_EQ(s.LinkState, kLinkConnected);
        EXPECT_EQ(win.messages, c.message);
        EXPECT_EQ(s.RangeTab, c.ranges);
        EXPECT_EQ(s.SetupPhase, c.setupPhase);
        EXPECT_EQ(win.rangeScrollMax, c.setupPhase == 2 ? 6 : 5);
        EXPECT_EQ(s.RangeIdx, c.setupPhase == 2 ? 6 : 5);
        EXPECT_EQ(win.channelsAbove8, c.sixteenChannels);
        EXPECT_EQ(win.hbrVisible, c.halfBridge);
        EXPECT_FALSE(win.hbrChecked);
        EXPECT_EQ(s.HalfBridge, 0);
        EXPECT_FALSE(win.textremoVisible) << win.textremo;
        EXPECT_EQ(Received().size(), 4u);
    }
}

TEST_F(UsbBenchTest, ReportsEachVerdictAndClearsItWithTheNextGoodAnswer) {
    StartBench();
    sup.OpenComPort(kLinkUsb, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);

    SetCalibratorFaults({.condition = 4});
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "T720 bell !");

    SetCalibratorFaults({.refuse = true});
    Pass();
    EXPECT_EQ(win.textremo, "No T720 connected to USB bus !");

    SetCalibratorFaults({});
    bench->SetUsbFaults({.count0 = true});
    Pass();
    EXPECT_EQ(win.textremo, "No answer from USB bus !");

    // A calibrator that stays silent: no answer and count 0 as well.
    bench->SetUsbFaults({});
    SetCalibratorFaults({.silent = true});
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "No answer from USB bus !");

    SetCalibratorFaults({});
    Pass();
    EXPECT_FALSE(win.textremoVisible);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(Searches(), 1u);  // none of these is a reason to search again
}

TEST_F(UsbBenchTest, ALibraryFailureSendsTheNextPassSearching) {
    StartBench();
    sup.OpenComPort(kLinkUsb, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);

    bench->SetUsbFaults({.fail = true});
    Pass();
    EXPECT_EQ(s.LinkState, kLinkSearching);
    EXPECT_FALSE(win.textremoVisible);
    EXPECT_EQ(Searches(), 1u);

    // The device is still on the bus: found, and failed again by the same pass.
    Pass();
    EXPECT_EQ(Searches(), 2u);
    EXPECT_EQ(s.LinkState, kLinkSearching);

    bench->SetUsbFaults({});
    bench->WithCalibrator([](CalibratorModel& m) {
        m.ClearRecord();
        return 0;
    });
    Pass();
    EXPECT_EQ(Searches(), 3u);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(Received().front(), "K1A 128, 0, 6, 0");  // set up anew
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(Searches(), 3u);
}

TEST_F(UsbBenchTest, ABenchThatGoesAwayIsSearchedForUntilItReturns) {
    StartBench();
    sup.OpenComPort(kLinkUsb, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);

    bench->Stop();
    Pass();  // the poll fails: search again
    EXPECT_EQ(s.LinkState, kLinkSearching);
    for (int i = 0; i < 3; ++i) {
        win.messages.clear();
        Pass();
        EXPECT_EQ(s.LinkState, kLinkSearching);
        EXPECT_EQ(win.messages, "\r\n\r\nno USB device found");
        EXPECT_EQ(win.messagesColour, kRed);
        EXPECT_EQ(win.buttons[LinkButton::Usb], kYellow);
    }

    StartBench({"T720-99", "T720S09 V2.01", 6, 0});
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(win.messages, "Connected to ZOR USB device\r\nSNo: T720-99     ID: T720S09 V2.01");
    EXPECT_EQ(win.buttons[LinkButton::Usb], kGreenPure);
    EXPECT_EQ(Received().size(), 4u);
}

}  // namespace
}  // namespace t720
