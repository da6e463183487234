// Run records on disk and the command-line evaluator that reads them.
#include "linearity/RunRecord.h"

#include "LinearityTestSupport.h"
#include "link/NumberText.h"
#include "sim/ChildProcess.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <bit>
#include <cmath>
#include <limits>

namespace t720::linearity {
namespace {

RunRecord Sample() {
    RunRecord r;
    r.programVersion = "1.18.0";
    r.utcTime = "2024-05-03T14:07:09Z";
    r.serialNumber = "T720/0815 a";
    r.identification = "T720 V2.1\r\nsecond line";
    r.dmmPort = "/dev/ttyUSB1";
    const std::array<int, 20> ppm = {5, 160, -4, 3,  65, -2, 8, 240, -6, 1,
                                     4, -3,  6,  -2, 3,  -5, 2, 7,   -1, 0};
    for (int row = 1; row <= 20; ++row) {
        r.reading1[row] = 0.5 * (1 + ppm[row - 1] * 1e-6) + 1e-7 * row;
        r.reading2[row] = 0.5 * (1 + ppm[row - 1] * 1e-6);
    }
    r.reading1[3] = -0.0;
    r.reading1[4] = std::numeric_limits<double>::denorm_min() * 3;
    r.reading2[5] = 1.17549435e-38;
    r.reading2[6] = -0.123456789012345678;
    return r;
}

// A valid record text with line `lineNo` (1-based) replaced.
std::string WithLine(size_t lineNo, const std::string& replacement) {
    const std::string text = RunRecordText(Sample());
    size_t start = 0;
    for (size_t i = 1; i < lineNo; ++i) start = text.find('\n', start) + 1;
    const size_t end = text.find('\n', start);
    return text.substr(0, start) + replacement + text.substr(end);
}

constexpr size_t kHeaderLine = 7;  // after six comment lines
constexpr size_t kRow1Line = 8;

TEST(RunRecord, SavedReadBackBitForBitAndNeverOverwritten) {
    QTemporaryDir dir;
    const RunRecord r = Sample();
    const t720::test::ScopedUmask open(0);  // others may read a record, never change it
    const RecordSave saved = SaveRunRecord(dir.path() + "/runs", r);
    ASSERT_TRUE(saved.ok()) << saved.error;
    EXPECT_TRUE(saved.path.endsWith("/runs/20240503T140709Z_T720_0815_a.csv"));
    EXPECT_EQ(std::pair(t720::test::Mode(saved.path), t720::test::Mode(dir.path() + "/runs")),
              std::pair(0644, 0755));

    const RecordParse read = ReadRunRecord(saved.path);
    ASSERT_TRUE(read.record) << read.error;
    for (int row = 1; row <= 20; ++row) {
        EXPECT_EQ(std::bit_cast<uint64_t>(read.record->reading1[row]),
                  std::bit_cast<uint64_t>(r.reading1[row]))
            << row;
        EXPECT_EQ(std::bit_cast<uint64_t>(read.record->reading2[row]),
                  std::bit_cast<uint64_t>(r.reading2[row]))
            << row;
    }
    EXPECT_EQ(read.record->serialNumber, r.serialNumber);
    EXPECT_EQ(read.record->identification, "T720 V2.1  second line");  // kept on one line
    EXPECT_EQ(read.record->dmmPort, r.dmmPort);
    EXPECT_EQ(read.record->utcTime, r.utcTime);

    // A second record of the same second gets a name of its own, and a serial
    // line's 4 KiB answer still leaves a name the file system takes.
    const RecordSave second = SaveRunRecord(dir.path() + "/runs", r);
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(second.path.endsWith("/runs/20240503T140709Z_T720_0815_a_2.csv"));
    RunRecord longSerial = r;
    longSerial.serialNumber.assign(4096, '7');
    const RecordSave third = SaveRunRecord(dir.path() + "/runs", longSerial);
    ASSERT_TRUE(third.ok()) << third.error;
    EXPECT_TRUE(third.path.endsWith("Z_" + QString(64, '7') + ".csv"));
    // Windows line ends are read.
    std::string crlf;
    for (char c : RunRecordText(r)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(ParseRunRecord(crlf).record);
}

TEST(RunRecord, KeepsWhatTheDmmSaidSoTheRecordShowsWhatTheWindowShowed) {
    // Answers whose last digit a float would lose: 0.10000025 as a float is
    // 0.100000247.., shown as 0.1000002 instead of 0.1000003.
    LinearityState window = test::StateAfterRun(test::Uniform(0.5f));
    WriteFirstReading(window, 1, *ParseDecimalComma("+1,00000250E-01\r\n"));
    WriteSecondReading(window, 1, *ParseDecimalComma("+1,00000450E-01\r\n"));
    const RunRecord record = RecordNow(window.DmmReading1, window.DmmReading2, "1", "", "");
    const RecordParse read = ParseRunRecord(RunRecordText(record));
    ASSERT_TRUE(read.record) << read.error;
    LinearityState again;
    NullHost host;
    ShowRecordedRun(again, host, read.record->reading1, read.record->reading2);
    EXPECT_EQ(again.controls.Results.Cell(1, 1).text, "0.1000003");
    EXPECT_EQ(again.controls.Results.Cell(1, 2).text, "0.1000005");
    EXPECT_EQ(window.controls.Results.Cell(1, 1).text, "0.1000003");
    EXPECT_EQ(std::bit_cast<uint32_t>(again.Reading2[1]),
              std::bit_cast<uint32_t>(window.Reading2[1]));

    // A record of an earlier version kept floats: they read back as those floats.
    std::string old = RunRecordText(record);
    old.replace(old.find("row,dmm_reading1_V,dmm_reading2_V"), 33, "row,reading1_V,reading2_V");
    old.replace(old.find("\n1,") + 1, old.find('\n', old.find("\n1,") + 1) - old.find("\n1,") - 1,
                "1,0.10000025,0.10000045");
    const RecordParse earlier = ParseRunRecord(old);
    ASSERT_TRUE(earlier.record) << earlier.error;
    EXPECT_EQ(earlier.record->reading1[1], static_cast<double>(0.10000025f));
}

std::string Truncated(size_t keepLines) {
    const std::string text = RunRecordText(Sample());
    size_t pos = 0;
    for (size_t i = 0; i < keepLines; ++i) pos = text.find('\n', pos) + 1;
    return text.substr(0, pos);
}

TEST(RunRecord, MalformedRecordsAreRejectedNamingTheLine) {
    const struct {
        std::string text;
        const char* line;  // the message must begin with this
    } cases[] = {{"", "file is empty"},
                 {WithLine(kHeaderLine, "row,first,second"), "line 7:"},
                 {Truncated(kHeaderLine + 19), "line 27:"},               // a row missing
                 {RunRecordText(Sample()) + "21,0.5,0.5\n", "line 28:"},  // a row too many
                 {Truncated(kHeaderLine + 20).substr(0, Truncated(kHeaderLine + 20).size() - 3),
                  "line 27:"},  // the last row cut off inside its number
                 {WithLine(kRow1Line + 1, "3,0.5,0.5"), "line 9:"},   // out of order
                 {WithLine(kRow1Line + 4, "5,0.5,0,5"), "line 12:"},  // a decimal comma
                 {WithLine(kRow1Line, "1,inf,0.5"), "line 8:"},
                 {WithLine(kRow1Line, "1,\x1b[2J,0.5"), R"(line 8: reading1 "\x1B[2J" is not)"},
                 {WithLine(kRow1Line, "1,1e39,0.5"), "line 8:"},  // beyond a float
                 {WithLine(kRow1Line, std::string("1,0.5\0,0.5", 10)), "line 8:"},
                 {WithLine(2, "# " + std::string(5000, 'x')), "line 2:"},  // a line too long
                 {std::string(2 * 1024 * 1024, '#'), "larger than"}};
    for (const auto& c : cases) {
        const RecordParse r = ParseRunRecord(c.text);
        EXPECT_FALSE(r.record) << c.line;
        EXPECT_TRUE(r.error.starts_with(c.line)) << r.error;
    }
    // Numbers, but none the DMM's 1 V range gives (+9.9E+37 is its overload).
    for (const std::string reading : {"1e300", "+9.9E+37"})
        EXPECT_EQ(ParseRunRecord(WithLine(kRow1Line, "1,0.5," + reading)).error,
                  "line 8: reading2 \"" + reading + "\" is not a reading of the 1 V range");
}

// The command-line evaluator, run as the operator would run it.
class LinearityCli : public testing::Test {
  protected:
    struct Result {
        int exitCode;
        QString out;
        QString err;
    };

    Result Run(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C");
        env.insert("LANG", "C");
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(sim::BuiltProgram("t720-linearity")), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QString WriteRecord(const std::string& text) {
        const QString path = dir_.path() + "/run.csv";
        EXPECT_TRUE(t720::test::WriteFile(path, QByteArray::fromStdString(text)));
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(LinearityCli, GridAndSummaryOfARecord) {
    const QString record = WriteRecord(RunRecordText(Sample()));
    const Result r = Run({record});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 21 + 5 + 1);  // the last "\n" leaves an empty piece
    EXPECT_EQ(lines[0], "copy\t1.MW in V\t2.MW in V\tR Shunt\t\t\tdR ppm\tdRS ppm\td% ppm\t");
    EXPECT_TRUE(lines[1].startsWith("R 116\t0.5000026\t0.5000025\t\t 100 ... 90\t"))
        << lines[1].toStdString();
    for (int i = 0; i < 21; ++i) EXPECT_EQ(lines[i].count('\t'), 9) << i;
    EXPECT_FALSE(r.out.contains('\r'));
    for (int n = 0; n < 5; ++n)
        EXPECT_TRUE(lines[21 + n].startsWith(QString::number(n) + " Rs:  Bew=")) << n;
    EXPECT_EQ(Run({"--no-optimise", record}).out, lines.mid(0, 21).join('\n') + '\n');
}

TEST_F(LinearityCli, InvalidRecordsAndUsageErrorsEndWithStatusTwo) {
    const Result r = Run({WriteRecord(WithLine(kRow1Line + 2, "3,0.5,volts"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("line 10:")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    for (const QStringList& args :
         {QStringList{}, {"--bogus", "x.csv"}, {"a.csv", "b.csv"}, {dir_.path() + "/missing.csv"}})
        EXPECT_EQ(Run(args).exitCode, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(Run({"--bogus", "x.csv"})
                    .err.startsWith("t720-linearity: unknown option \"--bogus\"\nusage:"));

    // An all-zero record is a record, but its readings cannot be evaluated.
    RunRecord zero = Sample();
    zero.reading1.fill(0);
    zero.reading2.fill(0);
    const QString zeroPath = WriteRecord(RunRecordText(zero));
    const Result z = Run({zeroPath});
    EXPECT_EQ(z.exitCode, 2);
    EXPECT_TRUE(
        z.err.contains(": the readings cannot be evaluated: the second readings add up to 0 V"))
        << z.err.toStdString();
    EXPECT_TRUE(z.out.isEmpty());
    // Nor has it a curve to report, or to list in the history.
    const Result report = Run({"--report", dir_.path() + "/run.pdf", zeroPath});
    EXPECT_EQ(report.exitCode, 2);
    EXPECT_TRUE(report.err.contains("cannot be evaluated")) << report.err.toStdString();
    EXPECT_FALSE(Run({"--history", dir_.path()}).out.contains("max"));
    EXPECT_EQ(Run({"--help"}).exitCode, 0);
}

}  // namespace
}  // namespace t720::linearity
