// The run records at the size of a lab's shared folder: the history of 10 000
// generated records listed (every record read and evaluated), and a report with an
// "as found" run written as PDF. Wall-clock time, as the operator waits for it;
// the records were just written, so the file system's cache holds them.
//
//   build/bin/bench_records [RECORDS]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "linearity/ReportContent.h"
#include "linearity/ReportWriter.h"
#include "linearity/RunHistory.h"

namespace {

using namespace t720::linearity;

constexpr int kRepetitions = 5;

// A divider of 0.1 V steps, each off by up to ±300 ppm (a fixed pseudo-random
// sequence per record), run at one-minute intervals by five calibrators.
RunRecord Generated(int n) {
    RunRecord r;
    r.programVersion = "1.18.0";
    r.utcTime = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)
                    .addSecs(60LL * n)
                    .toString(Qt::ISODate)
                    .toStdString();
    r.serialNumber = "T720-4021" + std::to_string(n % 5);
    r.identification = "T720S09 V2.01";
    r.dmmPort = "COM1 (/dev/ttyS0)";
    uint32_t x = 20240503u + static_cast<uint32_t>(n);
    for (int row = 1; row <= 20; ++row) {
        x = x * 1664525u + 1013904223u;
        const double ppm = static_cast<double>(x >> 8) / (1u << 24) * 600.0 - 300.0;
        r.reading1[row] = r.reading2[row] = 0.1 * (1.0 + ppm * 1e-6);
    }
    return r;
}

template <typename Work>
void Time(const char* what, const char* goal, Work work) {
    double first = 0, best = 1e30;
    for (int i = 0; i < kRepetitions; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        const double ms = t.nsecsElapsed() / 1e6;
        if (i == 0) first = ms;
        best = std::min(best, ms);
    }
    std::printf("%s: %.1f ms (first %.1f ms, best of %d; goal %s)\n", what, best, first,
                kRepetitions, goal);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int records = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    for (int n = 0; n < records; ++n) {
        const RecordSave saved = SaveRunRecord(dir.path(), Generated(n));
        if (!saved.ok()) {
            std::fprintf(stderr, "%s\n", saved.error.c_str());
            return 1;
        }
    }

    size_t listed = 0;
    Time(("history of " + std::to_string(records) + " records listed").c_str(), "<= 2000 ms",
         [&] { listed = ListRuns(dir.path()).entries.size(); });
    if (listed != static_cast<size_t>(records)) {
        std::fprintf(stderr, "listed %zu of %d records\n", listed, records);
        return 1;
    }

    const RecordAt left{Generated(records - 1),
                        dir.filePath(RunRecordFileName(Generated(records - 1)))};
    const RecordAt found{Generated(records - 6),
                         dir.filePath(RunRecordFileName(Generated(records - 6)))};
    RunNotes notes;
    notes.operatorName = "Bench";
    notes.shunts[3] = 3;
    const QString pdf = dir.filePath("report.pdf");
    std::string error;
    Time("report with an as found run written (PDF, 2 pages)", "<= 1000 ms",
         [&] { error = WriteReportPdf(MakeReport(left, notes, found), pdf); });
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
