#include <gtest/gtest.h>

#include "link/CalCommands.h"
#include "tests/support/PanelRig.h"
#include "tests/support/ScopedLocale.h"

namespace t720 {
namespace {

using test::FakeSerialPort;
using test::FakeUsbLibrary;
using Answer = FakeUsbLibrary::Answer;
using Call = FakeUsbLibrary::Call;

class MainPanelTest : public ::testing::Test, protected test::PanelRig {};

TEST(PanelLabels, ChannelRangeAndPercentTexts) {
    EXPECT_EQ(ChanLabelText(4), "Channel  4");
    EXPECT_EQ(RangeLabelText(5), "Range  5 mV/V");
    EXPECT_EQ(RangeLabelText(1000), "Range  1000 mV/V");
    EXPECT_EQ(RangeLabelText(555), "Range  0.5 mV/V");
    EXPECT_EQ(ProzLabelText(false, 5, 5.0, false), "+ 50 % =  2.5 mV/V");
    EXPECT_EQ(ProzLabelText(true, 5, 5.0, false), "- 50 % = - 2.5 mV/V");
    EXPECT_EQ(ProzLabelText(false, 0, 2.0, false), "+ 0 % =  0.0 mV/V");
    EXPECT_EQ(ProzLabelText(false, 10, 0.5, true), "+ 100 % =  0.50 mV/V");
    test::ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(RangeLabelText(555), "Range  0,5 mV/V");
}

TEST_F(MainPanelTest, StartsFromDefaultsWithMatchingDisplays) {
    Start();
    EXPECT_EQ(s.LinkType, kLinkUsb);
    EXPECT_EQ(s.LinkState, kLinkConnected);
    EXPECT_EQ(m().ChanLabel, ChanLabelText(0));
    EXPECT_EQ(m().RangeLabel, RangeLabelText(555));  // the default bench variant is T720S09
    EXPECT_EQ(m().rangeSelected, 0);
    EXPECT_EQ(m().ProzLabel.substr(0, 5), "+ 0 %");  // as the layout's caption begins
    EXPECT_FALSE(m().Commandsp.visible);
    EXPECT_FALSE(m().RelRef.visible);
}

TEST_F(MainPanelTest, StartsFromStoredValuesAndSwitches) {
    lib.info.ident = "T720S V1";  // standard table
    Start("[Properties]\nT720Range=2\nT720Chann=3\nT720Signe=1\nT720Proze=5\nConnection=1\n",
          "/Load /DEV=2 /ID=ABC");
    EXPECT_EQ(m().title, "ZOR Calibration System for T720, V1.18, 01/2015   Dev = 2   ID = ABC");
    EXPECT_EQ(m().ChanLabel, ChanLabelText(3));
    EXPECT_EQ(m().channelSelected, 3);
    EXPECT_EQ(m().RangeLabel, RangeLabelText(5));
    EXPECT_EQ(m().rangeSelected, 1);
    EXPECT_EQ(m().ProzLabel, ProzLabelText(true, 5, 5.0, false));
    EXPECT_TRUE(m().minusSelected);
    EXPECT_EQ(s.SignFlag, 1);
    EXPECT_TRUE(m().Commandsp.visible);
    EXPECT_EQ(m().Commandsp.caption, "Load high");
    EXPECT_EQ(s.LoadMode, 1);
}

// What the first pass found decides how much of a stored channel and range is kept.
TEST(MainPanelStartup, StoredChannelAndRangeAreKeptAsFarAsTheCalibratorAllows) {
    struct Case {
        int32_t found;  // the search's status: negative, nothing found
        const char* ident;
        bool fiveRanges;
        const char* stored;  // T720Chann, and T720Range if given
        int32_t channel, range;
    };
    const Case cases[] = {
        // Nothing found: as far as the bars reach.
        {-1, "", false, "8\nT720Range=6", 8, 6},
        {-1, "", false, "9\nT720Range=7", 8, 6},
        // Nine channels: one above 8 goes to 0.
        {0, "T720", false, "8\nT720Range=6", 8, 6},
        {0, "T720", false, "9", 0, 1},
        {0, "QV310", false, "15", 15, 1},
        {0, "QV310", false, "16", 15, 1},
        {0, "T720", true, "0\nT720Range=6", 0, 5},  // range 6 refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ident) + " " + c.stored);
        test::PanelRig rig;
        rig.lib.infoStatus = c.found;
        rig.lib.info.ident = c.ident;
        if (c.fiveRanges)
            rig.lib.answer = [](const Call& call) {
                return Answer{0, call.command.find(", 6,") != std::string::npos ? "?" : "0", 1};
            };
        rig.Start(QByteArray("[Properties]\nT720Chann=") + c.stored + "\n");
        EXPECT_EQ(rig.s.ChannelNo, c.channel);
        EXPECT_EQ(rig.m().ChanScroll.value, c.channel);
        EXPECT_EQ(rig.m().ChanLabel, ChanLabelText(c.channel));
        EXPECT_EQ(rig.s.RangeIdx, c.range);
        EXPECT_EQ(rig.m().RangeScroll.max, c.fiveRanges ? 5 : 6);
        EXPECT_EQ(rig.m().rangeVisible[5], c.found >= 0 && !c.fiveRanges);
    }
}

TEST_F(MainPanelTest, SelectionsUpdateDisplaysAndAskForAPassOnlyWhenConnected) {
    Start();
    s.TickCountdown = 7;
    panel.ChannelClick(4);
    EXPECT_EQ(s.ChannelNo, 4);
    EXPECT_EQ(m().ChanLabel, ChanLabelText(4));
    EXPECT_EQ(s.TickCountdown, 1);

    s.RangeTab = kStandardRanges;
    panel.RangeClick(1);
    panel.ProzeClick(5);
    EXPECT_EQ(m().RangeLabel, RangeLabelText(5));
    EXPECT_EQ(m().ProzLabel, ProzLabelText(false, 5, 5.0, false));
    panel.MinusClick();
    EXPECT_EQ(m().ProzLabel, ProzLabelText(true, 5, 5.0, false));
    panel.PlusClick();
    panel.ProzeClick(0);
    EXPECT_EQ(m().ProzLabel, ProzLabelText(false, 0, 5.0, false));

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

// A variant whose first range is 0.5 mV/V shows two decimals for every range.
TEST_F(MainPanelTest, HalfMillivoltVariantShowsTwoDecimalsForEveryRange) {
    lib.info.ident = "T720S09";
    Start();
    panel.RangeClick(0);
    panel.ProzeClick(10);
    EXPECT_EQ(m().RangeLabel, RangeLabelText(555));
    EXPECT_EQ(m().ProzLabel, ProzLabelText(false, 10, 0.5, true));
    panel.RangeClick(5);
    EXPECT_EQ(m().RangeLabel, RangeLabelText(1000));
    EXPECT_EQ(m().ProzLabel, "+ 100 % =  1000.00 mV/V");
}

TEST_F(MainPanelTest, BeepPressSendsThenRunsAFullPassAndReleaseSendsBeepOff) {
    Start();
    lib.calls.clear();
    s.TickCountdown = 6;
    panel.Command6Down();
    EXPECT_EQ(m().Command6.back, kRed);
    const std::string k1a = K1AText(s), beep = K1BText(0, 1, 0);
    EXPECT_EQ(lib.Commands(), (std::vector<std::string>{k1a, beep, k1a, beep}));
    panel.Command6Up();
    EXPECT_EQ(lib.Commands().back(), K1BText(0, 0, 0));
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

TEST_F(MainPanelTest, ReadyAndLoadToggleAndSendWithTheBeepState) {
    Start({}, "/Load");
    lib.calls.clear();
    panel.Command7Click();
    EXPECT_EQ(m().Command7.back, kYellow);
    s.BeepOn = 1;
    panel.Command7Click();
    EXPECT_EQ(m().Command7.back, kSys3DLight);
    EXPECT_EQ(s.TickCountdown, 1);
    // The load toggle's caption names the state that the next click selects.
    panel.CommandspClick();
    EXPECT_EQ(m().Commandsp.caption, "Load low");
    panel.CommandspClick();
    EXPECT_EQ(m().Commandsp.caption, "Load high");
    EXPECT_FALSE(s.ScanRequest);
    const std::string k1a = K1AText(s);
    EXPECT_EQ(lib.Commands(),
              (std::vector<std::string>{k1a, K1BText(1, 0, 0), k1a, K1BText(0, 1, 0), k1a,
                                        K1BText(0, 1, 1), k1a, K1BText(0, 1, 0)}));
}

TEST_F(MainPanelTest, SpezAsksForARunAndRightClickForARedisplayAfterAStoppedRun) {
    Start({}, "/ZOREinmessen /Load /Relais(511)");  // only the first of the chain counts
    EXPECT_TRUE(m().Commandsp.visible && m().Commandsp.enabled);
    EXPECT_EQ(m().Commandsp.caption, "Spez");
    EXPECT_FALSE(m().RelRef.visible);
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
    EXPECT_TRUE(m().RelRef.visible && m().RelRef.enabled);
    EXPECT_FALSE(m().Commandsp.visible);
    EXPECT_EQ(s.RelayByte, (std::array<int16_t, 4>{255, 1, 0, 0}));
    std::vector<Colour> seen;
    panel.SetRepaint([&] { seen.push_back(m().RelRef.back); });
    lib.missing = true;
    panel.RelRefClick();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), kYellow);
    EXPECT_EQ(m().RelRef.back, kSys3DLight);
    EXPECT_EQ(m().statusNote, "Relay cleaning: 100 of 100 commands failed");
    lib.missing = false;
    panel.RelRefClick();
    EXPECT_EQ(m().statusNote, "");
}

TEST_F(MainPanelTest, ShutdownClearsTheDeviceBeforeSavingTheValues) {
    Start("[Properties]\nConnection=2\n");
    panel.ChannelClick(5);
    auto savedChannel = [&] {
        return QSettings(IniPath(), QSettings::IniFormat).value("Properties/T720Chann").toString();
    };
    QString atClear = "no DCL";
    port.SetResponder([&](const std::string& line) {
        if (line == "DCL") atClear = savedChannel();
        return std::vector<FakeSerialPort::Reply>{};
    });
    EXPECT_TRUE(panel.Shutdown(*settings));
    EXPECT_EQ(atClear, "");  // nothing saved yet when the device clear went out
    EXPECT_EQ(savedChannel(), "5");
}

}  // namespace
}  // namespace t720
