#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace t720 {
namespace {

TEST(CommandLine, OnlyTheFirstSwitchOfTheChainCounts) {
    Switches sw = ParseSwitches("/Relais(3) /Load /ZOREinmessen");
    EXPECT_TRUE(sw.linearity);
    EXPECT_FALSE(sw.load);
    EXPECT_FALSE(sw.relayMask);

    sw = ParseSwitches("x/Relais(3)y/Loadz");
    EXPECT_FALSE(sw.linearity);
    EXPECT_TRUE(sw.load);
    EXPECT_FALSE(sw.relayMask);

    sw = ParseSwitches("/relais(3) /load /zoreinmessen");  // case-sensitive
    EXPECT_FALSE(sw.linearity || sw.load || sw.relayMask);
}

TEST(CommandLine, RelayNumberIsReadBehindTheBracketAndRoundedHalfToEven) {
    EXPECT_EQ(ParseSwitches("/Relais(511)").relayMask, 511);
    EXPECT_EQ(ParseSwitches("/Relais(511").relayMask, 511);
    EXPECT_EQ(ParseSwitches("/Relais(-1)").relayMask, -1);
    EXPECT_EQ(ParseSwitches("/Relais(2.5)").relayMask, 2);
    EXPECT_EQ(ParseSwitches("/Relais(3.5)").relayMask, 4);
    EXPECT_EQ(ParseSwitches("/Relais(1e3)").relayMask, 1000);
    EXPECT_EQ(ParseSwitches("/Relais(2147483647)").relayMask, 2147483647);
    EXPECT_EQ(ParseSwitches("/Relais(-2147483648)").relayMask, INT32_MIN);
    // No relay button for 0, for no number, and for a number beyond 32 bits.
    for (const char* line : {"/Relais(0)", "/Relais()", "/Relais(abc)", "/Relais(0.4)",
                             "/Relais(2147483648)", "/Relais(-2147483649)", "/Relais(1e300)"}) {
        EXPECT_FALSE(ParseSwitches(line).relayMask) << line;
    }
}

TEST(CommandLine, RelayBytesAreTheTwosComplementBytes) {
    EXPECT_EQ(RelayBytes(511), (std::array<int16_t, 4>{255, 1, 0, 0}));
    EXPECT_EQ(RelayBytes(-1), (std::array<int16_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(RelayBytes(INT32_MIN), (std::array<int16_t, 4>{0, 0, 0, 128}));
}

TEST(CommandLine, DeviceAndIdPartsOfTheTitle) {
    Switches sw = ParseSwitches("/DEV=2 /ID=ABC");
    EXPECT_EQ(sw.dev, "2");
    EXPECT_EQ(sw.id, "ABC");
    EXPECT_EQ(WindowTitle(sw),
              "ZOR Calibration System for T720, V1.18, 01/2015   Dev = 2   ID = ABC");
    EXPECT_EQ(WindowTitle(ParseSwitches("/ID=ABC")),
              "ZOR Calibration System for T720, V1.18, 01/2015   ID = ABC");
    EXPECT_EQ(WindowTitle(ParseSwitches("")), "ZOR Calibration System for T720, V1.18, 01/2015");
    EXPECT_EQ(ParseSwitches("/DEV=").dev, "");
    EXPECT_EQ(ParseSwitches("/Load/DEV=CP12/ID=x y").dev, "CP12/ID=x");
}

}  // namespace
}  // namespace t720
