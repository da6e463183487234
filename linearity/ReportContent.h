// What a printable report of a run holds, as plain data: the run (and an earlier
// run "as found") each evaluated exactly as the window shows it, the people and
// instruments involved, and the comparison of the two runs. ReportWriter draws it.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/RunComparison.h"
#include "linearity/RunNotes.h"
#include "linearity/RunRecord.h"

#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace t720::linearity {

struct ReportRun {
    QString recordPath;
    RunRecord record;
    // The window's controls after the record was shown as a run that measured it,
    // with the shunts applied as a take-over of a summary line shows them.
    LinearityState state;
    std::array<std::string, 5> summary;  // the optimisation's five lines
    std::vector<std::string> shunts;     // "R 114 (row 3): 750 kOhm", one per shunt
};

// The record evaluated as a run would have been, the shunt search run on a copy
// for its summary lines (the grid stays as the shunts leave it), then the shunts
// of rows 1..20 applied unless all are 0. With `earlier` the plot shows that run
// under this one.
ReportRun PrepareReportRun(const RunRecord& record, const QString& recordPath,
                           const RowShunts& shunts, const EarlierCurve* earlier = nullptr);

struct ReportContent {
    std::string programVersion;  // of this program, which makes the report
    std::string madeUtc;         // ISO 8601
    std::string operatorName;
    std::string dmm;
    std::string note;
    ReportRun run;  // the run shown; "as left" when compared
    std::optional<ReportRun> asFound;
    std::optional<Comparison> comparison;
};

// The label of a run in the plot's key: "as found 2024-05-03 16:07".
std::string RunLabel(const char* role, const RunRecord& record);

// The shunts the grid's column "R Shunt" shows, rows 1..20: what the operator
// sees chosen (the search leaves other values behind in RowShunt).
RowShunts ShuntsShown(const LinearityState& state);

// The report of `run` with the operator's notes (operator, DMM, note, shunts);
// with `asFound`, compared with that earlier run.
struct RecordAt {
    RunRecord record;
    QString path;
};
ReportContent MakeReport(const RecordAt& run, const RunNotes& notes,
                         const std::optional<RecordAt>& asFound);

// The report's file beside the record: "X.csv" is reported in "X.pdf".
QString DefaultReportPath(const QString& recordPath);

}  // namespace t720::linearity
