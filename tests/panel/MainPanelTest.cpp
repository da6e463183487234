#include <gtest/gtest.h>

#include "tests/support/PanelRig.h"
#include "tests/support/Passes.h"
#include "tests/support/ScopedLocale.h"

namespace t720 {
namespace {

using test::FakeSerialPort;
using test::FakeUsbLibrary;
using Answer = FakeUsbLibrary::Answer;
using Call = FakeUsbLibrary::Call;

class MainPanelTest : public ::testing::Test, protected test::PanelRig {
  protected:
    void Pass() { test::RunOnePass(sup, s); }
};

TEST_F(MainPanelTest, StartsFromDefaultsWithMatchingDisplays) {
    Start();
    EXPECT_EQ(m().title, "ZOR Calibration System for T720, V1.18, 01/2015");
    EXPECT_EQ(s.LinkType, kLinkUsb);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(m().ChanLabel, "Channel  0");
    EXPECT_EQ(m().RangeLabel, "Range  0.5 mV/V");  // the default bench variant is T720S09
    EXPECT_EQ(m().rangeSelected, 0);
    EXPECT_EQ(m().ProzLabel.substr(0, 5), "+ 0 %");
    EXPECT_FALSE(m().Commandsp.visible);
    EXPECT_FALSE(m().RelRef.visible);
    // Initialisation call by the link selection and again at the end of start-up.
    int inits = 0;
    for (const auto& c : lib.calls) inits += c.device == -1;
    EXPECT_EQ(inits, 2);
    EXPECT_FALSE(s.UsbDllMissing);
}

TEST_F(MainPanelTest, StartsFromStoredValuesAndSwitches) {
    lib.info.ident = "T720S V1";  // standard table
    Start("[Properties]\nT720Range=2\nT720Chann=3\nT720Signe=1\nT720Proze=5\nConnection=1\n",
          "/Load /DEV=2 /ID=ABC");
    EXPECT_EQ(m().title, "ZOR Calibration System for T720, V1.18, 01/2015   Dev = 2   ID = ABC");
    EXPECT_EQ(m().ChanLabel, "Channel  3");
    EXPECT_EQ(m().channelSelected, 3);
    EXPECT_EQ(m().RangeLabel, "Range  5 mV/V");
    EXPECT_EQ(m().rangeSelected, 1);
    EXPECT_EQ(m().ProzLabel, "- 50 % = - 2.5 mV/V");
    EXPECT_TRUE(m().minusSelected);
    EXPECT_EQ(s.SignFlag, 1);
    EXPECT_TRUE(m().Commandsp.visible);
    EXPECT_EQ(m().Commandsp.caption, "Load high");
    EXPECT_EQ(s.LoadMode, 1);
    ASSERT_FALSE(lib.infoPrefixes.empty());
    EXPECT_EQ(lib.infoPrefixes[0], (std::pair<std::string, std::string>{"2", "ABC"}));
}

TEST_F(MainPanelTest, StoredChannelAndRangeAreCappedByWhatTheFirstPassFound) {
    // Nothing found in the first pass: channel 12 is shown and sent as 8.
    lib.infoStatus = -1;
    Start("[Properties]\nT720Chann=12\nT720Range=9\n");
    EXPECT_EQ(s.ChannelNo, 8);
    EXPECT_EQ(m().ChanLabel, "Channel  8");
    EXPECT_EQ(s.RangeIdx, 6);
    lib.infoStatus = 0;
    Pass();
    EXPECT_EQ(lib.calls.back().command, "K1B 0,0,0, 0");
    EXPECT_EQ(lib.calls[lib.calls.size() - 2].command, "K1A 0, 0, 6, 8");
}

TEST_F(MainPanelTest, AQv310FoundInTheFirstPassKeepsChannel12) {
    lib.info.ident = "QV310";
    Start("[Properties]\nT720Chann=12\n");
    EXPECT_EQ(s.ChannelNo, 12);
    EXPECT_EQ(m().ChanScroll.max, 15);
    EXPECT_TRUE(m().channelVisible[15]);
}

TEST_F(MainPanelTest, AFiveRangeCalibratorBringsRange6To5) {
    lib.answer = [](const Call& c) {
        return Answer{0, c.command.find(", 6,") != std::string::npos ? "?" : "0", 1};
    };
    Start("[Properties]\nT720Range=6\n");
    EXPECT_EQ(s.RangeIdx, 5);
    EXPECT_EQ(m().RangeScroll.max, 5);
    EXPECT_FALSE(m().rangeVisible[5]);
}

TEST(MainPanelSwitches, DecideTheSpecialButtons) {
    test::PanelRig spez;  // only the first switch of a chain counts
    spez.Start({}, "/ZOREinmessen /Load /Relais(511)");
    EXPECT_TRUE(spez.m().Commandsp.visible && spez.m().Commandsp.enabled);
    EXPECT_EQ(spez.m().Commandsp.caption, "Spez");
    EXPECT_EQ(spez.s.LoadMode, 0);
    EXPECT_FALSE(spez.m().RelRef.visible);

    test::PanelRig relay;
    relay.Start({}, "/Relais(511)");
    EXPECT_TRUE(relay.m().RelRef.visible && relay.m().RelRef.enabled);
    EXPECT_FALSE(relay.m().Commandsp.visible);
    EXPECT_EQ(relay.s.RelayByte, (std::array<int16_t, 4>{255, 1, 0, 0}));
}

TEST_F(MainPanelTest, SelectionsUpdateDisplaysAndAskForAPassOnlyWhenConnected) {
    Start();
    s.TickCountdown = 7;
    panel.ChannelClick(4);
    EXPECT_EQ(s.ChannelNo, 4);
    EXPECT_EQ(m().ChanLabel, "Channel  4");
    EXPECT_EQ(s.TickCountdown, 1);

    s.RangeTab = {0, 2, 5, 10, 20, 100, 1000};
    panel.RangeClick(1);
    panel.ProzeClick(5);
    EXPECT_EQ(m().RangeLabel, "Range  5 mV/V");
    EXPECT_EQ(m().ProzLabel, "+ 50 % =  2.5 mV/V");
    panel.MinusClick();
    EXPECT_EQ(m().ProzLabel, "- 50 % = - 2.5 mV/V");
    panel.PlusClick();
    panel.ProzeClick(0);
    EXPECT_EQ(m().ProzLabel, "+ 0 % =  0.0 mV/V");

    s.LinkState = kLinkSearching;
    s.TickCountdown = 7;
    panel.ChannelClick(2);
    panel.RangeClick(3);
    EXPECT_EQ(s.ChannelNo, 2);
    EXPECT_EQ(s.RangeIdx, 4);
    EXPECT_EQ(s.TickCountdown, 7);  // stored, sent once connected

    s.LinkState = kLinkConnected;
    panel.HBrClick(true);
    EXPECT_EQ(s.HalfBridge, 1);
    EXPECT_EQ(s.TickCountdown, 7);  // the half bridge waits for the next transmission
}

TEST_F(MainPanelTest, HalfMillivoltRangeShowsOneDecimalAndTwoForTheOutput) {
    lib.info.ident = "T720S09";
    Start();
    panel.RangeClick(0);
    panel.ProzeClick(10);
    EXPECT_EQ(m().RangeLabel, "Range  0.5 mV/V");
    EXPECT_EQ(m().ProzLabel, "+ 100 % =  0.50 mV/V");
    panel.RangeClick(5);
    EXPECT_EQ(m().RangeLabel, "Range  1000 mV/V");
    EXPECT_EQ(m().ProzLabel, "+ 100 % =  1000.00 mV/V");

    test::ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
    panel.RangeClick(0);
    EXPECT_EQ(m().RangeLabel, "Range  0,5 mV/V");
}

TEST_F(MainPanelTest, BeepPressSendsThenRunsAFullPassAndReleaseSendsBeepOff) {
    Start();
    lib.calls.clear();
    s.TickCountdown = 6;
    panel.Command6Down();
    EXPECT_EQ(m().Command6.back, kRed);
    EXPECT_EQ(lib.Commands(), (std::vector<std::string>{"K1A 0, 0, 1, 0", "K1B 0,1000,100, 0",
                                                        "K1A 0, 0, 1, 0", "K1B 0,1000,100, 0"}));
    panel.Command6Up();
    EXPECT_EQ(lib.Commands().back(), "K1B 0,0,0, 0");
    EXPECT_EQ(s.BeepOn, 0);
    EXPECT_EQ(m().Command6.back, kSys3DLight);

    // Not connected: the press sends once and the tick only counts down.
    s.LinkState = kLinkSearching;
    s.TickCountdown = 6;
    lib.calls.clear();
    panel.Command6Down();
    EXPECT_EQ(lib.calls.size(), 2u);
    EXPECT_EQ(s.TickCountdown, 5);
}

TEST_F(MainPanelTest, ReadyTogglesAndSendsWithTheBeepState) {
    Start();
    lib.calls.clear();
    panel.Command7Click();
    EXPECT_EQ(m().Command7.back, kYellow);
    panel.Command7Click();
    EXPECT_EQ(m().Command7.back, kSys3DLight);
    EXPECT_EQ(lib.Commands(), (std::vector<std::string>{"K1A 0, 0, 1, 0", "K1B 1,0,0, 0",
                                                        "K1A 0, 0, 1, 0", "K1B 0,0,0, 0"}));
    EXPECT_EQ(s.TickCountdown, 1);
}

TEST_F(MainPanelTest, LoadToggleCaptionsNameTheNextState) {
    Start({}, "/Load");
    lib.calls.clear();
    panel.CommandspClick();
    EXPECT_EQ(m().Commandsp.caption, "Load low");
    EXPECT_EQ(lib.Commands().back(), "K1B 0,0,0, 1");
    panel.CommandspClick();
    EXPECT_EQ(m().Commandsp.caption, "Load high");
    EXPECT_EQ(lib.Commands().back(), "K1B 0,0,0, 0");
    EXPECT_FALSE(s.ScanRequest);
}

TEST_F(MainPanelTest, SpezAsksForARunAndRightClickForARedisplayAfterAStoppedRun) {
    Start({}, "/ZOREinmessen");
    lib.calls.clear();
    panel.CommandspClick();
    EXPECT_TRUE(s.ScanRequest);
    EXPECT_TRUE(lib.calls.empty());

    panel.CommandspDown(MouseButton::Right);
    EXPECT_EQ(s.LinkState, kLinkConnected);  // no run has ended yet
    s.ScanEnded = true;
    panel.CommandspDown(MouseButton::Left);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    panel.CommandspDown(MouseButton::Right);
    EXPECT_EQ(s.LinkState, kLinkRedisplay);
}

TEST_F(MainPanelTest, RelayCleaningShowsItsColourAndEndsNormalEvenWhenEveryCallFails) {
    Start({}, "/Relais(511)");
    std::vector<Colour> seen;
    panel.SetRepaint([&] { seen.push_back(m().RelRef.back); });
    lib.missing = true;
    panel.RelRefClick();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), kYellow);
    EXPECT_EQ(m().RelRef.back, kSys3DLight);
    EXPECT_EQ(m().statusNote, "Relay cleaning: 100 of 100 commands failed");
    lib.missing = false;
    lib.calls.clear();
    panel.RelRefClick();
    EXPECT_EQ(lib.calls.size(), 100u);
    EXPECT_EQ(m().statusNote, "");
}

