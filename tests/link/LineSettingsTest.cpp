#include <gtest/gtest.h>

#include "link/LineSettings.h"

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

}  // namespace
}  // namespace t720
