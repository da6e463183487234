#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "link/LineSettings.h"
#include "link/PortMapping.h"

namespace t720 {
namespace {

TEST(LineSettings, ParsesTheCalibratorAndDmmLines) {
    using P = LineSettings::Parity;
    using S = LineSettings::StopBits;
    EXPECT_EQ(ParseLineSettings("9600,E,8,1"), (LineSettings{9600, P::Even, 8, S::One}));
    EXPECT_EQ(ParseLineSettings("9600,N,8,1"), (LineSettings{9600, P::None, 8, S::One}));
    EXPECT_EQ(ParseLineSettings("19200,O,7,2"), (LineSettings{19200, P::Odd, 7, S::Two}));
}

TEST(LineSettings, MalformedTextsAreRefusedNotGuessed) {
    for (const char* text :
         {"", "9600", "9600,E,8", "9600,E,8,1,1", "0,E,8,1", "-9600,E,8,1", "9600,X,8,1",
          "9600,EE,8,1", "9600,E,9,1", "9600,E,4,1", "9600,E,8,3", "96OO,E,8,1", "9600,,8,1"}) {
        EXPECT_FALSE(ParseLineSettings(text).has_value()) << '"' << text << '"';
    }
}

TEST(PortMapping, SettingsEntryNamesTheDeviceElseTheSystemPort) {
    {
        auto store = OpenSettingsStore();
        store->setValue("Ports/COM3", "/tmp/bench/cal");
    }
    EXPECT_EQ(SerialDevicePath(3), "/tmp/bench/cal");
    EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(9), "/dev/ttyS8");
}

}  // namespace
}  // namespace t720
