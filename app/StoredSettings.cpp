#include "app/StoredSettings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/PrivateFiles.h"
#include "app/SettingsStore.h"

namespace t720 {

namespace {

constexpr const char* kSection = "Properties/";

// Whether every key of section "Properties" in the INI file at `path` holds the
// given value, read from the file's text (not from QSettings' cache of it).
bool ValuesOnDisk(const QString& path,
                  std::initializer_list<std::pair<const char*, int64_t>> values) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // Line by line, in pieces of at most 4 KiB: a long entry elsewhere in the file
    // (a [Ports] path, say) is passed over, never held whole.
    bool inSection = false;
    int found = 0;
    bool lineStart = true;
    for (;;) {
        const QByteArray piece = file.readLine(4096);
        if (piece.isEmpty()) break;  // the end, or a read error
        const bool startsLine = lineStart;
        lineStart = piece.endsWith('\n');
        if (!startsLine) continue;
        const QByteArray line = piece.trimmed();
        if (line.startsWith('[')) {
            inSection = line == "[Properties]";
            continue;
        }
        if (!inSection) continue;
        for (const auto& [key, value] : values)
            if (line == QByteArray(key) + '=' + QByteArray::number(static_cast<qlonglong>(value)))
                ++found;
    }
    return found == static_cast<int>(values.size());
}

}  // namespace

std::optional<int64_t> StoredWholeNumber(const QString& text, int64_t lo, int64_t hi) {
    // What a person who edits the file by hand means: blanks around, a sign, and a
    // decimal point or comma ("5.5", " -2,7 "). A fraction is rounded as the
    // program rounds elsewhere, a half to the even neighbour. No exponents.
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 40) return std::nullopt;
    std::string plain;
    int i = 0;
    if (t[0] == u'+' || t[0] == u'-') {
        if (t[0] == u'-') plain.push_back('-');
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            plain.push_back(static_cast<char>(c.unicode()));
            ++digits;
        } else if ((c == u'.' || c == u',') && !point) {
            plain.push_back('.');
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    double value = 0.0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default rounding mode: half to even
    if (!(rounded >= static_cast<double>(lo) && rounded <= static_cast<double>(hi)))
        return std::nullopt;
    return static_cast<int64_t>(rounded);
}

SettingsFile::SettingsFile() : SettingsFile(OpenSettingsStore()) {}

SettingsFile::SettingsFile(std::unique_ptr<QSettings> store) : store_(std::move(store)) {
    const QString path = store_->fileName();
    const QFileInfo info(path);
    if (store_->status() == QSettings::AccessError || (info.exists() && !info.isReadable())) {
        // We cannot see what it holds (the serial port entries among it), so we
        // must not replace it with what little we know.
        unreadable_ = true;
        note_ = "Settings file cannot be read; defaults are used and nothing will be saved: " +
                path.toStdString();
        return;
    }
    if (store_->status() == QSettings::FormatError) {
        // Saving rewrites the file without the lines it could not parse: keep them.
        const QString backup =
            path + ".damaged-" + QDateTime::currentDateTimeUtc().toString("yyyyMMddTHHmmssZ");
        if (CopyPrivately(path, backup))
            note_ = "Settings file was damaged; a copy was kept as " + backup.toStdString();
        else
            note_ =
                "Settings file was damaged and could not be copied aside: " + path.toStdString();
    }
    if (!store_->isWritable())
        note_ = "Settings cannot be saved (no write access): " + path.toStdString();
}

StoredProperties SettingsFile::Load() {
    StoredProperties p;
    if (unreadable_) return p;
    auto read = [&](const char* key, int64_t lo, int64_t hi, int64_t fallback) {
        const QVariant v = store_->value(QString::fromLatin1(kSection) + key);
        if (!v.isValid()) return fallback;
        // The INI format reads an unquoted "2,5" as a list of two texts; put the
        // decimal comma back.
        const QString text =
            v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
        const auto n = StoredWholeNumber(text, INT32_MIN, INT32_MAX);
        return n ? std::clamp(*n, lo, hi) : fallback;
    };
    // Values outside a control's range are brought to its nearest end; the link
    // falls back to the USB library and the second port to COM2, as a number
    // beyond them names nothing.
    p.RangeIdx = static_cast<int32_t>(read("T720Range", 1, 6, 1));
    p.ChannelNo = static_cast<int32_t>(read("T720Chann", 0, 15, 0));
    p.SignFlag = read("T720Signe", INT32_MIN, INT32_MAX, 0) != 0 ? 1 : 0;
    p.ProzStep = static_cast<int32_t>(read("T720Proze", 0, 10, 0));
    const int64_t com = read("T720COMxincr", INT16_MIN, INT16_MAX, 0);
    p.ComIncr = static_cast<int16_t>(com >= 0 && com <= 7 ? com : 0);
    const int64_t link = read("Connection", INT32_MIN, INT32_MAX, 1);
    p.LinkType = static_cast<int32_t>(link >= 1 && link <= 3 ? link : 1);
    return p;
}

bool SettingsFile::Flag(const char* key, bool fallback) {
    if (unreadable_) return fallback;
    const QString text = store_->value(QString::fromLatin1(key)).toString().trimmed().toLower();
    if (text == u"false" || text == u"off") return false;
    if (text == u"true" || text == u"on") return true;
    const auto n = StoredWholeNumber(text, INT32_MIN, INT32_MAX);
    return n ? *n != 0 : fallback;
}

bool SettingsFile::Save(const SharedState& s) {
    if (unreadable_) return false;
    auto write = [&](const char* key, int64_t value) {
        store_->setValue(QString::fromLatin1(kSection) + key, QString::number(value));
    };
    write("Connection", s.LinkType);
    write("T720Range", s.RangeIdx);
    write("T720Chann", s.ChannelNo);
    write("T720Signe", s.SignFlag);
    write("T720Proze", s.ProzStep);
    write("T720COMxincr", s.ComIncr);
    SyncPrivately(*store_);
    if (store_->status() == QSettings::AccessError) return false;
    // The store reports a write failure only when it met no damage reading the file,
    // so look at the file itself: are the six values in it?
    return ValuesOnDisk(store_->fileName(), {{"Connection", s.LinkType},
                                             {"T720Range", s.RangeIdx},
                                             {"T720Chann", s.ChannelNo},
                                             {"T720Signe", s.SignFlag},
                                             {"T720Proze", s.ProzStep},
                                             {"T720COMxincr", s.ComIncr}});
}

}  // namespace t720
