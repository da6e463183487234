// The DMM model: the SCPI dialogue the linearity run holds with it, its error
// queue, readings that follow the calibrator's tap selection, and its faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "sim/DmmModel.h"

namespace t720::sim {
namespace {

using Taps = CalibratorModel::Taps;

// The twenty tap settings of a linearity run, rows 1..20: down the divider with
// d = 0, then up with d = 1; rows i and 21 - i cover the same interval.
const Taps kRun[21] = {
    {},           {1, 10, 9, 0}, {0, 8, 9, 0},  {1, 8, 7, 0}, {0, 6, 7, 0}, {1, 6, 5, 0},
    {0, 4, 5, 0}, {1, 4, 3, 0},  {0, 2, 3, 0},  {1, 2, 1, 0}, {0, 0, 1, 0}, {0, 0, 1, 1},
    {1, 2, 1, 1}, {0, 2, 3, 1},  {1, 4, 3, 1},  {0, 4, 5, 1}, {1, 6, 5, 1}, {0, 6, 7, 1},
    {1, 8, 7, 1}, {0, 8, 9, 1},  {1, 10, 9, 1},
};

constexpr const char* kMeasure = "MEAS:VOLT:DC? 1,1E-6";

// A reading answer as a number; NaN when it is none.
double Volts(const std::optional<std::string>& answer) {
    if (!answer) return NAN;
    char* end = nullptr;
    const double v = std::strtod(answer->c_str(), &end);
    return std::string_view(end) == "\r\n" ? v : NAN;
}

TEST(DmmModel, RemoteLocalAndTheErrorQueue) {
    DmmModel dmm;
    EXPECT_FALSE(dmm.remote());
    EXPECT_EQ(dmm.Handle("SYST:REM", {}), std::nullopt);
    EXPECT_TRUE(dmm.remote());
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");

    // Unknown commands queue errors, oldest answered first; then the queue is empty.
    EXPECT_EQ(dmm.Handle("VOLT:RANG 1", {}), std::nullopt);
    EXPECT_EQ(dmm.Handle("SYST:REM 1", {}), std::nullopt);
    EXPECT_EQ(dmm.Handle(":system:error?", {}), "-113,\"Undefined header\"\r\n");
    EXPECT_EQ(dmm.Handle("SYSTEM:ERROR?", {}), "-108,\"Parameter not allowed\"\r\n");
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");

    // A measurement whose range is not a number is not taken.
    EXPECT_EQ(dmm.Handle("MEAS:VOLT:DC? one,1E-6", {}), std::nullopt);
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "-224,\"Illegal parameter value\"\r\n");

