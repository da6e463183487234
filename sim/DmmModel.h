// The precision DMM of the linearity measurement as its SCPI line sees it: one
// command line in, at most one answer line out. It measures the calibrator's
// internal divider: ten resistors in a chain from tap 0 to tap 10 with 1 V across
// it, each off its nominal value by its own few ppm, so the shunt search has
// something to trim. A reading is the voltage between the two taps the
// calibrator's last K1Y selected, plus a small thermal offset that depends on the
// direction the taps walk, plus noise.
//
// No I/O and no clock: the bench hands in the taps (read under its lock) and
// carries the lines; an answer delay is the endpoint's to apply.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "sim/CalibratorModel.h"

namespace t720::sim {

struct DmmFaults {
    // Every answer held back by this many seconds (applied by the endpoint). The
    // program waits 1.5 s for an answer line.
    double delaySeconds = 0.0;
    // Every line received and recorded, none answered.
    bool silent = false;
    // This many readings are answered, later measurement queries are not.
    std::optional<int> silentAfter;
    // This many readings are answered properly, later ones with a line that holds
    // no number.
    std::optional<int> garbageAfter;
};

class DmmModel {
  public:
    static constexpr uint32_t kDefaultSeed = 720;
    // Spread of the resistors' errors: uniform within ±this many ppm.
    static constexpr double kResistorSpreadPpm = 60.0;
    // Thermal offset in volts while the taps walk down (d = 0) and up (d = 1).
    static constexpr double kThermalDown = 2.5e-6;
    static constexpr double kThermalUp = -1.5e-6;
    // Noise on every reading: uniform within ±this many volts.
    static constexpr double kNoise = 0.5e-6;
    // What a reading reads when the DMM answers with garbage.
    static constexpr std::string_view kGarbage = "#?OVLD?#";
    static constexpr size_t kErrorQueueCap = 20;
    static constexpr size_t kRecordCap = 10000;

    explicit DmmModel(uint32_t dividerSeed = kDefaultSeed);

    void SetFaults(const DmmFaults& faults) { faults_ = faults; }
    const DmmFaults& faults() const { return faults_; }

    // One command line without its line feed; the answer ends in CR LF, nullopt
    // when the meter does not answer. `taps` is the calibrator's tap selection at
    // the moment the line arrives.
    //   SYST:REM   remote operation, no answer
    //   SYST:LOC   front-panel operation, no answer
    //   SYST:ERR?  the oldest error-queue entry, +0,"No error" when empty
    //   MEAS:VOLT:DC? [range[,resolution]]  one reading in volts, "+1.00012345E-01"
    //   *IDN?, *CLS  identification; clear the error queue
    // Anything else queues -113,"Undefined header"; a measurement with parameters
    // that are not numbers queues -224,"Illegal parameter value" and is not answered.
    // SCPI headers are matched without regard to case, in short or long form.
    std::optional<std::string> Handle(std::string_view line, const CalibratorModel::Taps& taps);

    bool remote() const { return remote_; }

    // The divider: the voltage at tap 0..10 (0 V at tap 0, 1 V at tap 10).
    double TapVoltage(int tap) const { return tapVolts_.at(static_cast<size_t>(tap)); }
    // The reading for `taps` without noise.
    double TrueReading(const CalibratorModel::Taps& taps) const;

    // Lines received, oldest first, the latest kRecordCap of them.
    const std::deque<std::string>& received() const { return received_; }
    // Measurement queries answered with a reading (garbage answers included).
    int readings() const { return readings_; }
    void ClearRecord();

  private:
    std::string Measure(const CalibratorModel::Taps& taps);
    void QueueError(std::string_view entry);

    std::array<double, 11> tapVolts_{};
    std::mt19937 noise_;  // mt19937's sequence is fixed by the standard
    DmmFaults faults_;
    bool remote_ = false;
    std::deque<std::string> errors_;
    std::deque<std::string> received_;
    int readings_ = 0;
};

}  // namespace t720::sim
