// The records folder's history, the notes kept beside a record, two runs compared,
// and t720-linearity's --history, --report and --plot run as a test stand would.
#include "linearity/ReportContent.h"
#include "linearity/RunHistory.h"
#include "linearity/RunsFolder.h"

#include "LinearityTestSupport.h"
#include "link/NumberText.h"
#include "sim/ChildProcess.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace t720::linearity {
namespace {

RunRecord Record(const char* utc, const std::string& serial, std::initializer_list<int> ppm) {
    RunRecord r;
    r.programVersion = "1.18.0";
    r.utcTime = utc;
    r.serialNumber = serial;
    r.identification = "T720S09 V2.01";
    r.dmmPort = "COM1 (/dev/ttyS0)";
    const RowValues volts = test::ReadingsPpm(ppm);
    for (int row = 1; row <= 20; ++row) r.reading1[row] = r.reading2[row] = volts[row] / 5.0f;
    return r;
}

const RunRecord kAsFound = Record("2024-05-03T14:07:09Z", "T720-40211",
                                  {5, 160, -4, 3, 65, -2, 8, 240, -6, 1, 4, -3, 6, -2, 3, -5, 2, 7, -1, 0});
const RunRecord kAsLeft = Record("2024-05-10T09:12:00Z", "T720-40211",
                                 {5, 40, -4, 3, 15, -2, 8, 30, -6, 1, 4, -3, 6, -2, 3, -5, 2, 7, -1, 0});

constexpr std::initializer_list<int> kFlat = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

QString Save(const QString& folder, const RunRecord& r) {
    const RecordSave saved = SaveRunRecord(folder, r);
    EXPECT_TRUE(saved.ok()) << saved.error;
    return saved.path;
}

QString Process(const QString& program, const QStringList& args, int* exitCode = nullptr,
            QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
    if (exitCode) *exitCode = p.exitCode();
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString Cli() {
    return QString::fromStdString(sim::BuiltProgram("t720-linearity"));
}

TEST(RunComparison, TapByTapTheLaterRunMinusTheEarlier) {
    PointValues found{}, left{};
    const float f[] = {0, 1.5f, -2.25f, 10, -0.5f, 3, 0, 0, 0, 7.75f, 0};
    const float l[] = {0, 0.5f, 1.25f, -10, -0.5f, 2, 0, 0, 0, -0.25f, 0};
    std::copy(std::begin(f), std::end(f), found.begin());
    std::copy(std::begin(l), std::end(l), left.begin());
    const Comparison c = CompareRuns(found, left);
    const double expected[] = {0, -1.0, 3.5, -20.0, 0, -1.0, 0, 0, 0, -8.0, 0};
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(c[i].percent, 10 * i);
        EXPECT_EQ(c[i].difference, expected[i]) << i;
    }
    const CurveExtremes e = Extremes(found);
    EXPECT_EQ(e.max, 10.0f);
    EXPECT_EQ(e.min, -2.25f);
    // Lines run from 100 % down, as the grid does.
    const auto lines = ComparisonLines(c);
    EXPECT_EQ(lines[1], " 100 %        0.0       0.0          0.0");
    EXPECT_EQ(lines[2], "  90 %        7.8      -0.3         -8.0");
    EXPECT_EQ(lines[8], "  30 %       10.0     -10.0        -20.0");

    // The curve compared is the window's own reference curve, bit for bit.
    const LinearityState shown = test::StateAfterRun(test::kSkewed);
    RunRecord r;
    for (int row = 1; row <= 20; ++row) r.reading2[row] = test::kSkewed[row];
    EXPECT_EQ(MeasuredCurve(r), shown.RefLinDevPpm);
}

TEST(RunHistory, ListsGoodOldAndBrokenRecordsNewestFirst) {
    QTemporaryDir dir;
    const QString found = Save(dir.path(), kAsFound);
    const QString left = Save(dir.path(), kAsLeft);
    Save(dir.path(), Record("2024-06-01T08:00:00Z", "OTHER", kFlat));
    // A record of an earlier version (floats, no comment lines) and a broken one.
    std::string old = RunRecordText(kAsFound);
    old = old.substr(old.find("row,"));
    old.replace(0, old.find('\n'), "row,reading1_V,reading2_V");
    ASSERT_TRUE(t720::test::WriteFile(dir.path() + "/20230101T000000Z_T720-40211.csv", old.c_str()));
    ASSERT_TRUE(t720::test::WriteFile(dir.path() + "/20240201T000000Z_T720-40211.csv", "1,2,3\n"));
    ASSERT_TRUE(t720::test::WriteFile(dir.path() + "/readme.txt", "not a record"));
    RunNotes notes;
    notes.operatorName = "A. Tester";
    ASSERT_EQ(SaveRunNotes(left, notes), "");

    const History all = ListRuns(dir.path());
    ASSERT_TRUE(all.error.empty());
    ASSERT_EQ(all.entries.size(), 5u);
    EXPECT_EQ(all.entries[0].serialNumber, "OTHER");
    EXPECT_EQ(all.entries[1].path, left);
    EXPECT_TRUE(all.entries[1].reportMade);
    EXPECT_FALSE(all.entries[2].reportMade);
    EXPECT_EQ(all.entries[2].path, found);
    EXPECT_TRUE(all.entries[3].error.starts_with("line 1:")) << all.entries[3].error;
    EXPECT_EQ(all.entries[3].utcTime, "2024-02-01T00:00:00Z");  // from its name
    EXPECT_FALSE(all.entries[3].deviation);
    // The old record reads, without a serial number of its own, and its curve is
    // that of the same readings kept as floats.
    EXPECT_TRUE(all.entries[4].error.empty()) << all.entries[4].error;
    EXPECT_EQ(all.entries[4].deviation->max, all.entries[2].deviation->max);
    // The extremes are those the window's labels show for the run.
    const LinearityState shown = PrepareReportRun(kAsFound, {}, {}).state;
    EXPECT_EQ(FormatLocal(all.entries[2].deviation->max, "#######0.0"),
              shown.controls.maxppm.caption);
    EXPECT_EQ(FormatLocal(all.entries[2].deviation->min, "#######0.0"),
              shown.controls.minppm.caption);

    // A serial number filter keeps the broken records in view.
    const History mine = ListRuns(dir.path(), " T720-40211 ");
    ASSERT_EQ(mine.entries.size(), 3u);
    EXPECT_FALSE(mine.entries[2].error.empty());
    const std::string text = HistoryText(mine);
    EXPECT_NE(text.find(" report  " + QFileInfo(left).fileName().toStdString()), std::string::npos)
        << text;
    EXPECT_NE(text.find("cannot be read: line 1:"), std::string::npos);
    EXPECT_NE(HistoryJson(mine).find("\"report\": true"), std::string::npos);

    EXPECT_NE(ListRuns(dir.path() + "/gone").error.find("is not there"), std::string::npos);
}

TEST(RunNotes, KeptBesideTheRecordWhichStaysAsTheRunWroteIt) {
    QTemporaryDir dir;
    const QString record = Save(dir.path(), kAsLeft);
    const QByteArray before = t720::test::ReadFile(record);
    RunNotes n;
    n.operatorName = "Jörg\tMüller";
    n.dmm = "HP 34401A #12";
    n.note = "first line\\\nsecond line";
    n.shunts[3] = 3;
    n.shunts[18] = 5;
    n.asFound = QFileInfo(Save(dir.path(), kAsFound)).fileName().toStdString();
    ASSERT_EQ(SaveRunNotes(record, n), "");
    EXPECT_EQ(t720::test::ReadFile(record), before);
    EXPECT_TRUE(RunNotesPath(record).endsWith("Z_T720-40211.notes"));

    const NotesParse read = ReadRunNotes(record);
    ASSERT_TRUE(read.notes) << read.error;
    EXPECT_EQ(read.notes->operatorName, "Jörg Müller");  // one line
    EXPECT_EQ(read.notes->note, n.note);
    EXPECT_EQ(read.notes->shunts, n.shunts);
    EXPECT_EQ(read.notes->asFound, n.asFound);
    // No notes is no error; damaged notes are.
    EXPECT_FALSE(ReadRunNotes(dir.path() + "/none.csv").notes);
    EXPECT_TRUE(ReadRunNotes(dir.path() + "/none.csv").error.empty());
    const std::string text = RunNotesText(n) + "later_key: kept for a later version\n";
    EXPECT_TRUE(ParseRunNotes(text).notes);
    std::string bad = RunNotesText(n);
    bad.replace(bad.find("shunts: ") + 8, 1, "9");
    EXPECT_EQ(ParseRunNotes(bad).error.rfind("line 5:", 0), 0u) << ParseRunNotes(bad).error;
}

TEST(RunsFolder, AFolderNotThereIsNeverCreatedAndTheRunKeptAtHome) {
    QTemporaryDir dir;
    const RunSaved saved = SaveRunInto({dir.path() + "/share/runs", true}, kAsLeft);
    EXPECT_FALSE(QDir(dir.path() + "/share").exists());
    EXPECT_TRUE(saved.path.startsWith(RunRecordDirectory())) << saved.path.toStdString();
    EXPECT_NE(saved.note.find("share/runs is not there); saved in"), std::string::npos)
        << saved.note;
    const RunSaved shared = SaveRunInto({dir.path(), true}, kAsLeft);
    EXPECT_EQ(QFileInfo(shared.path).path(), dir.path());
    EXPECT_EQ(shared.note, "Saved " + shared.path.toStdString());  // where

    ASSERT_EQ(SetRunsFolder(dir.path()), "");
    EXPECT_EQ(CurrentRunsFolder().path, dir.path());
    EXPECT_TRUE(CurrentRunsFolder().configured);
    ASSERT_EQ(SetRunsFolder({}), "");
    EXPECT_FALSE(CurrentRunsFolder().configured);
}

// Every number of a grid, as the window shows it, stands in the PDF's text.
void ExpectGridIn(const GridModel& grid, const QString& text) {
    for (int row = 0; row < GridModel::kRows; ++row)
        for (int col = 0; col < GridModel::kCols; ++col) {
            const QString cell = QString::fromStdString(grid.Cell(row, col).text).trimmed();
            if (cell.isEmpty()) continue;
            EXPECT_TRUE(text.contains(cell)) << row << "," << col << " " << cell.toStdString();
        }
}

TEST(RecordsCli, ReportAndPlotOfARecordWithItsNotesAndAsFoundRun) {
    QTemporaryDir dir;
    const QString found = Save(dir.path(), kAsFound);
    const QString left = Save(dir.path(), kAsLeft);
    RunNotes n;
    n.operatorName = "A. Tester";
    n.dmm = "DMM-0042";
    n.note = "Shunt soldered at R 114.";
    n.shunts[3] = 3;
    n.asFound = QFileInfo(found).fileName().toStdString();
    ASSERT_EQ(SaveRunNotes(left, n), "");

    int status = -1;
    QString err;
    const QString pdf = dir.path() + "/report.pdf";
    Process(Cli(), {"--report", pdf, "--plot", dir.path() + "/plot.svg", left}, &status, &err);
    ASSERT_EQ(status, 0) << err.toStdString();
    const QByteArray bytes = t720::test::ReadFile(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_FALSE(bytes.contains("/Subtype /Image"));  // the plot is drawn, not pasted
    const QString text = Process("pdftotext", {"-layout", pdf, "-"});
    for (const char* expected :
         {"T720-40211", "T720S09 V2.01", "A. Tester", "DMM-0042", "Shunt soldered at R 114.",
          "20240503T140709Z_T720-40211.csv", "20240510T091200Z_T720-40211.csv",
          "R 114 (row 3, 80 ... 70 %): 750 kOhm", "page 1 of 2", "page 2 of 2", "4 Rs:"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // Both grids as the window shows them: the run with the notes' shunt, the
    // earlier one as measured; and every difference of the comparison.
    const ReportContent c = MakeReport({kAsLeft, left}, n, RecordAt{kAsFound, found});
    ExpectGridIn(c.run.state.controls.Results, text);
    ExpectGridIn(c.asFound->state.controls.Results, text);
    EXPECT_EQ(c.run.state.controls.Results.Cell(3, 3).text, "  750 kOhm");
    for (const TapComparison& t : *c.comparison)
        EXPECT_TRUE(text.contains(QString::fromStdString(FormatPattern(t.difference, "#0.0"))));
    EXPECT_TRUE(t720::test::ReadFile(dir.path() + "/plot.svg").contains("<svg"));

    // PNG; and an output that cannot be written leaves nothing and says why.
    Process(Cli(), {"--plot", dir.path() + "/plot.png", left}, &status);
    EXPECT_TRUE(t720::test::ReadFile(dir.path() + "/plot.png").startsWith("\x89PNG"));
    Process(Cli(), {"--report", dir.path() + "/gone/r.pdf", left}, &status, &err);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("gone is not there")) << err.toStdString();
    Process(Cli(), {"--report", dir.path(), left}, &status, &err);  // a folder, not a file
    EXPECT_EQ(status, 1);
    EXPECT_EQ(QDir(dir.path()).entryList({"*.pdf*"}, QDir::Files), QStringList{"report.pdf"});
}

TEST(RecordsCli, HistoryOfAFolderAndUsageErrors) {
    QTemporaryDir dir;
    Save(dir.path(), kAsFound);
    Save(dir.path(), Record("2024-06-01T08:00:00Z", "OTHER", kFlat));
    int status = -1;
    const QString all = Process(Cli(), {"--history", dir.path()}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(all.count('\n'), 2);
    EXPECT_TRUE(all.contains("  OTHER  max 0.0 ppm  min -0.1 ppm  -  20240601T080000Z_OTHER.csv"))
        << all.toStdString();
    const QString json = Process(Cli(), {"--history", dir.path(), "--serial", "OTHER", "--json"});
    EXPECT_TRUE(json.startsWith("[\n  {\"file\": \"20240601T080000Z_OTHER.csv\""))
        << json.toStdString();
    EXPECT_EQ(json.count("\"file\""), 1);
    for (const QStringList& args :
         {QStringList{"--history", dir.path() + "/gone"}, {"--history", "--report", "x.pdf"},
          {"--report", "x.pdf"}, {"--json", "--report", "x.pdf", "r.csv"},
          {"--history", "--bogus"}}) {
        Process(Cli(), args, &status);
        EXPECT_EQ(status, 2) << args.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace t720::linearity