    // A queue that overflows keeps its oldest entries and says so in its last.
    for (size_t i = 0; i < DmmModel::kErrorQueueCap + 5; ++i) dmm.Handle("BOGUS", {});
    for (size_t i = 1; i < DmmModel::kErrorQueueCap; ++i)
        ASSERT_EQ(dmm.Handle("SYST:ERR?", {}), "-113,\"Undefined header\"\r\n") << i;
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "-350,\"Queue overflow\"\r\n");
    EXPECT_EQ(dmm.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");

    EXPECT_EQ(dmm.Handle("SYST:LOC", {}), std::nullopt);
    EXPECT_FALSE(dmm.remote());
    EXPECT_EQ(dmm.received().front(), "SYST:REM");
    EXPECT_EQ(dmm.received().back(), "SYST:LOC");
}

TEST(DmmModel, ARunReadsTheTenIntervalsBothWaysTwice) {
    DmmModel dmm;
    const std::regex hpStyle(R"([+-]\d\.\d{8}E[+-]\d{2}\r\n)");
    double reading[21] = {};
    for (int row = 1; row <= 20; ++row) {
        const auto answer = dmm.Handle(kMeasure, kRun[row]);
        ASSERT_TRUE(answer && std::regex_match(*answer, hpStyle))
            << row << ": " << answer.value_or("none");
        reading[row] = Volts(answer);
        // A 10 % interval of 1 V: off by the resistors' few ppm and the offset's µV.
        EXPECT_NEAR(reading[row], 0.1, 50e-6) << row;
        EXPECT_NEAR(reading[row], dmm.TrueReading(kRun[row]), DmmModel::kNoise * 1.01) << row;
        // Well inside the 2 µV the run accepts between the two readings of a row.
        EXPECT_LE(std::fabs(reading[row] - Volts(dmm.Handle(kMeasure, kRun[row]))), 1.5e-6);
    }
    EXPECT_EQ(dmm.readings(), 40);
    for (int row = 1; row <= 10; ++row) {
        // The same interval walked the other way: the thermal offset and the noise
        // differ, so the two rows are close but not equal.
        EXPECT_NEAR(reading[row], reading[21 - row], 10e-6) << row;
        EXPECT_NE(reading[row], reading[21 - row]) << row;
    }
    // The resistors differ, so the intervals do, well beyond the noise (±0.5 µV):
    // there is something for the shunts to trim.
    const auto [lowest, highest] = std::minmax_element(reading + 1, reading + 11);
    EXPECT_GT(*highest - *lowest, 5e-6);
}

TEST(DmmModel, TheDividerIsFixedBySeed) {
    DmmModel a(7), b(7), c(8);
    EXPECT_EQ(a.TapVoltage(0), 0.0);
    EXPECT_EQ(a.TapVoltage(10), 1.0);
    for (int tap = 1; tap <= 10; ++tap) {
        EXPECT_GT(a.TapVoltage(tap), a.TapVoltage(tap - 1));
        EXPECT_EQ(a.TapVoltage(tap), b.TapVoltage(tap));
    }
    EXPECT_NE(a.TapVoltage(5), c.TapVoltage(5));
    // The same seed gives the same readings, noise included.
    EXPECT_EQ(a.Handle(kMeasure, kRun[3]), b.Handle(kMeasure, kRun[3]));
    // Before any K1Y the taps are 0 and 0: a few µV of offset, nothing more.
    EXPECT_NEAR(Volts(a.Handle(kMeasure, {})), 0.0, 5e-6);
}

TEST(DmmModel, Faults) {
    DmmModel silent;
    silent.SetFaults({.silent = true});
    EXPECT_EQ(silent.Handle("SYST:REM", {}), std::nullopt);
    EXPECT_EQ(silent.Handle("SYST:ERR?", {}), std::nullopt);
    EXPECT_EQ(silent.Handle(kMeasure, kRun[1]), std::nullopt);
    EXPECT_FALSE(silent.remote());  // a meter that hears nothing does nothing
    EXPECT_EQ(silent.received().size(), 3u);

    DmmModel tiring;
    tiring.SetFaults({.silentAfter = 2});
    EXPECT_TRUE(tiring.Handle(kMeasure, kRun[1]));
    EXPECT_TRUE(tiring.Handle(kMeasure, kRun[1]));
    EXPECT_EQ(tiring.Handle(kMeasure, kRun[2]), std::nullopt);
    EXPECT_EQ(tiring.Handle("SYST:ERR?", {}), "+0,\"No error\"\r\n");  // only readings stop

    DmmModel garbling;
    garbling.SetFaults({.garbageAfter = 1});
    EXPECT_FALSE(std::isnan(Volts(garbling.Handle(kMeasure, kRun[1]))));
    for (int i = 0; i < 2; ++i) {
        const auto answer = garbling.Handle(kMeasure, kRun[1]);
        ASSERT_TRUE(answer);
        EXPECT_TRUE(answer->ends_with("\r\n"));  // a whole line, but no number in it
        EXPECT_TRUE(std::isnan(Volts(answer))) << *answer;
    }
    // The fault switched off, readings continue with the noise they would have had.
    DmmModel clean;
    for (int i = 0; i < 3; ++i) clean.Handle(kMeasure, kRun[1]);
    garbling.SetFaults({});
    EXPECT_EQ(garbling.Handle(kMeasure, kRun[4]), clean.Handle(kMeasure, kRun[4]));
}

}  // namespace
}  // namespace t720::sim
