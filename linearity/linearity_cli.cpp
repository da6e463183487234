// t720-linearity: evaluates a stored linearity run as the linearity window does
// after a run, without a window and without devices.
//
//   t720-linearity [--no-optimise] [--] RUNFILE
//   t720-linearity --help
//   t720-linearity --history | --report | --plot ...   (RecordsCli.h)
//
// Prints the grid as its clipboard copy carries it (21 lines of 10 TAB-separated
// cells; lines end with "\n" here instead of the clipboard's CR LF), then, unless
// --no-optimise, runs the shunt optimisation and prints its five summary lines.
// Numbers use the decimal separator of the user's locale. Exit status 0 on
// success, 2 for a usage error, a record that is not valid, or readings that
// cannot be evaluated.
#include "app/SharedState.h"
#include "linearity/LinearityState.h"
#include "linearity/RecordsCli.h"
#include "linearity/RunRecord.h"
#include "linearity/ScanGrid.h"
#include "linearity/ShuntSearch.h"
#include "linearity/WindowActions.h"
#include "linearity/WindowHost.h"

#include <QCoreApplication>
#include <cstdio>
#include <string>

namespace {

constexpr int kUsageOrRecordError = 2;

constexpr const char* kUsage =
    "usage: t720-linearity [--no-optimise] [--] RUNFILE\n"
    "       t720-linearity --history [FOLDER] [--serial SN] [--json]\n"
    "       t720-linearity --report OUT.pdf [--plot OUT.svg|OUT.png] [--as-found EARLIER.csv]"
    " [--] RUNFILE\n";

// Says what is wrong with the arguments, then how they go.
int Usage(const std::string& what = {}) {
    if (!what.empty()) std::fprintf(stderr, "t720-linearity: %s\n", what.c_str());
    std::fputs(kUsage, stderr);
    return kUsageOrRecordError;
}

void PrintCopyText(const std::string& copy) {
    std::string out;
    out.reserve(copy.size());
    for (size_t i = 0; i < copy.size(); ++i) {
        if (copy[i] == '\r' && i + 1 < copy.size() && copy[i + 1] == '\n') continue;
        out += copy[i];
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // The history, reports and plots (RecordsCli.h).
    if (const int status = t720::linearity::RunRecordsCommand(argc, argv); status >= 0)
        return status;
    QCoreApplication app(argc, argv);
    using namespace t720::linearity;

    bool optimise = true;
    QString path;
    bool havePath = false;
    bool options = true;  // until "--", so that a file named "-x.csv" can be given
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        } else if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--no-optimise") {
            optimise = false;
        } else if (options && arg.starts_with("-")) {
            return Usage("unknown option \"" + arg + "\"");
        } else if (havePath) {
            return Usage("one run file only, not also \"" + arg + "\"");
        } else {
            path = QString::fromLocal8Bit(argv[i]);
            havePath = true;
        }
    }
    if (!havePath) return Usage();

    const RecordParse parsed = ReadRunRecord(path);
    if (!parsed.record) {
        std::fprintf(stderr, "t720-linearity: %s: %s\n", path.toLocal8Bit().constData(),
                     parsed.error.c_str());
        return kUsageOrRecordError;
    }

    LinearityState state;
    NullHost host;
    const std::string why =
        ShowRecordedRun(state, host, parsed.record->reading1, parsed.record->reading2);
    if (!why.empty()) {
        std::fprintf(stderr, "t720-linearity: %s: the readings cannot be evaluated: %s\n",
                     path.toLocal8Bit().constData(), why.c_str());
        return kUsageOrRecordError;
    }
    PrintCopyText(CopyGridText(state));

    if (optimise) {
        t720::SharedState shared;
        OptimiseShunts(state, shared, host);
        for (const std::string& line : state.controls.OptiL1) std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}
