#include "linearity/RunRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <charconv>
#include <cmath>
#include <vector>

#include "app/PrivateFiles.h"
#include "linearity/DmmLink.h"
#include "link/NumberText.h"

namespace t720::linearity {

namespace {

constexpr std::string_view kHeader = "row,dmm_reading1_V,dmm_reading2_V";
// Records of earlier versions kept the readings as floats.
constexpr std::string_view kFloatHeader = "row,reading1_V,reading2_V";
// Characters of the serial number kept in a record's file name.
constexpr qsizetype kSerialInName = 64;

struct CommentKey {
    std::string_view key;
    std::string RunRecord::*field;
};
constexpr std::array<CommentKey, 5> kCommentKeys = {{
    {"program_version", &RunRecord::programVersion},
    {"utc_time", &RunRecord::utcTime},
    {"serial_number", &RunRecord::serialNumber},
    {"identification", &RunRecord::identification},
    {"dmm_port", &RunRecord::dmmPort},
}};

// Device texts may carry anything; a comment must stay one line.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

std::string NumberText(double value) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string LineError(size_t line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

// One reading: what is wrong with the field, or "" with the value in `reading`.
// The DMM measures on its 1 V range, so a record holds nothing beyond it: a number
// such as the overload answer +9.9E+37 is no reading, and the evaluation takes
// the readings as floats. A float record's reading is that float.
std::string ParseReading(std::string_view field, bool floats, double& reading) {
    if (field.size() > 1 && field[0] == '+' && field[1] != '-' && field[1] != '+')
        field.remove_prefix(1);  // as the DMM writes it
    const char* end = field.data() + field.size();
    double value = 0;
    const auto res = std::from_chars(field.data(), end, value);
    if (field.empty() || res.ptr != end || std::isnan(value) ||
        (res.ec != std::errc() && res.ec != std::errc::result_out_of_range))
        return "is not a number";
    if (res.ec != std::errc() || !(std::fabs(value) <= kDmmReadingLimit))
        return "is not a reading of the 1 V range";
    float single = 0;
    reading = floats && std::from_chars(field.data(), end, single).ec == std::errc()
                  ? static_cast<double>(single)
                  : value;
    return {};
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

void ReadComment(std::string_view line, RunRecord& record) {
    line.remove_prefix(1);
    if (line.starts_with(' ')) line.remove_prefix(1);
    for (const CommentKey& k : kCommentKeys) {
        const std::string prefix = std::string(k.key) + ": ";
        if (line.starts_with(prefix)) record.*k.field = std::string(line.substr(prefix.size()));
    }
}

// Checks one data row; the error text, or empty when it is fine.
std::string ReadRow(std::string_view line, int expectedRow, bool floats, RunRecord& record) {
    const std::vector<std::string_view> fields = Split(line, ',');
    if (fields.size() != 3) return "expected 3 fields (row,reading1,reading2)";
    if (fields[0] != std::to_string(expectedRow))
        return "row number \"" + QuoteOutsideText(fields[0]) + "\" where row " +
               std::to_string(expectedRow) + " belongs";
    for (int i = 1; i <= 2; ++i) {
        double& reading = (i == 1 ? record.reading1 : record.reading2)[expectedRow];
        if (const std::string wrong = ParseReading(fields[i], floats, reading); !wrong.empty())
            return "reading" + std::to_string(i) + " \"" + QuoteOutsideText(fields[i]) + "\" " +
                   wrong;
    }
    return {};
}

QString SafeFilePart(std::string_view text) {
    QString out;
    for (char c : text) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        out += keep ? QChar::fromLatin1(c) : QChar('_');
    }
    return out;
}

}  // namespace

RunRecord RecordNow(const std::array<double, 22>& reading1, const std::array<double, 22>& reading2,
                    std::string serialNumber, std::string identification, std::string dmmPort) {
    RunRecord r;
    r.programVersion = T720_VERSION_TEXT;
    r.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    r.serialNumber = std::move(serialNumber);
    r.identification = std::move(identification);
    r.dmmPort = std::move(dmmPort);
    for (int row = 1; row <= 20; ++row) {
        r.reading1[row] = reading1[row];
        r.reading2[row] = reading2[row];
    }
    return r;
}

std::string RunRecordText(const RunRecord& record) {
    std::string text = "# T720 linearity run\n";
    for (const CommentKey& k : kCommentKeys)
        text += "# " + std::string(k.key) + ": " + OneLine(record.*k.field) + "\n";
    text += kHeader;
    text += "\n";
    for (int row = 1; row <= 20; ++row)
        text += std::to_string(row) + "," + NumberText(record.reading1[row]) + "," +
                NumberText(record.reading2[row]) + "\n";
    return text;
}

RecordParse ParseRunRecord(std::string_view text) {
    if (text.empty()) return {std::nullopt, "file is empty"};
    if (text.size() > kRecordMaxBytes)
        return {std::nullopt, "larger than " + std::to_string(kRecordMaxBytes) + " bytes"};
    RunRecord record;
    bool headerSeen = false;
    bool floats = false;
    int nextRow = 1;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++lineNo;
        const size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);

