#include "link/NumberText.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/QtText.h"

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
// fraction digits (exactly `decimals` of them). Judged on 15 significant digits,
// what a double reliably carries in decimal. No allocation beyond the results:
// the evaluation's results are formatted by the dozen on every improvement of the
// shunt search.
void RoundMagnitude(double magnitude, int decimals, std::string& integer, std::string& fraction) {
    char sci[40];
    const auto res =
        std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific, 14);
    // "d.dddddddddddddde±x": 15 mantissa digits, then the exponent.
    char mantissa[16];
    int mantissaDigits = 0;
    const char* p = sci;
    for (; p < res.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') mantissa[mantissaDigits++] = *p;
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), res.ptr, exponent);
    const int pointPos = exponent + 1;  // digits before the decimal point

    // The digits as written without a point, padded with zeros: `pointPos` integer
    // digits (at least one), then the fraction, one digit beyond `decimals` kept
    // for the rounding.
    const int intCount = std::max(pointPos, 1);
    const int total = intCount + decimals + 1;
    std::string all(static_cast<size_t>(total) + 1, '0');  // one spare digit in front for a carry
    for (int k = 0; k < mantissaDigits; ++k) {
        // Mantissa digit k stands at position pointPos - 1 - k before the point.
        const int at = 1 + intCount - pointPos + k;
        if (at >= 1 && at <= total) all[static_cast<size_t>(at)] = mantissa[k];
    }
    const bool roundUp = all[static_cast<size_t>(total)] >= '5';
    all.pop_back();
    if (roundUp) {
        size_t i = all.size();
        while (i-- > 0) {
            if (all[i] == '9') {
                all[i] = '0';
            } else {
                ++all[i];
                break;
            }
        }
    }
    const size_t intEnd = all.size() - static_cast<size_t>(decimals);
    // Without a carry the spare digit stays 0 and goes.
    const size_t intStart = all[0] == '0' ? 1 : 0;
    integer.assign(all, intStart, intEnd - intStart);
    fraction.assign(all, intEnd, std::string::npos);
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

std::string QuoteOutsideText(std::string_view answer) {
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.remove_suffix(1);
    std::string out;
    size_t characters = 0;
    for (const char ch : answer) {
        if (characters == kQuotedAnswerMax) {
            out += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else if (c >= 0xA0) {
            out += Utf8FromLatin1(std::string(1, ch));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
        ++characters;
    }
    return out;
}

}  // namespace t720
