// The model's texts (UTF-8 std::string) as the widgets and Qt's files take them.
#pragma once

#include <QString>
#include <string>

namespace t720 {

inline QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace t720
