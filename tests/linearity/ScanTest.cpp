// The linearity run with the calibrator's library, the DMM and the clock faked:
// what goes to the devices, in which order and with which pauses, what lands in
// the grid, and how every DMM fault ends the run. A stop after a row is tested as
// the operator gives it, through the window (LinearityPacingTest).
#include "linearity/Scan.h"

#include "LinearityTestSupport.h"
#include "ScriptedDmm.h"
#include "linearity/RunRecord.h"
#include "linearity/WindowActions.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace t720::linearity {
namespace {

using t720::test::FakeUsbLibrary;
using test::RecordingHost;
using test::ScriptedDmm;

// The K1Y commands of rows 1..20, as the calibrator must receive them: down the
// divider, then up; the turn between rows 10 and 11 sends taps 0 and 1 twice.
const std::vector<std::string> kRunK1Y = {
    "K1Y  1, 10, 9, 0", "K1Y  0, 8, 9, 0", "K1Y  1, 8, 7, 0", "K1Y  0, 6, 7, 0",
    "K1Y  1, 6, 5, 0",  "K1Y  0, 4, 5, 0", "K1Y  1, 4, 3, 0", "K1Y  0, 2, 3, 0",
    "K1Y  1, 2, 1, 0",  "K1Y  0, 0, 1, 0", "K1Y  0, 0, 1, 1", "K1Y  1, 2, 1, 1",
    "K1Y  0, 2, 3, 1",  "K1Y  1, 4, 3, 1", "K1Y  0, 4, 5, 1", "K1Y  1, 6, 5, 1",
    "K1Y  0, 6, 7, 1",  "K1Y  1, 8, 7, 1", "K1Y  0, 8, 9, 1", "K1Y  1, 10, 9, 1"};

int RecordCount() {
    return static_cast<int>(QDir(RunRecordDirectory()).entryList(QDir::Files).size());
}

class ScanTest : public ::testing::Test, protected test::FakeRunDevices {
  protected:
    ScanTest() {
        s.DeviceId = "T720-40211";
        s.LinkType = kLinkCom1;  // the run drives the library whatever the link
        lib.answer = [this](const FakeUsbLibrary::Call& call) {
            linesAtCall.push_back(static_cast<int>(dmmPort.lines.size()));
            FakeUsbLibrary::Answer a;
            a.count = call.countIn + 7;  // whatever the library leaves is passed on
            return a;
        };
        meter.reading2 = test::kSkewed;
        meter.reading1 = test::kSkewed;
        for (int row = 1; row <= 20; ++row) meter.reading1[row] += 1e-6f;
    }

    ScanResult Run() {
        return Scan(state, ScanContext{s, lib, dmm, clock, host,
                                       [] { return std::string("T720S09 V2.01"); }});
    }

    int Measurements() const {
        return static_cast<int>(
            std::count(dmmPort.lines.begin(), dmmPort.lines.end(), kMeasureCommand));
    }
    int SleepsOf(float seconds) const {
        return static_cast<int>(std::count_if(
            clock.sleeps.begin(), clock.sleeps.end(),
            [&](double d) { return std::fabs(d - static_cast<double>(seconds)) < 1e-9; }));
    }
    const GridModel& Grid() const { return state.controls.Results; }
    bool Evaluated() const {
        return state.controls.CmdOpt.visible || state.controls.Picture1.visible ||
               !Grid().Cell(1, 8).text.empty();
    }

