#include "linearity/ReportContent.h"

#include "app/SharedState.h"
#include "linearity/RunHistory.h"
#include "linearity/ScanGrid.h"
#include "linearity/ShuntSearch.h"
#include "linearity/WindowActions.h"

#include <QDateTime>

namespace t720::linearity {

namespace {

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace

ReportRun PrepareReportRun(const RunRecord& record, const QString& recordPath,
                           const RowShunts& shunts, const EarlierCurve* earlier) {
    ReportRun run;
    run.record = record;
    run.recordPath = recordPath;
    if (earlier) run.state.earlier = *earlier;
    NullHost host;
    ShowRecordedRun(run.state, host, record.reading1, record.reading2);

    LinearityState search = run.state;
    SharedState shared;
    OptimiseShunts(search, shared, host);
    run.summary = search.controls.OptiL1;

    bool any = false;
    for (int row = 1; row <= 20; ++row) any = any || ValidShuntChoice(shunts[row]) != 0;
    if (any) {
        ApplyShunts(run.state, host, shunts);
        const GridModel& grid = run.state.controls.Results;
        for (int row = 1; row <= 20; ++row)
            if (run.state.RowShunt[row] != 0)
                run.shunts.push_back(grid.Cell(row, 0).text + " (row " + std::to_string(row) +
                                     ", " + Trimmed(grid.Cell(row, 4).text) +
                                     " %): " + Trimmed(grid.Cell(row, 3).text));
    }
    return run;
}

RowShunts ShuntsShown(const LinearityState& state) {
    RowShunts shunts{};
    for (int row = 1; row <= 20; ++row) {
        const std::string& text = state.controls.Results.Cell(row, 3).text;
        for (int choice = 1; choice < kShuntChoices; ++choice)
            if (!text.empty() && text == state.controls.mnu_r[choice].caption)
                shunts[row] = static_cast<int16_t>(choice);
    }
    return shunts;
}

std::string RunLabel(const char* role, const RunRecord& record) {
    const std::string local = LocalTimeText(record.utcTime);
    return std::string(role) + (local.empty() ? std::string() : " " + local.substr(0, 16));
}

ReportContent MakeReport(const RecordAt& run, const RunNotes& notes,
                         const std::optional<RecordAt>& asFound) {
    ReportContent c;
    c.programVersion = T720_VERSION_TEXT;
    c.madeUtc = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    const RunNotes tidy = Tidied(notes);
    c.operatorName = tidy.operatorName;
    c.dmm = tidy.dmm;
    c.note = tidy.note;
    if (!asFound) {
        c.run = PrepareReportRun(run.record, run.path, tidy.shunts);
        return c;
    }
    const PointValues found = MeasuredCurve(asFound->record);
    const EarlierCurve earlier{found, RunLabel("as found", asFound->record),
                               RunLabel("as left", run.record)};
    c.run = PrepareReportRun(run.record, run.path, tidy.shunts, &earlier);
    c.asFound = PrepareReportRun(asFound->record, asFound->path, RowShunts{});
    c.comparison = CompareRuns(found, c.run.state.RefLinDevPpm);
    return c;
}

QString DefaultReportPath(const QString& recordPath) {
    QString base = recordPath;
    if (base.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".pdf");
}

}  // namespace t720::linearity
