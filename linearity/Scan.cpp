#include "linearity/Scan.h"

#include "app/QtText.h"
#include "app/Wait.h"
#include "linearity/RunRecord.h"
#include "linearity/RunsFolder.h"
#include "linearity/ScanGrid.h"
#include "linearity/TapSequence.h"
#include "link/LineTransport.h"
#include "link/NumberText.h"
#include "link/PortMapping.h"
#include "link/PortProblem.h"

#include <cmath>

namespace t720::linearity {

namespace {

constexpr const char* kAbandoned = "Run abandoned: ";

std::string RowText(int row) {
    return "row " + std::to_string(row);
}

ScanResult Abandon(LinearityState& state, SharedState& shared, WindowHost& host,
                   std::string message) {
    state.controls.statusPanel1 = message;
    // The supervision ends the linearity mode on the stop request, as after a stop.
    shared.StopRequest = true;
    host.Repaint();
    return {ScanResult::Outcome::Abandoned, std::move(message), {}, {}};
}

// A completed run is kept on disk; a record that cannot be written is told.
void SaveRecord(const LinearityState& state, const ScanContext& ctx, ScanResult& result) {
    const std::string identification = ctx.identification ? ctx.identification() : std::string();
    const RunRecord record =
        RecordNow(state.DmmReading1, state.DmmReading2, Utf8FromLatin1(ctx.shared.DeviceId),
                  Utf8FromLatin1(identification), DmmPortText());
    const RunSaved saved = SaveRunInto(ctx.runsFolder, record);
    result.recordPath = saved.path;
    result.note = saved.note;
    result.record = record;
}

}  // namespace

std::string DmmPortText() {
    return "COM1 (" + SerialDevicePath(1) + ")";
}

DmmReading ParseDmmReading(std::string_view received, int row) {
    const std::string quoted = "\"" + QuoteOutsideText(received) + "\"";
    const bool blank = received.find_first_not_of(" \r\n") == std::string_view::npos;
    if (blank) return {std::nullopt, kAbandoned + ("no answer from the DMM in " + RowText(row))};
    // Without its line feed the answer was cut off by the time-out: "+1.0" of
    // "+1.00012345E-01" would read as a plausible but wrong number.
    if (received.find('\n') == std::string_view::npos)
        return {std::nullopt,
                kAbandoned + ("incomplete answer " + quoted + " from the DMM in " + RowText(row))};
    const std::optional<double> value = ParseDecimalComma(WithDecimalComma(std::string(received)));
    const std::string answered =
        kAbandoned + ("the DMM answered " + quoted + " in " + RowText(row));
    if (!value) return {std::nullopt, answered};
    if (std::fabs(std::fabs(*value) - kDmmOverload) <= kDmmOverload * 1e-6)
        return {std::nullopt, answered + ": an overload"};
    if (!(std::fabs(*value) <= kDmmReadingLimit))
        return {std::nullopt, answered + ", beyond the 1 V range"};
    return {value, {}};
}

ScanResult Scan(LinearityState& state, const ScanContext& ctx) {
    SharedState& shared = ctx.shared;
    WindowHost& host = ctx.host;

    ShowRunStart(state.controls);
    PrepareGrid(state.controls, host);
    ComputeShuntTables(state.ShuntFactor, state.ShuntRoot);

    if (!ctx.dmm.InitHP()) {
        // The reason, when the port gives one, names the device itself. With the
        // calibrator on the COM1 link it is this program that holds the port, not
        // "another program".
        std::string why = ctx.dmm.OpenProblem();
        if (shared.LinkType == kLinkCom1 && why.ends_with(kInUseElsewhere))
            why.replace(
                why.size() - kInUseElsewhere.size(), kInUseElsewhere.size(),
                " is held by the calibrator's link; choose USB or COM 2 for the calibrator");
        return Abandon(
            state, shared, host,
            kAbandoned + (why.empty() ? "the DMM port " + DmmPortText() + " cannot be opened"
                                      : "the DMM port COM1 cannot be opened: " + why));
    }

    // One answer count for the whole run: the library gets back what it left.
    int32_t count = 0;
    TapSetting tap;
    int row = 1;
    for (; row <= 20; ++row) {
        std::string command = K1YText(tap);
        state.controls.Results.Select(row, 1);
        AdvanceTap(tap);
        // The calibrator's answer is not judged; a failed call does not stop the run.
        ctx.library.CalCommand(0, shared.DeviceId, command, count);

        Wait(kSettleBeforeFirstReading, ctx.clock);
        // The reading is taken from the answer as it came, so that a message quotes
        // it exactly; ReadHP's text only differs by its decimal comma.
        ctx.dmm.ReadHP(kMeasureCommand);
        const DmmReading first = ParseDmmReading(ctx.dmm.LastReceived(), row);
        if (!first.value) {
            ctx.dmm.LocalHP();
            return Abandon(state, shared, host, first.fault);
        }
        WriteFirstReading(state, row, *first.value);

        Wait(kSettleBeforeSecondReading, ctx.clock);
        state.controls.Results.Select(row, 2);
        ctx.dmm.ReadHP(kMeasureCommand);
        const DmmReading second = ParseDmmReading(ctx.dmm.LastReceived(), row);
        if (!second.value) {
            ctx.dmm.LocalHP();
            return Abandon(state, shared, host, second.fault);
        }
        WriteSecondReading(state, row, *second.value);

        host.Yield();
        if (shared.StopRequest) break;
    }
    ctx.dmm.LocalHP();

    // After a stop the rows not measured stay empty, nothing is evaluated, and the
    // stop request stays set for the supervision.
    if (shared.StopRequest)
        return {ScanResult::Outcome::Stopped, "Run stopped after " + RowText(row), {}, {}};

    ScanResult result;
    const std::string why = FinishRun(state, host);
    // Readings that cannot be evaluated are still what the DMM gave: kept all the same.
    SaveRecord(state, ctx, result);
    if (!why.empty()) {
        result.message = kNotEvaluated + why;
        result.note = result.message + "; " + result.note;
    }
    return result;
}

}  // namespace t720::linearity
