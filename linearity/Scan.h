// The linearity run: twenty settings of the calibrator's divider, each read twice
// with the DMM, written into the grid and, unless the operator stopped it,
// evaluated and kept on disk as a run record.
#pragma once

#include "app/Clock.h"
#include "app/SharedState.h"
#include "linearity/DmmLink.h"
#include "linearity/LinearityState.h"
#include "linearity/RunsFolder.h"
#include "linearity/WindowHost.h"
#include "link/UsbCalLibrary.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace t720::linearity {

// Seconds between selecting the taps and the first reading, and between the two
// readings of a row: the divider and the DMM's filter settle.
inline constexpr float kSettleBeforeFirstReading = 0.6f;
inline constexpr float kSettleBeforeSecondReading = 0.7f;

struct ScanContext {
    SharedState& shared;  // DeviceId (in/out for the library), StopRequest
    UsbCalLibrary& library;
    DmmLink& dmm;
    Clock& clock;
    WindowHost& host;
    // The identification text of the connected calibrator (as the device sent it,
    // 8-bit), for the run record. Empty when not given.
    std::function<std::string()> identification = {};
    // Where a completed run's record is kept.
    RunsFolder runsFolder = {RunRecordDirectory(), false};
};

struct ScanResult {
    enum class Outcome {
        Completed,  // 20 rows measured, and evaluated unless `message` says why not
        Stopped,    // the operator's stop request, seen after a row
        Abandoned,  // the DMM could not be used; nothing evaluated
    };
    Outcome outcome = Outcome::Completed;
    // Why the run was abandoned (also in the status panel), or after which row it
    // was stopped; for a completed run empty, or why its readings were not evaluated.
    std::string message;
    std::string note;    // completed runs: the record saved, or why it was not
    QString recordPath;  // the record written, empty when none
    std::optional<RunRecord> record;  // completed runs: what was (or should have been) kept
};

// The DMM's line as the operator knows it: "COM1 (/dev/ttyS0)".
std::string DmmPortText();

// The reading in a DMM answer as it came over the line: a whole line (ended by LF)
// holding one number within ±kDmmReadingLimit volts, read the way the line reader
// hands it on (decimal comma). nullopt with the operator's message otherwise, which
// names `row` and quotes the answer as the DMM sent it.
struct DmmReading {
    std::optional<double> value;
    std::string fault;
};
DmmReading ParseDmmReading(std::string_view received, int row);

// The whole run. The DMM is returned to local mode whatever happens after it was
// opened. A DMM fault abandons the run: the cells stay as far as written, the
// message goes to the status panel and StopRequest is set, so the supervision ends
// the linearity mode as after a stop. Only a completed run is evaluated and saved.
ScanResult Scan(LinearityState& state, const ScanContext& ctx);

}  // namespace t720::linearity
