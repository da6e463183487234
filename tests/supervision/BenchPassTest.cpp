// Whole supervision passes against the simulated calibrator, both ways in: over
// the bench's pseudo-terminal with the program's serial port, and through the
// stand-in library that the program's loader loads from the build, which reaches
// the bench over its socket. Real Supervisor and Calibrator, the window faked.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/DialogueTrace.h"
#include "link/QtSerialPort.h"
#include "supervision/Supervisor.h"
#include "tests/support/BenchRig.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/Files.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

using sim::UsbBus;

class BenchPassTest : public ::testing::Test, protected test::BenchRig {
  protected:
    BenchPassTest() {
        s.RangeIdx = 1;
        s.RangeTab = kStandardRanges;
    }
    ~BenchPassTest() override { port.SetPortOpen(false); }

    size_t Searches() {
        return bench->WithUsb([](const UsbBus& u) { return u.infoRequests().size(); });
    }
    void Pass() { test::RunOnePass(sup, s); }

    SharedState s;
    QtSerialPort port{[this](int) { return calibratorLink; }};
    std::unique_ptr<UsbCalLibrary> library = test::LoadStandin();
    Calibrator cal{s, port, *library, RealClock()};
    test::FakeMainWindow win{s};
    Supervisor sup{s, cal, win};
};

TEST_F(BenchPassTest, EachUsbVariantIsFoundConnectedAndSetUpInOnePass) {
    struct Case {
        sim::CalibratorModel::Identity identity;
        sim::UsbFaults faults;
        const char* message;  // behind "Connected to ZOR USB device\r\n"
        std::array<int32_t, 7> ranges;
        bool sixRanges, sixteenChannels, halfBridge;
    };
    const std::array<int32_t, 7> k09 = {0, 555, 1, 2, 5, 10, 1000};
    const std::array<int32_t, 7> k10 = {0, 1, 2, 5, 10, 100, 1000};
    const std::array<int32_t, 7> kStandard = {0, 2, 5, 10, 20, 100, 1000};
    const Case cases[] = {
        {{}, {}, "SNo: T720-40211     ID: T720S09 V2.01", k09, 1, 0, 0},
        {{"T720-5", "T720S10 V1", 5}, {}, "SNo: T720-5     ID: T720S10 V1", k10, 0, 0, 0},
        {{"T720-16", "QV310 V3"}, {}, "SNo: T720-16     ID: QV310 V3", kStandard, 1, 1, 0},
        {{"T720H-CP12", "T720 V1"}, {}, "SNo: T720H-CP12     ID: T720 V1", kStandard, 1, 0, 1},
        // Through an amplifier's communication processor: no identification shown.
        {{"T720H-7", "T720S09 V2"}, {.cpRoute = true}, nullptr, k09, 1, 0, 1},
        // "(null)" is no identification: shown empty, and no variant table.
        {{"T720-1"}, {.nullIdent = true}, "SNo: T720-1     ID: ", kStandard, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity.serial);
        StartBench({.identity = c.identity, .usbSocket = usbSocket, .usbFaults = c.faults});
        win.hbrChecked = true;
        s.HalfBridge = 1;
        win.rangeScroll = 6;
        s.RangeIdx = 6;
        win.chanScroll = s.ChannelNo = 12;
        s.TickCountdown = 0;  // the selection's own tick runs the pass
        sup.OpenComPort(kLinkUsb, false);
        EXPECT_EQ(s.LinkState, kLinkConnected);
        EXPECT_EQ(win.messages, c.message
                                    ? "Connected to ZOR USB device\r\n" + std::string(c.message)
                                    : "Connected via VLM + CP, USB device\r\nSNo: CPT720H-7");
        EXPECT_EQ(win.buttons[LinkButton::Usb], kGreenPure);
        EXPECT_EQ(win.statusPanel1, "Data transfer: /");
        EXPECT_EQ(s.RangeTab, c.ranges);
        EXPECT_EQ(s.SetupPhase, c.sixRanges ? 2 : 1);
        EXPECT_EQ(win.rangeScrollMax, c.sixRanges ? 6 : 5);
        EXPECT_EQ(win.rangeScrollWidth, c.sixRanges ? 2755 : 2295);
        EXPECT_EQ(win.sixthRange, c.sixRanges);
        EXPECT_EQ(s.RangeIdx, c.sixRanges ? 6 : 5);
        EXPECT_EQ(win.channelsAbove8, c.sixteenChannels);
        // A channel above 8 goes back to 0, display included, unless 16 are there.
        EXPECT_EQ(s.ChannelNo, c.sixteenChannels ? 12 : 0);
        EXPECT_EQ(win.chanScroll, s.ChannelNo);
        EXPECT_EQ(win.hbrVisible, c.halfBridge);
        EXPECT_FALSE(win.hbrChecked);  // unchecked after every USB connection
        EXPECT_EQ(s.HalfBridge, 0);
        EXPECT_FALSE(win.textremoVisible) << win.textremo;
        EXPECT_EQ(CalibratorRecord().size(), 4u);  // probe and poll
    }
}

