#include "linearity/RunNotes.h"

#include "app/PrivateFiles.h"
#include "linearity/Shunts.h"

#include <QFile>
#include <QSaveFile>
#include <charconv>

namespace t720::linearity {

namespace {

constexpr std::string_view kFirstLine = "# T720 linearity run notes";

// Cut to at most `bytes`, never inside a UTF-8 sequence.
std::string CutUtf8(std::string text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

// Control characters but the line end become blanks; a single line loses that too.
std::string Printable(std::string_view text, bool lines) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') continue;
        if (c == '\n' && lines)
            out += c;
        else
            out += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ShuntsText(const RowShunts& shunts) {
    std::string out;
    for (int row = 1; row <= 20; ++row) {
        if (row > 1) out += ',';
        out += std::to_string(ValidShuntChoice(shunts[row]));
    }
    return out;
}

bool ReadShunts(std::string_view text, RowShunts& shunts) {
    RowShunts read{};
    int row = 1;
    size_t pos = 0;
    while (row <= 20) {
        const size_t end = std::min(text.find(',', pos), text.size());
        int choice = -1;
        const auto res = std::from_chars(text.data() + pos, text.data() + end, choice);
        if (res.ec != std::errc() || res.ptr != text.data() + end || choice < 0 ||
            choice >= kShuntChoices)
            return false;
        read[row++] = static_cast<int16_t>(choice);
        if (end == text.size()) break;
        pos = end + 1;
    }
    if (row != 21) return false;
    shunts = read;
    return true;
}

}  // namespace

QString RunNotesPath(const QString& recordPath) {
    QString base = recordPath;
    if (base.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".notes");
}

RunNotes Tidied(RunNotes n) {
    n.operatorName = CutUtf8(Printable(n.operatorName, false), kNameMaxBytes);
    n.dmm = CutUtf8(Printable(n.dmm, false), kNameMaxBytes);
    n.note = CutUtf8(Printable(n.note, true), kNoteMaxBytes);
    n.asFound = CutUtf8(Printable(n.asFound, false), kNameMaxBytes * 2);
    n.reportUtc = CutUtf8(Printable(n.reportUtc, false), 64);
    n.reportFile = CutUtf8(Printable(n.reportFile, false), 4000);
    return n;
}

std::string RunNotesText(const RunNotes& raw) {
    const RunNotes n = Tidied(raw);
    std::string text(kFirstLine);
    text += '\n';
    auto line = [&](const char* key, const std::string& value) {
        text += std::string(key) + ": " + Escaped(value) + "\n";
    };
    line("operator", n.operatorName);
    line("dmm", n.dmm);
    line("note", n.note);
    line("shunts", ShuntsText(n.shunts));
    line("as_found", n.asFound);
    line("report_utc", n.reportUtc);
    line("report_file", n.reportFile);
    return text;
}

NotesParse ParseRunNotes(std::string_view text) {
    if (text.size() > kNotesMaxBytes)
        return {std::nullopt, "larger than " + std::to_string(kNotesMaxBytes) + " bytes"};
    if (text.find('\0') != std::string_view::npos) return {std::nullopt, "contains a NUL byte"};
    RunNotes n;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++lineNo;
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (lineNo == 1) {
            if (line != kFirstLine)
                return {std::nullopt, "line 1: expected \"" + std::string(kFirstLine) + "\""};
            continue;
        }
        if (line.empty() || line.starts_with('#')) continue;
        const size_t colon = line.find(": ");
        const std::string_view key = line.substr(0, colon);
        const std::string value =
            colon == std::string_view::npos ? std::string() : Unescaped(line.substr(colon + 2));
        if (key == "operator") n.operatorName = value;
        if (key == "dmm") n.dmm = value;
        if (key == "note") n.note = value;
        if (key == "as_found") n.asFound = value;
        if (key == "report_utc") n.reportUtc = value;
        if (key == "report_file") n.reportFile = value;
        if (key == "shunts" && !ReadShunts(value, n.shunts))
            return {std::nullopt, "line " + std::to_string(lineNo) +
                                      ": shunts must be 20 choices 0..5, separated by commas"};
    }
    if (lineNo == 0) return {std::nullopt, "empty"};
    return {Tidied(std::move(n)), {}};
}

NotesParse ReadRunNotes(const QString& recordPath) {
    QFile file(RunNotesPath(recordPath));
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, "cannot open " + file.fileName().toStdString() + ": " +
                                  file.errorString().toStdString()};
    const QByteArray data = file.read(static_cast<qint64>(kNotesMaxBytes) + 1);
    NotesParse parsed =
        ParseRunNotes(std::string_view(data.constData(), static_cast<size_t>(data.size())));
    if (!parsed.notes) parsed.error = file.fileName().toStdString() + ": " + parsed.error;
    return parsed;
}

std::string SaveRunNotes(const QString& recordPath, const RunNotes& notes) {
    QSaveFile file(RunNotesPath(recordPath));
    const std::string text = RunNotesText(notes);
    if (!file.open(QIODevice::WriteOnly) || !KeepShareable(file) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit())
        return "cannot write " + file.fileName().toStdString() + ": " +
               file.errorString().toStdString();
    return {};
}

}  // namespace t720::linearity
