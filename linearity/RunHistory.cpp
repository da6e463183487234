#include "linearity/RunHistory.h"

#include "link/NumberText.h"

#include <QDateTime>
#include <QDir>
#include <QSet>
#include <algorithm>
#include <cstdio>

namespace t720::linearity {

namespace {

constexpr const char* kPpmPattern = "#0.0";

// "20240503T140709Z_..." names the UTC time of the run.
std::string TimeFromFileName(const QString& name) {
    const QDateTime t =
        QDateTime::fromString(name.left(16), QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (!t.isValid()) return {};
    return QDateTime(t.date(), t.time(), Qt::UTC).toString(Qt::ISODate).toStdString();
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Device texts and file names may carry anything; a line stays one line.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

}  // namespace

std::string LocalTimeText(const std::string& utcTime) {
    const QDateTime t = QDateTime::fromString(QString::fromStdString(utcTime), Qt::ISODate);
    if (!t.isValid()) return {};
    return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

bool Listed(const HistoryEntry& entry, const std::string& serialNumber) {
    const std::string wanted = Trimmed(serialNumber);
    return wanted.empty() || !entry.error.empty() || Trimmed(entry.serialNumber) == wanted;
}

History ListRuns(const QString& folder, const std::string& serialNumber) {
    History history;
    const QDir dir(folder);
    if (!dir.exists()) {
        history.error = QDir::toNativeSeparators(folder).toStdString() + " is not there";
        return history;
    }
    // One listing of the folder serves the records and the notes beside them.
    const QStringList names =
        dir.entryList({QStringLiteral("*.csv"), QStringLiteral("*.notes")}, QDir::Files);
    if (names.isEmpty() && !QFileInfo(folder).isReadable()) {
        history.error = QDir::toNativeSeparators(folder).toStdString() + " cannot be read";
        return history;
    }
    QSet<QString> notes;
    for (const QString& name : names)
        if (name.endsWith(QStringLiteral(".notes"))) notes.insert(name.chopped(6));

    for (const QString& name : names) {
        if (!name.endsWith(QStringLiteral(".csv"))) continue;
        HistoryEntry e;
        e.fileName = name;
        e.path = dir.filePath(name);
        e.reportMade = notes.contains(name.chopped(4));
        const RecordParse parsed = ReadRunRecord(e.path);
        if (parsed.record) {
            e.serialNumber = parsed.record->serialNumber;
            e.utcTime = parsed.record->utcTime;
            if (RecordNotEvaluable(*parsed.record).empty())  // else no deviation to list
                e.deviation = Extremes(MeasuredCurve(*parsed.record));
        } else {
            e.error = parsed.error;
        }
        if (e.utcTime.empty()) e.utcTime = TimeFromFileName(name);
        e.localTime = LocalTimeText(e.utcTime);
        if (Listed(e, serialNumber)) history.entries.push_back(std::move(e));
    }
    std::sort(history.entries.begin(), history.entries.end(),
              [](const HistoryEntry& a, const HistoryEntry& b) {
                  if (a.utcTime != b.utcTime) return a.utcTime > b.utcTime;
                  return a.fileName > b.fileName;
              });
    return history;
}

std::string HistoryText(const History& history) {
    std::string out;
    for (const HistoryEntry& e : history.entries) {
        std::string line = e.localTime.empty() ? std::string(19, '-') : e.localTime;
        line += "  " + (e.serialNumber.empty() ? std::string("-") : OneLine(e.serialNumber));
        if (e.deviation)
            line += "  max " + FormatLocal(e.deviation->max, kPpmPattern) + " ppm  min " +
                    FormatLocal(e.deviation->min, kPpmPattern) + " ppm";
        line += e.reportMade ? "  report  " : "  -  ";
        line += OneLine(e.fileName.toStdString());
        if (!e.error.empty()) line += "  cannot be read: " + OneLine(e.error);
        out += line + "\n";
    }
    return out;
}

std::string HistoryJson(const History& history) {
    std::string out = "[";
    for (size_t i = 0; i < history.entries.size(); ++i) {
        const HistoryEntry& e = history.entries[i];
        out += i == 0 ? "\n" : ",\n";
        out += "  {\"file\": " + JsonString(e.fileName.toStdString());
        out += ", \"utc_time\": " + (e.utcTime.empty() ? "null" : JsonString(e.utcTime));
        out += ", \"local_time\": " + (e.localTime.empty() ? "null" : JsonString(e.localTime));
        out += ", \"serial_number\": " +
               (e.error.empty() ? JsonString(e.serialNumber) : std::string("null"));
        out += ", \"max_ppm\": " + (e.deviation ? JsonNumber(e.deviation->max) : "null");
        out += ", \"min_ppm\": " + (e.deviation ? JsonNumber(e.deviation->min) : "null");
        out += std::string(", \"report\": ") + (e.reportMade ? "true" : "false");
        out += ", \"error\": " + (e.error.empty() ? "null" : JsonString(e.error)) + "}";
    }
    return out + (history.entries.empty() ? "]\n" : "\n]\n");
}

}  // namespace t720::linearity
