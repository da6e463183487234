#include "link/LineSettings.h"

#include <charconv>
#include <string>
#include <vector>

namespace t720 {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::optional<int> WholeNumber(std::string_view s) {
    int v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        fields.push_back(Trim(text.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() != 4) return std::nullopt;

    LineSettings s;
    const auto baud = WholeNumber(fields[0]);
    if (!baud || *baud <= 0) return std::nullopt;
    s.baud = *baud;

    if (fields[1].size() != 1) return std::nullopt;
    switch (fields[1][0]) {
        case 'N':
        case 'n':
            s.parity = LineSettings::Parity::None;
            break;
        case 'E':
        case 'e':
            s.parity = LineSettings::Parity::Even;
            break;
        case 'O':
        case 'o':
            s.parity = LineSettings::Parity::Odd;
            break;
        case 'M':
        case 'm':
            s.parity = LineSettings::Parity::Mark;
            break;
        case 'S':
        case 's':
            s.parity = LineSettings::Parity::Space;
            break;
        default:
            return std::nullopt;
    }

    const auto bits = WholeNumber(fields[2]);
    if (!bits || *bits < 5 || *bits > 8) return std::nullopt;
    s.dataBits = *bits;

    if (fields[3] == "1")
        s.stopBits = LineSettings::StopBits::One;
    else if (fields[3] == "1.5")
        s.stopBits = LineSettings::StopBits::OneAndHalf;
    else if (fields[3] == "2")
        s.stopBits = LineSettings::StopBits::Two;
    else
        return std::nullopt;
    return s;
}

}  // namespace t720