TEST_F(BenchPassTest, ReportsEachUsbVerdictUntilTheNextGoodAnswer) {
    StartBench({.usbSocket = usbSocket});
    sup.OpenComPort(kLinkUsb, false);
    ASSERT_EQ(s.LinkState, kLinkConnected);
    // The calibrator's and the library's faults, and the message they bring ("": none).
    const std::tuple<sim::CalibratorModel::Faults, sim::UsbFaults, std::string> cases[] = {
        {{.condition = 4}, {}, "T720 bell !"},
        {{.refuse = true}, {}, "No T720 connected to USB bus !"},
        {{}, {.count0 = true}, "No answer from USB bus !"},
        {{.silent = true}, {}, "No answer from USB bus !"},  // no answer: count 0 as well
        {{}, {}, ""},
    };
    for (const auto& [calibrator, usb, shown] : cases) {
        SetCalibratorFaults(calibrator);
        bench->SetUsbFaults(usb);
        Pass();
        EXPECT_EQ(win.textremoVisible ? win.textremo : "", shown);
    }
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(Searches(), 1u);  // none of these is a reason to search again
    const std::vector<std::string> record = CalibratorRecord();  // the same setting every pass
    EXPECT_EQ(std::vector(record.end() - 4, record.end() - 2),
              std::vector(record.end() - 2, record.end()));
}

TEST_F(BenchPassTest, TheTraceHoldsTheLibraryCallsOfTheFirstPass) {
    StartBench({.usbSocket = usbSocket});
    QTemporaryDir dir;
    ASSERT_TRUE(DialogueTrace::Start(dir.path().toStdString()));
    sup.OpenComPort(kLinkUsb, false);
    DialogueTrace::Stop();
    const QList<QByteArray> lines =
        test::ReadFile(dir.filePath(DialogueTrace::kFileName)).trimmed().split('\n');
    const std::vector<std::string> records = {
        "t720-usb # library " + test::kStandin,
        "t720-usb > \"\" device -1 id \"\"",
        "t720-usb < \"\" result 0 count 0",
        "t720-usb > GetUSBDeviceInfo serial \"\" ident \"\"",
        "t720-usb < GetUSBDeviceInfo status 0 serial \"T720-40211\" ident \"T720S09 V2.01\"",
        "t720-usb > \"K1A 128, 0, 6, 0\" device 0 id \"T720-40211\"",  // the range probe
        "t720-usb < \"0\" result 0 count 1"};
    // Behind the header; then the probe's K1B and the poll, two lines each.
    ASSERT_EQ(lines.size(), 1 + records.size() + 6);
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_TRUE(lines[i + 1].endsWith(records[i].c_str())) << lines[i + 1].data();
}

TEST_F(BenchPassTest, AFiveRangeSerialVariantIsSetUpPolledAndItsVerdictsReported) {
    StartBench({.calibratorLink = calibratorLink, .identity = {"T720H-1", "QV310 V1", 5, 0}});
    win.rangeScroll = 6;
    s.RangeIdx = 6;
    s.SignFlag = 1;
    sup.OpenComPort(kLinkCom1, false);
    EXPECT_EQ(win.messages, "Connection via serial line\r\nSNo: T720H-1     ID: QV310 V1");
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(win.buttons[LinkButton::Com1], kGreenPure);
    EXPECT_EQ(s.SetupPhase, 1);
    EXPECT_EQ(s.RangeIdx, 5);
    EXPECT_TRUE(win.channelsAbove8);
    EXPECT_FALSE(win.hbrVisible);  // no half bridge on a serial link
    // The refused probe sends no K1B; the poll has the sign back and range 5.
    EXPECT_EQ(CalibratorRecord(), (std::vector<std::string>{"SNR?0", "SNR?1", "K1A 128, 0, 6, 0",
                                                            "K1A 1, 0, 5, 0", "K1B 0,0,0, 0"}));
    EXPECT_FALSE(win.textremoVisible);

    SetCalibratorFaults({.condition = 4});
    Pass();
    EXPECT_EQ(win.textremo, "T720 bell !");
    SetCalibratorFaults({.silent = true});
    Pass();
    EXPECT_TRUE(win.textremoVisible);
    EXPECT_EQ(win.textremo, "No answer from T720");
    SetCalibratorFaults({});
    Pass();
    EXPECT_FALSE(win.textremoVisible);
}

}  // namespace
}  // namespace t720
