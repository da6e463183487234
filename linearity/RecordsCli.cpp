#include "linearity/RecordsCli.h"

#include "linearity/ReportContent.h"
#include "linearity/ReportWriter.h"
#include "linearity/RunHistory.h"
#include "linearity/RunsFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>

namespace t720::linearity {

namespace {

constexpr int kWriteError = 1;
constexpr int kUsageOrRecordError = 2;

struct Options {
    bool history = false;
    bool json = false;
    std::string serial;
    QString folder;
    QString report;
    QString plot;
    QString asFound;
    QString record;
    std::string error;
};

QString Local(const char* arg) {
    return QString::fromLocal8Bit(arg);
}

Options Parse(int argc, char** argv) {
    Options o;
    bool options = true;
    int positional = 0;
    auto value = [&](int& i, const char* name) -> const char* {
        if (i + 1 >= argc) {
            o.error = std::string(name) + " needs a value";
            return "";
        }
        return argv[++i];
    };
    for (int i = 1; i < argc && o.error.empty(); ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--history") {
            o.history = true;
        } else if (options && arg == "--json") {
            o.json = true;
        } else if (options && arg == "--serial") {
            o.serial = value(i, "--serial");
        } else if (options && arg == "--report") {
            o.report = Local(value(i, "--report"));
        } else if (options && arg == "--plot") {
            o.plot = Local(value(i, "--plot"));
        } else if (options && arg == "--as-found") {
            o.asFound = Local(value(i, "--as-found"));
        } else if (options && arg.starts_with("-")) {
            o.error = "unknown option " + arg;
        } else if (++positional > 1) {
            o.error = "more than one " + std::string(o.history ? "folder" : "record") + " given";
        } else {
            (o.history ? o.folder : o.record) = Local(argv[i]);
        }
    }
    if (!o.error.empty()) return o;
    const bool output = !o.report.isEmpty() || !o.plot.isEmpty();
    if (o.history && output)
        o.error = "--history lists records; it makes no report";
    else if (o.history && !o.asFound.isEmpty())
        o.error = "--as-found belongs to --report or --plot";
    else if (!o.history && (o.json || !o.serial.empty()))
        o.error = "--json and --serial belong to --history";
    else if (!o.history && o.record.isEmpty())
        o.error = "no record given";
    return o;
}

int Fail(int status, const std::string& what) {
    std::fprintf(stderr, "t720-linearity: %s\n", what.c_str());
    return status;
}

int ListHistory(const Options& o) {
    const QString folder = o.folder.isEmpty() ? CurrentRunsFolder().path : o.folder;
    const History h = ListRuns(folder, o.serial);
    if (!h.error.empty()) return Fail(kUsageOrRecordError, h.error);
    const std::string text = o.json ? HistoryJson(h) : HistoryText(h);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return std::ferror(stdout) ? kWriteError : 0;
}

std::optional<RecordAt> Read(const QString& path, std::string& error) {
    const RecordParse parsed = ReadRunRecord(path);
    if (!parsed.record) {
        error = path.toLocal8Bit().toStdString() + ": " + parsed.error;
        return std::nullopt;
    }
    if (const std::string why = RecordNotEvaluable(*parsed.record); !why.empty()) {
        error = path.toLocal8Bit().toStdString() + ": the readings cannot be evaluated: " + why;
        return std::nullopt;
    }
    return RecordAt{*parsed.record, path};
}

int Report(const Options& o) {
    std::string error;
    const std::optional<RecordAt> run = Read(o.record, error);
    if (!run) return Fail(kUsageOrRecordError, error);
    // What the last report of this record kept beside it: operator, DMM, note,
    // shunts and its "as found" run.
    const NotesParse notes = ReadRunNotes(o.record);
    if (!notes.error.empty()) std::fprintf(stderr, "t720-linearity: %s\n", notes.error.c_str());
    const RunNotes kept = notes.notes.value_or(RunNotes{});
    std::optional<RecordAt> asFound;
    if (!o.asFound.isEmpty()) {
        asFound = Read(o.asFound, error);
        if (!asFound) return Fail(kUsageOrRecordError, error);
    } else if (!kept.asFound.empty()) {
        const QString earlier =
            QFileInfo(o.record).dir().filePath(QString::fromStdString(kept.asFound));
        asFound = Read(earlier, error);
        if (!asFound)
            std::fprintf(stderr, "t720-linearity: the \"as found\" run is left out: %s\n",
                         error.c_str());
    }

    // Fonts and painting need the GUI library, never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "t720-linearity";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    const ReportContent report = MakeReport(*run, kept, asFound);
    if (!o.report.isEmpty())
        if (const std::string why = WriteReportPdf(report, o.report); !why.empty())
            return Fail(kWriteError, why);
    if (!o.plot.isEmpty())
        if (const std::string why = WritePlotFile(report.run, o.plot); !why.empty())
            return Fail(kWriteError, why);
    return 0;
}

}  // namespace

int RunRecordsCommand(int argc, char** argv) {
    bool ours = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        ours = ours || arg == "--history" || arg == "--report" || arg == "--plot";
    }
    if (!ours) return -1;
    const Options o = Parse(argc, argv);
    if (!o.error.empty())
        return Fail(kUsageOrRecordError, o.error + " (t720-linearity --help shows the usage)");
    if (o.history) {
        QCoreApplication app(argc, argv);
        return ListHistory(o);
    }
    return Report(o);
}

}  // namespace t720::linearity
