#include <gtest/gtest.h>

#include <cmath>

#include "link/CalCommands.h"
#include "link/NumberText.h"
#include "supervision/Identification.h"
#include "supervision/Supervisor.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FakeUsbLibrary.h"
#include "tests/support/Passes.h"

namespace t720 {
namespace {

using test::FakeClock;
using test::FakeMainWindow;
using test::FakeUsbLibrary;
using Answer = FakeUsbLibrary::Answer;
using Call = FakeUsbLibrary::Call;

class SupervisorTest : public ::testing::Test {
  protected:
    SupervisorTest() : port(clock), cal(s, port, lib, clock), win(s), sup(s, cal, win) {
        s.RangeIdx = 1;
        s.RangeTab = kStandardRanges;
    }

    // A serial link is up as soon as its port opens, whether the calibrator answers
    // or not; this one stays silent.
    void Pass() { test::RunOnePass(sup, s); }

    SharedState s;
    FakeClock clock;
    test::FakeSerialPort port;
    FakeUsbLibrary lib;
    Calibrator cal;
    FakeMainWindow win;
    Supervisor sup;
};

TEST_F(SupervisorTest, TheIndicatorMovesOnEveryPassAndALinkSelectionRestartsIt) {
    lib.infoStatus = -1;  // it moves while the search fails as well
    sup.OpenComPort(kLinkUsb, false);
    std::vector<std::string> shown{win.statusPanel1};
    for (int i = 0; i < 5; ++i) {
        Pass();
        shown.push_back(win.statusPanel1);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Data transfer: /", "Data transfer: --",
                                               "Data transfer: \\", "Data transfer: |",
                                               "Data transfer: /", "Data transfer: --"}));
    s.TickCountdown = 0;
    sup.CommandUSBbClick();
    EXPECT_EQ(win.statusPanel1, "Data transfer: /");
}

// A failed library call sends the USB link back to the search, which the next pass
// makes; while a status-bar click is pending the whole report is skipped instead.
TEST_F(SupervisorTest, ALibraryFailureSearchesAgainUnlessAStopIsPending) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop);
        lib.answer = [](const Call&) { return Answer{0, "3", 1}; };
        s.TickCountdown = 0;
        sup.OpenComPort(kLinkUsb, false);
        ASSERT_EQ(win.textremo, "T720 bell !");
        s.StopRequest = stop;
        lib.answer = [](const Call&) { return Answer{7, "0", 1}; };
        Pass();
        EXPECT_EQ(s.LinkState, stop ? kLinkConnected : kLinkSearching);
        EXPECT_EQ(win.textremoVisible, stop);  // frozen, or hidden by the report
        const size_t searches = lib.infoPrefixes.size();
        Pass();
        EXPECT_EQ(lib.infoPrefixes.size(), searches + (stop ? 0 : 1));
    }
    // Selecting a link ends the freeze at once; the search hides the message even
    // when it fails.
    lib.infoStatus = -1;
    s.TickCountdown = 5;
    sup.CommandUSBbClick();  // its own tick only counts down
    EXPECT_FALSE(s.StopRequest);
    Pass();
    EXPECT_FALSE(win.textremoVisible);
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

// The window's timer wakes only for the tick that runs a pass and counts the ticks
// it slept through first: the passes fall on the very ticks of a timer that wakes
// for each, a request's included.
TEST_F(SupervisorTest, ATimerThatSleepsThroughIdleTicksKeepsEveryPassOnItsTick) {
    int tick = 0;
    std::vector<int> passTicks;
    sup.SetPassObserver([&](bool) { passTicks.push_back(tick); });
    sup.OpenComPort(kLinkUsb, false);  // connects in the pass of its own tick
    ASSERT_EQ(s.LinkState, kLinkConnected);
    bool requested = false;
    while (true) {
        const int sleep = sup.TicksToNextPass();
        if (!requested && tick + sleep > 24) {  // a handler's request at tick 24
            tick = 24;
            requested = true;
            sup.RequestPass();
            continue;
        }
        if ((tick += sleep) > 40) break;
        sup.CountIdleTicks(sleep - 1);
        sup.TimerTick();
    }
    EXPECT_EQ(passTicks, (std::vector<int>{0, 10, 20, 25, 35}));
}

TEST_F(SupervisorTest, SelectingALinkClearsTheOldOne) {
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

    sup.CommandCOM1Click();
    EXPECT_FALSE(s.UsbDllMissing);
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);
}

// The run's pacing is tested with the real results window (tests/linearity).
TEST_F(SupervisorTest, AConnectionStartsWithoutABeepARunOrAStopAskedForWhileSearching) {
    lib.infoStatus = -1;
    sup.OpenComPort(kLinkUsb, false);
    s.ScanRequest = s.StopRequest = true;
    s.BeepOn = 1;
    lib.infoStatus = 0;
    Pass();
    EXPECT_EQ(s.LinkState, kLinkConnected);  // no run
    EXPECT_FALSE(s.ScanRequest);
    EXPECT_FALSE(s.StopRequest);
    EXPECT_EQ(lib.calls.back().command, K1BText(0, 0, 0));
}

TEST(Identification, SerialAnswersLoseQuotesAndTheirLineEnding) {
    EXPECT_EQ(CleanSerialAnswer("\"T720S09 V2,01\"\r\n"), "T720S09 V2,01");
    EXPECT_EQ(CleanSerialAnswer("\"12\"\r\n"), "12\r\n");  // four characters stay
    EXPECT_EQ(CleanSerialAnswer("ABCD"), "ABCD");
    EXPECT_EQ(CleanSerialAnswer("ABCDE"), "ABC");
    EXPECT_EQ(CleanSerialAnswer(""), "");
    EXPECT_EQ(CleanSerialAnswer("\"\"\"\"\"\""), "");
}

TEST(Identification, VariantFeatures) {
    EXPECT_TRUE(HasSixteenChannels("QV310 x"));
    EXPECT_FALSE(HasSixteenChannels(" QV310"));
    EXPECT_TRUE(OffersHalfBridge("SN T720H 1"));
    EXPECT_FALSE(OffersHalfBridge("T720h"));
}

TEST(Identification, RangeTablesByT720SVariantNumber) {
    using Ranges = std::optional<std::array<int32_t, 5>>;
    const std::pair<const char*, Ranges> cases[] = {
        {"T720S09 V2.01", {{555, 1, 2, 5, 10}}},
        {"T720S6", {{1, 50, 200, 500, 1000}}},
        {"T720S 8 x", {{1, 2, 5, 10, 20}}},
        {"T720S10", {{1, 2, 5, 10, 100}}},
        {"T720Sx9", {}},  // no leading number
        {"T720S11", {}},
        {"T720", {}},
    };
    for (const auto& [ident, ranges] : cases) EXPECT_EQ(VariantRanges(ident), ranges) << ident;
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(LeadingNumber("09 V2"), 9);
    EXPECT_EQ(LeadingNumber(" 1 0"), 10);  // blanks inside are skipped too
    EXPECT_EQ(LeadingNumber("x9"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("511)"), 511);
    EXPECT_EQ(LeadingNumber("-2.5e1x"), -25);
    EXPECT_EQ(LeadingNumber("2.5E"), 2.5);
    EXPECT_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_EQ(LeadingNumber("+"), 0);
    EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
}

}  // namespace
}  // namespace t720
