#include <gtest/gtest.h>

#include "link/CalCommands.h"
#include "link/Calibrator.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FakeUsbLibrary.h"

namespace t720 {
namespace {

using test::FakeClock;
using test::FakeSerialPort;
using test::FakeUsbLibrary;

class CalibratorTest : public ::testing::Test {
  protected:
    CalibratorTest() : port(clock), cal(s, port, lib, clock, [this] { ++repaints; }) {
        s.SignFlag = 0;
        s.ProzStep = 5;
        s.RangeIdx = 2;
        s.ChannelNo = 3;
        s.DeviceId = "T720-40211";
    }
    // A serial calibrator answering K1A and K1B with the given texts (no CR LF).
    void SerialAnswers(std::string k1a, std::string k1b) {
        s.LinkType = kLinkCom1;
        port.SetPortOpen(true);
        port.SetResponder([=](const std::string& line) {
            const std::string& a = line.rfind("K1A", 0) == 0 ? k1a : k1b;
            if (a.empty()) return std::vector<FakeSerialPort::Reply>{};
            return std::vector<FakeSerialPort::Reply>{{a + "\r\n", 0.002}};
        });
    }

    SharedState s;
    FakeClock clock;
    FakeSerialPort port;
    FakeUsbLibrary lib;
    Calibrator cal;
    int repaints = 0;
};

TEST_F(CalibratorTest, SerialSettingSendsK1AThenK1BOnlyAfterAnAnswerToK1A) {
    struct Case {
        const char* k1a;  // the calibrator's answers; "": none
        const char* k1b;
        bool k1bSent;
        int32_t verdict;
    };
    const Case cases[] = {
        {"0", "0", true, kAnswerAccepted},
        {"?", "0", false, kAnswerNone},
        {"5", "0", true, kAnswerCondition},  // the K1A rule last
        {"", "", false, kAnswerNone},        // silence, after the reader's time-out
    };
    const std::string k1a = K1AText(s) + "\n", k1b = K1BText(0, 1, 0) + "\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k1a);
        SerialAnswers(c.k1a, c.k1b);
        port.written.clear();
        repaints = 0;
        const double start = clock.Now();
        cal.SendSetting(1);
        EXPECT_EQ(port.written, c.k1bSent ? k1a + k1b : k1a);
        EXPECT_EQ(s.AnswerStatus, c.verdict);
        EXPECT_EQ(s.BeepOn, 1);
        EXPECT_EQ(repaints, 1);
        if (!*c.k1a) {
            EXPECT_GT(clock.Now() - start, 0.3);
        }
    }
    EXPECT_TRUE(lib.calls.empty());
}

TEST_F(CalibratorTest, UsbSettingPassesTheCountAndKeepsTheIdTheLibraryLeaves) {
    s.LinkType = kLinkUsb;
    lib.answer = [](const FakeUsbLibrary::Call& c) {
        return FakeUsbLibrary::Answer{0, "0", c.countIn + 1, "T720-40211/ROUTE"};
    };
    cal.SendSetting(1);
    ASSERT_EQ(lib.calls.size(), 2u);
    EXPECT_EQ(lib.calls[0].device, 0);
    EXPECT_EQ(lib.calls[0].command, K1AText(s));
    EXPECT_EQ(lib.calls[0].countIn, 1);  // starts with the beep argument
    EXPECT_EQ(lib.calls[0].id, "T720-40211");
    EXPECT_EQ(lib.calls[1].command, K1BText(0, 1, 0));
    EXPECT_EQ(lib.calls[1].countIn, 2);  // what the first call left
    EXPECT_EQ(lib.calls[1].id, "T720-40211/ROUTE");
    EXPECT_EQ(s.DeviceId, "T720-40211/ROUTE");
    EXPECT_EQ(s.AnswerStatus, kAnswerAccepted);
}

TEST_F(CalibratorTest, MissingLibraryFlagSendsNothingAndKeepsTheVerdict) {
    s.LinkType = kLinkUsb;
    s.UsbDllMissing = true;
    s.AnswerStatus = kAnswerCondition;
    cal.SendSetting(0);
    cal.DeviceClear();
    EXPECT_TRUE(lib.calls.empty());
    EXPECT_EQ(s.AnswerStatus, kAnswerCondition);
}

TEST_F(CalibratorTest, DeviceClearGoesOverTheSelectedLinkOnlyAndWaits) {
    SerialAnswers("0", "0");
    double start = clock.Now();
    cal.DeviceClear();
    EXPECT_EQ(port.written, "DCL\n");
    EXPECT_FALSE(port.PortOpen());
    EXPECT_GT(clock.Now() - start, 0.1);
    EXPECT_TRUE(lib.calls.empty());

    // On the USB link an open serial port is left alone.
    s.LinkType = kLinkUsb;
    port.SetPortOpen(true);
    port.written.clear();
    start = clock.Now();
    cal.DeviceClear();
    ASSERT_EQ(lib.calls.size(), 1u);
    EXPECT_EQ(lib.calls[0].device, 0);
    EXPECT_EQ(lib.calls[0].command, "DCL");
    EXPECT_GT(clock.Now() - start, 0.1);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_TRUE(port.written.empty());
}

TEST_F(CalibratorTest, RelayCleaningAlternatesPatternAndAllOffWithPauses) {
    s.LinkType = kLinkCom1;  // the sequence uses the library whatever the link
    s.RelayByte = {255, 1, 0, 0};
    lib.answer = [](const FakeUsbLibrary::Call&) { return FakeUsbLibrary::Answer{0, "0", 1}; };
    const double start = clock.Now();
    EXPECT_EQ(cal.CleanRelays().Note(), "");
    ASSERT_EQ(lib.calls.size(), 100u);
    for (size_t i = 0; i < lib.calls.size(); ++i) {
        EXPECT_EQ(lib.calls[i].device, 0);
        EXPECT_EQ(lib.calls[i].command, i % 2 == 0 ? K1TPatternText(s.RelayByte) : "K1T 0,0,0,0")
            << i;
        // Every pattern call starts from count 0; the all-off call passes on what
        // the library left (1 here).
        EXPECT_EQ(lib.calls[i].countIn, i % 2 == 0 ? 0 : 1) << i;
    }
    ASSERT_EQ(clock.sleeps.size(), 100u);
    for (double d : clock.sleeps) EXPECT_NEAR(d, 0.02, 1e-6);
    EXPECT_NEAR(clock.Now() - start, 2.0, 1e-6);

    // A slow line gets every call, one transient failure past 5 s included; one that
    // stopped answering (each call waiting a second for nothing) is given up after
    // failures in a row past 5 s, with the relays left off.
    for (const bool answers : {true, false}) {
        lib.calls.clear();
        lib.answer = [&, answers](const FakeUsbLibrary::Call&) {
            clock.Advance(answers ? 0.1 : 1.0);
            return FakeUsbLibrary::Answer{answers && lib.calls.size() != 60 ? 0 : -1, "", 0};
        };
        EXPECT_EQ(cal.CleanRelays().Note(),
                  answers ? "Relay cleaning: 1 of 100 commands failed"
                          : "Relay cleaning: 6 of 100 commands failed, 94 not sent: the "
                            "calibrator stopped answering");
        EXPECT_EQ(lib.calls.size(), answers ? 100u : 6u);
        EXPECT_EQ(lib.calls.back().command, "K1T 0,0,0,0");
    }
}

}  // namespace
}  // namespace t720