        if (line.size() > kRecordMaxLineBytes)
            return {
                std::nullopt,
                LineError(lineNo, "longer than " + std::to_string(kRecordMaxLineBytes) + " bytes")};
        if (line.find('\0') != std::string_view::npos)
            return {std::nullopt, LineError(lineNo, "contains a NUL byte")};

        if (!headerSeen) {
            if (line.starts_with('#')) {
                ReadComment(line, record);
            } else if (line == kHeader || line == kFloatHeader) {
                headerSeen = true;
                floats = line == kFloatHeader;
            } else {
                return {std::nullopt,
                        LineError(lineNo, "expected the header \"" + std::string(kHeader) + "\"")};
            }
            continue;
        }
        if (nextRow > 20) return {std::nullopt, LineError(lineNo, "extra line after row 20")};
        // Every row is written with its line end: a row without one was cut off,
        // possibly in the middle of a number that still reads as one.
        if (end == std::string_view::npos)
            return {std::nullopt, LineError(lineNo, "cut off (no line end)")};
        const std::string error = ReadRow(line, nextRow, floats, record);
        if (!error.empty()) return {std::nullopt, LineError(lineNo, error)};
        ++nextRow;
    }
    if (!headerSeen)
        return {std::nullopt,
                LineError(lineNo + 1, "header \"" + std::string(kHeader) + "\" missing")};
    if (nextRow <= 20)
        return {std::nullopt, LineError(lineNo + 1, "row " + std::to_string(nextRow) + " missing")};
    return {record, {}};
}

RecordParse ReadRunRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, "cannot open: " + file.errorString().toStdString()};
    // One byte more than allowed tells a file that is too large without reading it all.
    const QByteArray data = file.read(static_cast<qint64>(kRecordMaxBytes) + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, "cannot read: " + file.errorString().toStdString()};
    return ParseRunRecord(std::string_view(data.constData(), static_cast<size_t>(data.size())));
}

QString RunRecordDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/ZORTorT720/runs";
}

QString RunRecordFileName(const RunRecord& record) {
    QString time;
    for (char c : record.utcTime)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) time += QChar::fromLatin1(c);
    // A serial line may answer with up to 4 KiB; a file name holds 255 bytes.
    const QString serial = record.serialNumber.empty()
                               ? QStringLiteral("unknown")
                               : SafeFilePart(record.serialNumber).left(kSerialInName);
    return time + "_" + serial + ".csv";
}

RecordSave SaveRunRecord(const QString& directory, const RunRecord& record) {
    if (!MakeShareableFolder(directory))
        return {{}, "cannot create the directory " + directory.toStdString()};
    // Two runs within the same second, of this program or of another one running
    // beside it, must not overwrite one another: the name is claimed by creating
    // the file exclusively, and the record then replaces that empty file at once.
    const QString name = RunRecordFileName(record);
    QString path = QDir(directory).filePath(name);
    for (int n = 2; !QFile(path).open(QIODevice::NewOnly); ++n) {
        if (!QFileInfo::exists(path)) break;  // not a clash: the write below says why
        if (n > 999) return {{}, "too many records named " + name.toStdString()};
        path = QDir(directory).filePath(name.chopped(4) + "_" + QString::number(n) + ".csv");
    }

    QSaveFile file(path);
    const std::string text = RunRecordText(record);
    if (!file.open(QIODevice::WriteOnly) || !KeepShareable(file) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        const std::string why = file.errorString().toStdString();
        QFile claimed(path);
        if (claimed.size() == 0) claimed.remove();  // the empty claim, never a record
        return {{}, "cannot write " + path.toStdString() + ": " + why};
    }
    return {path, {}};
}

}  // namespace t720::linearity
