#include "app/CommandLine.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace t720 {

namespace {

// The text behind `sw` up to the first blank, or to the end.
std::optional<std::string> Word(const std::string& line, std::string_view sw) {
    const size_t at = line.find(sw);
    if (at == std::string::npos) return std::nullopt;
    const size_t start = at + sw.size();
    const size_t blank = line.find(' ', start);
    return line.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
}

// The number directly behind "/Relais(": digits with an optional sign, point and
// exponent; reading stops at the first character that cannot belong to it.
// Rounded half to even. nullopt when it does not fit a signed 32-bit number.
std::optional<int32_t> RelayNumber(std::string_view text) {
    size_t i = 0;
    std::string plain;
    auto digits = [&] {
        size_t n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain.push_back(text[i++]), ++n;
        return n;
    };
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain.push_back('-');
        ++i;
    }
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        plain.push_back(text[i++]);
        mantissa += digits();
    }
    if (mantissa == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const size_t mark = plain.size();
        plain.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain.push_back(text[i++]);
        if (digits() == 0) plain.resize(mark);
    }
    double value = 0.0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec != std::errc()) return std::nullopt;  // beyond any double: surely beyond 32 bits
    const double rounded = std::nearbyint(value);    // the default rounding mode: half to even
    if (!std::isfinite(rounded) || rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

}  // namespace

Switches ParseSwitches(const std::string& commandLine) {
    Switches sw;
    if (commandLine.find("/ZOREinmessen") != std::string::npos) {
        sw.linearity = true;
    } else if (commandLine.find("/Load") != std::string::npos) {
        sw.load = true;
    } else if (const size_t at = commandLine.find("/Relais("); at != std::string::npos) {
        const auto n = RelayNumber(std::string_view(commandLine).substr(at + 8));
        if (n && *n != 0) sw.relayMask = n;
    }
    sw.dev = Word(commandLine, "/DEV=");
    sw.id = Word(commandLine, "/ID=");
    return sw;
}

std::array<int16_t, 4> RelayBytes(int32_t n) {
    const auto u = static_cast<uint32_t>(n);
    return {static_cast<int16_t>(u & 0xFFu), static_cast<int16_t>((u >> 8) & 0xFFu),
            static_cast<int16_t>((u >> 16) & 0xFFu), static_cast<int16_t>((u >> 24) & 0xFFu)};
}

std::string WindowTitle(const Switches& switches) {
    std::string title = kProgramTitle;
    if (switches.dev) title += "   Dev = " + *switches.dev;
    if (switches.id) title += "   ID = " + *switches.id;
    return title;
}

}  // namespace t720
