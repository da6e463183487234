#include "link/NumberText.h"

#include <QLocale>
#include <charconv>
#include <cmath>

namespace t720 {

std::string SignPos(int64_t n) {
    std::string digits = std::to_string(n);
    return n < 0 ? digits : " " + digits;
}

namespace {

struct PatternParts {
    std::string_view prefix;
    std::string_view suffix;
    int minIntegerDigits = 0;  // count of "0" before the point
    int fixedDecimals = 0;     // count of "0" after the point
    int optionalDecimals = 0;  // count of "#" after the point
    bool hasPoint = false;
};

bool IsPlaceholder(char c) {
    return c == '#' || c == '0' || c == '.';
}

PatternParts SplitPattern(std::string_view pattern) {
    PatternParts parts;
    const size_t first = [&] {
        for (size_t i = 0; i < pattern.size(); ++i)
            if (IsPlaceholder(pattern[i])) return i;
        return pattern.size();
    }();
    size_t last = first;
    for (size_t i = first; i < pattern.size() && IsPlaceholder(pattern[i]); ++i) last = i + 1;
    parts.prefix = pattern.substr(0, first);
    parts.suffix = pattern.substr(last);
    for (size_t i = first; i < last; ++i) {
        const char c = pattern[i];
        if (c == '.') {
            parts.hasPoint = true;
        } else if (!parts.hasPoint) {
            if (c == '0') ++parts.minIntegerDigits;
        } else if (c == '0') {
            ++parts.fixedDecimals;
        } else {
            ++parts.optionalDecimals;
        }
    }
    return parts;
}

// |value| rounded half away from zero to `decimals` places, as integer digits and
// fraction digits (exactly `decimals` of them).
void RoundMagnitude(double magnitude, int decimals, std::string& integer, std::string& fraction) {
    char buf[64];
    // 15 significant digits: what a double reliably carries in decimal.
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 14);
    std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
    const size_t e = sci.find('e');
    std::string mantissa;
    for (char c : sci.substr(0, e))
        if (c >= '0' && c <= '9') mantissa.push_back(c);
    const int exponent = std::stoi(std::string(sci.substr(e + 1)));
    const int pointPos = exponent + 1;  // digits before the decimal point

    std::string intDigits;
    std::string fracDigits;
    if (pointPos <= 0) {
        intDigits = "0";
        fracDigits = std::string(static_cast<size_t>(-pointPos), '0') + mantissa;
    } else if (pointPos >= static_cast<int>(mantissa.size())) {
        intDigits = mantissa + std::string(static_cast<size_t>(pointPos) - mantissa.size(), '0');
    } else {
        intDigits = mantissa.substr(0, static_cast<size_t>(pointPos));
        fracDigits = mantissa.substr(static_cast<size_t>(pointPos));
    }

    bool roundUp = false;
    if (static_cast<int>(fracDigits.size()) > decimals) {
        roundUp = fracDigits[static_cast<size_t>(decimals)] >= '5';
        fracDigits.resize(static_cast<size_t>(decimals));
    }
    fracDigits.resize(static_cast<size_t>(decimals), '0');

    std::string all = intDigits + fracDigits;
    if (roundUp) {
        size_t i = all.size();
        while (i > 0) {
            --i;
            if (all[i] == '9') {
                all[i] = '0';
            } else {
                ++all[i];
                break;
            }
            if (i == 0) all.insert(all.begin(), '1');
        }
    }
    integer = all.substr(0, all.size() - static_cast<size_t>(decimals));
    fraction = all.substr(all.size() - static_cast<size_t>(decimals));
}

}  // namespace

std::string FormatPattern(double value, std::string_view pattern,
                          std::string_view decimalSeparator) {
    const PatternParts p = SplitPattern(pattern);
    std::string body;
    bool negative = std::signbit(value);

    if (std::isnan(value)) {
        body = "NaN";
        negative = false;
    } else if (std::isinf(value)) {
        body = "Inf";
    } else {
        const int decimals = p.fixedDecimals + p.optionalDecimals;
        std::string integer;
        std::string fraction;
        RoundMagnitude(std::fabs(value), decimals, integer, fraction);

        // Optional decimals are shown only as far as they are significant.
        while (static_cast<int>(fraction.size()) > p.fixedDecimals && !fraction.empty() &&
               fraction.back() == '0')
            fraction.pop_back();

        size_t lead = 0;
        while (lead < integer.size() && integer[lead] == '0') ++lead;
        integer.erase(0, lead);
        if (static_cast<int>(integer.size()) < p.minIntegerDigits)
            integer.insert(0, static_cast<size_t>(p.minIntegerDigits) - integer.size(), '0');

        const bool allZero = integer.find_first_not_of('0') == std::string::npos &&
                             fraction.find_first_not_of('0') == std::string::npos;
        if (allZero) negative = false;

        body = integer;
        if (!fraction.empty()) {
            body += decimalSeparator;
            body += fraction;
        } else if (p.hasPoint && p.fixedDecimals > 0) {
            body += decimalSeparator;
        }
    }

    std::string out;
    if (negative) out += '-';
    out += p.prefix;
    out += body;
    out += p.suffix;
    return out;
}

std::string LocaleDecimalSeparator() {
    return QLocale().decimalPoint().toStdString();
}

std::string FormatLocal(double value, std::string_view pattern) {
    return FormatPattern(value, pattern, LocaleDecimalSeparator());
}

std::optional<double> ParseDecimalComma(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;

    std::string plain;  // the number rewritten with "." for from_chars
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain.push_back('-');
        ++i;
    }
    size_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') plain.push_back(text[i++]), ++digits;
    if (i < n && text[i] == ',') {
        plain.push_back('.');
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') plain.push_back(text[i++]), ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        plain.push_back('e');
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) plain.push_back(text[i++]);
        size_t expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') plain.push_back(text[i++]), ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    if (i != n) return std::nullopt;

    double value = 0.0;
    auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double LeadingNumber(std::string_view text) {
    std::string plain;
    size_t i = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
    };
    auto digits = [&] {
        size_t count = 0;
        for (skipBlanks(); i < n && text[i] >= '0' && text[i] <= '9'; skipBlanks()) {
            plain.push_back(text[i++]);
            ++count;
        }
        return count;
    };
    skipBlanks();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain.push_back('-');
        ++i;
    }
    size_t mantissa = digits();
    if (i < n && text[i] == '.') {
        plain.push_back('.');
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0.0;
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::string exponent = "e";
        size_t j = i + 1;
        while (j < n && (text[j] == ' ' || text[j] == '\t' || text[j] == '\n')) ++j;
        if (j < n && (text[j] == '+' || text[j] == '-')) exponent.push_back(text[j++]);
        size_t expDigits = 0;
        for (; j < n; ++j) {
            if (text[j] == ' ' || text[j] == '\t' || text[j] == '\n') continue;
            if (text[j] < '0' || text[j] > '9') break;
            exponent.push_back(text[j]);
            ++expDigits;
        }
        if (expDigits > 0) plain += exponent;
    }
    double value = 0.0;
    auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec == std::errc::result_out_of_range)
        return plain.find("e-") != std::string::npos ? 0.0
               : plain.front() == '-'                ? -HUGE_VAL
                                                     : HUGE_VAL;
    return value;
}

}  // namespace t720
