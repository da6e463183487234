#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "link/LineSettings.h"
#include "link/PortMapping.h"

namespace t720 {
namespace {

TEST(LineSettings, ParsesTheCalibratorAndDmmLines) {
    const auto cal = ParseLineSettings("9600,E,8,1");
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->baud, 9600);
    EXPECT_EQ(cal->parity, LineSettings::Parity::Even);
    EXPECT_EQ(cal->dataBits, 8);
    EXPECT_EQ(cal->stopBits, LineSettings::StopBits::One);

    const auto dmm = ParseLineSettings("9600,N,8,1");
    ASSERT_TRUE(dmm);
    EXPECT_EQ(dmm->parity, LineSettings::Parity::None);

    const auto other = ParseLineSettings("19200,O,7,2");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->stopBits, LineSettings::StopBits::Two);
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