    SharedState s;
    RecordingHost host;
    LinearityState state;
    std::vector<int> linesAtCall;  // DMM lines written when each library call came
};

TEST_F(ScanTest, AFullRunMeasuresTwentyRowsEvaluatesAndKeepsARecord) {
    // The library rewrites the id in row 3; the run keeps what it left.
    lib.answer = [this, plain = lib.answer](const FakeUsbLibrary::Call& call) {
        FakeUsbLibrary::Answer a = plain(call);
        if (lib.calls.size() == 3) a.idOut = "CP-40211";
        return a;
    };
    const int recordsBefore = RecordCount();
    const ScanResult result = Run();
    ASSERT_EQ(result.outcome, ScanResult::Outcome::Completed) << result.message;

    // The calibrator: the 20 tap settings in row order, device 0, one count passed on.
    ASSERT_EQ(lib.Commands(), kRunK1Y);
    for (int row = 1; row <= 20; ++row) {
        const FakeUsbLibrary::Call& call = lib.calls[row - 1];
        EXPECT_EQ(call.device, 0);
        EXPECT_EQ(call.countIn, 7 * (row - 1)) << row;
        // After SYST:REM, two SYST:ERR? and both readings of every earlier row.
        EXPECT_EQ(linesAtCall[row - 1], 3 + 2 * (row - 1)) << row;
    }
    EXPECT_EQ(lib.calls[2].id, "T720-40211");
    EXPECT_EQ(lib.calls[3].id, "CP-40211");
    EXPECT_EQ(s.DeviceId, "CP-40211");

    // The DMM: 40 readings, then local mode and the line closed.
    EXPECT_EQ(Measurements(), 40);
    EXPECT_EQ(dmmPort.lines.back(), "SYST:LOC");
    EXPECT_FALSE(dmmPort.PortOpen());

    // Settling: 0.6 s before the first and 0.7 s before the second reading of a row.
    EXPECT_EQ(SleepsOf(kSettleBeforeFirstReading), 20);
    EXPECT_EQ(SleepsOf(kSettleBeforeSecondReading), 20);

    for (int row = 1; row <= 20; ++row) {
        EXPECT_FLOAT_EQ(state.Reading1[row], meter.reading1[row]) << row;
        EXPECT_FLOAT_EQ(state.Reading2[row], meter.reading2[row]) << row;
    }
    EXPECT_EQ(host.yields, 20);
    EXPECT_TRUE(Evaluated());
    EXPECT_FALSE(s.StopRequest);

    // The record: in the data directory, with the calibrator and the DMM port named.
    EXPECT_EQ(RecordCount(), recordsBefore + 1);
    ASSERT_FALSE(result.recordPath.isEmpty());
    EXPECT_EQ(result.note, "Saved " + result.recordPath.toStdString());  // where it went
    const RecordParse parsed = ReadRunRecord(result.recordPath);
    ASSERT_TRUE(parsed.record) << parsed.error;
    EXPECT_FALSE(parsed.record->programVersion.empty());
    EXPECT_EQ(parsed.record->utcTime.size(), 20u);  // 2024-05-03T14:07:09Z
    EXPECT_EQ(parsed.record->serialNumber, "CP-40211");
    EXPECT_EQ(parsed.record->identification, "T720S09 V2.01");
    EXPECT_EQ(parsed.record->dmmPort, DmmPortText());
    for (int row = 1; row <= 20; ++row) {
        EXPECT_EQ(parsed.record->reading1[row], state.DmmReading1[row]) << row;
        EXPECT_EQ(parsed.record->reading2[row], state.DmmReading2[row]) << row;
    }
}

TEST_F(ScanTest, ARecordThatCannotBeSavedIsToldNotDropped) {
    // A file where the record directory belongs.
    const QString dir = RunRecordDirectory();
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(dir).path()));
    QFile blocker(dir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const ScanResult result = Run();
    QFile::remove(dir);
    EXPECT_EQ(result.outcome, ScanResult::Outcome::Completed);
    EXPECT_TRUE(result.recordPath.isEmpty());
    EXPECT_EQ(result.note.rfind("Run record not saved: ", 0), 0u) << result.note;
    EXPECT_TRUE(state.controls.CmdOpt.visible);  // the run itself stands
}

// A DMM whose inputs are not on the divider reads 0 V at every tap: there is no
// total to refer the deviations to. The readings are shown and kept, nothing else.
TEST_F(ScanTest, ReadingsThatCannotBeEvaluatedAreShownAndKeptButNotEvaluated) {
    meter.reading1 = {};
    meter.reading2 = {};
    state.controls.CmdOpt.visible = true;  // offered for an earlier run
    const ScanResult result = Run();
    EXPECT_EQ(result.outcome, ScanResult::Outcome::Completed);
    EXPECT_EQ(result.message,
              "Not evaluated: the second readings add up to 0 V, so there is no total to refer "
              "the deviations to");
    ASSERT_FALSE(result.recordPath.isEmpty());
    EXPECT_EQ(result.note, result.message + "; Saved " + result.recordPath.toStdString());
    EXPECT_FALSE(Evaluated());
    EXPECT_FALSE(state.controls.maxppm.visible || state.controls.minppm.visible);
    EXPECT_EQ(Grid().Cell(20, 2).text, "0.0000000");

    // A shunt picked by hand evaluates nothing either; the status bar says why.
    BeginShuntPick(state, 3);
    MenuItemClicked(state, 2);
    FinishShuntPick(state, host, 3);
    EXPECT_EQ(state.controls.statusPanel1, result.message);
    EXPECT_TRUE(state.controls.Picture1.primitives.empty());
    for (int row = 1; row < GridModel::kRows; ++row)
        for (int col = 5; col < GridModel::kCols; ++col)
            EXPECT_EQ(Grid().Cell(row, col).text, "") << row << "," << col;
}

