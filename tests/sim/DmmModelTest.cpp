// The DMM model: the SCPI dialogue the linearity run holds with it, and readings
// that follow the calibrator's tap selection. Its faults are met by the linearity
// drills, which name the row each fault shows in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "sim/DmmModel.h"

namespace t720::sim {
namespace {

using Taps = CalibratorModel::Taps;

constexpr const char* kMeasure = "MEAS:VOLT:DC? 1,1E-6";

TEST(DmmModel, RemoteLocalAndTheErrorQueue) {
    DmmModel dmm;
    EXPECT_EQ(dmm.Handle("SYST:REM", {}), std::nullopt);
    EXPECT_TRUE(dmm.remote());
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");
    EXPECT_EQ(dmm.Handle("VOLT:RANG 1", {}), std::nullopt);
    EXPECT_EQ(dmm.Handle(":system:error?", {}), "-113,\"Undefined header\"\r\n");
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");
    EXPECT_EQ(dmm.Handle("SYST:LOC", {}), std::nullopt);
    EXPECT_FALSE(dmm.remote());
    EXPECT_EQ(dmm.received().front(), "SYST:REM");
    EXPECT_EQ(dmm.received().back(), "SYST:LOC");
}

// A run's readings are checked against TrueReading of the taps the calibrator
// selected; these make that check mean something.
TEST(DmmModel, ReadsTheIntervalTheTapsSelect) {
    DmmModel dmm, sameSeed;
    // "+1.00012345E-01\r\n": a sign, nine digits, an exponent of two.
    auto hpStyle = [](const std::string& a) {
        if (a.size() != 17 || a.substr(15) != "\r\n") return false;
        for (size_t i : {1, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14})
            if (a[i] < '0' || a[i] > '9') return false;
        return (a[0] == '+' || a[0] == '-') && a[2] == '.' && a[11] == 'E' &&
               (a[12] == '+' || a[12] == '-');
    };
    const Taps intervals[] = {{1, 10, 9, 0}, {0, 4, 5, 1}, {1, 2, 1, 0}, {0, 0, 1, 1}};
    for (const Taps& taps : intervals) {
        const auto answer = dmm.Handle(kMeasure, taps);
        ASSERT_TRUE(answer && hpStyle(*answer)) << answer.value_or("none");
        const double volts = std::strtod(answer->c_str(), nullptr);
        EXPECT_NEAR(volts, 0.1, 50e-6);  // a tenth of 1 V, off by a few ppm
        EXPECT_NEAR(volts, dmm.TrueReading(taps), DmmModel::kNoise * 1.01);
        EXPECT_EQ(answer, sameSeed.Handle(kMeasure, taps));  // noise included
    }
    // The resistors differ well beyond the noise, and the thermal offset depends
    // on the direction the taps walk.
    EXPECT_GT(std::fabs(dmm.TrueReading(intervals[0]) - dmm.TrueReading(intervals[1])), 5e-6);
    EXPECT_NE(dmm.TrueReading({0, 4, 5, 0}), dmm.TrueReading({0, 4, 5, 1}));
    EXPECT_NEAR(dmm.TrueReading({1, 10, 0, 0}), 1.0, 10e-6);  // the whole divider
    EXPECT_EQ(dmm.readings(), 4);
}

}  // namespace
}  // namespace t720::sim