TEST_F(MainPanelTest, ShutdownClearsTheDeviceBeforeSavingTheValues) {
    port.SetResponder([](const std::string& line) {
        return std::vector<FakeSerialPort::Reply>{
            {line.rfind("SNR", 0) == 0 ? "\"T720\"\r\n" : "0\r\n", 0}};
    });
    Start("[Properties]\nConnection=2\nT720Proze=3\n");
    ASSERT_TRUE(port.PortOpen());
    panel.ChannelClick(5);
    port.SetResponder([&](const std::string& line) {
        if (line == "DCL") {
            // The values are still the old ones when the device clear goes out.
            QSettings before(IniPath(), QSettings::IniFormat);
            EXPECT_EQ(before.value("Properties/T720Chann").toString(), "");
        }
        return std::vector<FakeSerialPort::Reply>{};
    });
    EXPECT_TRUE(panel.Shutdown(*settings));
    EXPECT_EQ(port.lines.back(), "DCL");
    EXPECT_FALSE(port.PortOpen());
    QSettings after(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(after.value("Properties/T720Chann").toString(), "5");
    EXPECT_EQ(after.value("Properties/Connection").toString(), "2");
    EXPECT_EQ(after.value("Properties/T720Proze").toString(), "3");
}

}  // namespace
}  // namespace t720