TEST_F(ScanTest, ADmmPortHeldByTheCalibratorsOwnLinkIsSaidSo) {
    dmmPort.SetOpenable(false);  // the calibrator's link is on COM1
    dmmPort.openProblem = "/dev/ttyS0 is in use by another program";
    EXPECT_EQ(Run().message,
              "Run abandoned: the DMM port COM1 cannot be opened: /dev/ttyS0 is held by the "
              "calibrator's link; choose USB or COM 2 for the calibrator");
}

// ---------------------------------------------------------------- DMM faults

struct DmmFault {
    const char* name;
    int query;           // the measurement query that fails (0: the port does not open)
    std::string answer;  // what the meter sends then; empty: nothing
    std::string message;
    int commandsSent;
};

class ScanDmmFaultTest : public ScanTest, public ::testing::WithParamInterface<DmmFault> {};

TEST_P(ScanDmmFaultTest, AbandonsTheRunCleanly) {
    const DmmFault& f = GetParam();
    if (f.query == 0) dmmPort.SetOpenable(false);
    meter.onQuery = [&](int query, std::vector<ScriptedDmm::Reply>& replies) {
        if (query != f.query) return false;
        if (!f.answer.empty()) replies.push_back({f.answer, 0.05});
        return true;
    };
    const int recordsBefore = RecordCount();
    const ScanResult result = Run();

    const std::string message =
        f.query == 0 ? "Run abandoned: the DMM port " + DmmPortText() + " cannot be opened"
                     : f.message;
    EXPECT_EQ(result.outcome, ScanResult::Outcome::Abandoned);
    EXPECT_EQ(result.message, message);
    EXPECT_EQ(state.controls.statusPanel1, message);
    EXPECT_TRUE(s.StopRequest);  // the supervision ends the mode as after a stop
    EXPECT_EQ(lib.calls.size(), static_cast<size_t>(f.commandsSent));
    EXPECT_FALSE(dmmPort.PortOpen());
    if (f.query == 0) {
        EXPECT_TRUE(dmmPort.lines.empty());
    } else {
        EXPECT_EQ(dmmPort.lines.back(), "SYST:LOC");
        EXPECT_EQ(Measurements(), f.query);
        // The cells stay as far as they were written.
        const int row = (f.query + 1) / 2;
        EXPECT_EQ(Grid().Cell(row, 1).text.empty(), f.query % 2 == 1);
        EXPECT_TRUE(Grid().Cell(row, 2).text.empty());
        if (row > 1) {
            EXPECT_FALSE(Grid().Cell(row - 1, 2).text.empty());
        }
    }
    EXPECT_FALSE(Evaluated());
    EXPECT_EQ(RecordCount(), recordsBefore);
}

TEST(DmmReading, TheWholeOneVoltRangeIsAReadingAndNothingBeyond) {
    for (const char* within : {"+1,20000000E+00\r\n", "-1,2\n", "+0,00000000E+00\r\n"})
        EXPECT_TRUE(ParseDmmReading(within, 1).value) << within;
    for (const char* beyond : {"+1,20000001E+00\r\n", "-1,3\n", "NAN\n", "-9,9E+37\n"})
        EXPECT_FALSE(ParseDmmReading(beyond, 1).value) << beyond;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScanDmmFaultTest,
    ::testing::Values(
        DmmFault{"SilenceInRow1", 1, "", "Run abandoned: no answer from the DMM in row 1", 1},
        DmmFault{"AnEmptyLine", 6, "\r\n", "Run abandoned: no answer from the DMM in row 3", 3},
        DmmFault{"GarbageInRow7SecondQuery", 14, "\x15OVLD \xB5V\r\n",
                 "Run abandoned: the DMM answered \"\\x15OVLD \xC2\xB5V\" in row 7", 7},
        // Quoted as the meter sent it, and called what it is.
        DmmFault{"AnOverload", 3, "-9.90000000E+37\r\n",
                 "Run abandoned: the DMM answered \"-9.90000000E+37\" in row 2: an overload", 2},
        DmmFault{"BeyondTheRange", 3, "+1.5E+00\r\n",
                 "Run abandoned: the DMM answered \"+1.5E+00\" in row 2, beyond the 1 V range", 2},
        // Cut off by the time-out: "+5.0001" must not be taken for a reading of 5 V.
        DmmFault{"AnAnswerWithoutItsLineEnd", 4, "+5.0001",
                 "Run abandoned: incomplete answer \"+5.0001\" from the DMM in row 2", 2},
        DmmFault{"ALongAnswerIsQuotedShort", 9, std::string(60, 'A') + "\r\n",
                 "Run abandoned: the DMM answered \"" + std::string(40, 'A') + "...\" in row 5", 5},
        DmmFault{"PortCannotBeOpened", 0, "", "", 0}),
    [](const ::testing::TestParamInfo<DmmFault>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace t720::linearity
