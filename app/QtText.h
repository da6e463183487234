// The model's texts are UTF-8 std::string: as the widgets and Qt's files take them,
// and from the device's 8-bit (Latin-1) texts.
#pragma once

#include <QString>
#include <string>

namespace t720 {

inline QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Serial numbers, identifications and answers as the calibrator and the DMM send them.
inline std::string Utf8FromLatin1(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())).toStdString();
}

}  // namespace t720
