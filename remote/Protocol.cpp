#include "remote/Protocol.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace t720::remote {

namespace {

// A word of the request quoted in an error, cut short so that an error never
// grows with what a client sent.
std::string Quoted(std::string_view word) {
    constexpr size_t kShown = 24;
    std::string q = "\"" + std::string(word.substr(0, kShown));
    if (word.size() > kShown) q += "...";
    return q + "\"";
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Optional sign (when allowed), then 1..4 decimal digits: the panel's values are small.
std::optional<int32_t> WholeNumber(std::string_view text, bool signAllowed) {
    size_t i = 0;
    if (signAllowed && !text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (text.size() == i || text.size() - i > 4) return std::nullopt;
    int32_t value = 0;
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9') return std::nullopt;
        value = value * 10 + (text[j] - '0');
    }
    return text[0] == '-' ? -value : value;
}

// Digits, optionally a point and more digits: seconds without exponent or sign.
std::optional<double> Seconds(std::string_view text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    size_t points = 0;
    for (char c : text) {
        if (c == '.') {
            ++points;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    if (points > 1 || text.front() == '.' || text.back() == '.') return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

Parsed Error(std::string error) {
    return {std::nullopt, std::move(error)};
}

Parsed ParseSet(const std::vector<std::string_view>& words) {
    Request r;
    r.verb = Verb::Set;
    if (words.size() < 2) return Error("set needs channel=N, range=N or percent=P");
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string_view w = words[i];
        const size_t eq = w.find('=');
        if (eq == std::string_view::npos)
            return Error("set: expected name=value, got " + Quoted(w));
        const std::string_view name = w.substr(0, eq);
        const std::string_view value = w.substr(eq + 1);
        std::optional<int32_t>* field = name == "channel"   ? &r.channel
                                        : name == "range"   ? &r.range
                                        : name == "percent" ? &r.percent
                                                            : nullptr;
        if (!field) return Error("set: unknown setting " + Quoted(name));
        if (field->has_value()) return Error("set: " + std::string(name) + " given twice");
        *field = WholeNumber(value, field == &r.percent);
        if (!field->has_value())
            return Error("set: " + std::string(name) + "=" + Quoted(value) +
                         " is not a whole number");
        if (field == &r.percent) r.minus = value[0] == '-';
    }
    return {r, {}};
}

Parsed ParseSwitch(Verb verb, const std::vector<std::string_view>& words) {
    Request r;
    r.verb = verb;
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
        return Error(std::string(words[0]) + " needs on or off");
    r.on = words[1] == "on";
    return {r, {}};
}

void AppendUtf8(std::string& out, unsigned char c) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
}

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else if (c >= 0x80) {
            AppendUtf8(out, c);
        } else {
            out += ch;
        }
    }
    out += '"';
}

}  // namespace

Parsed ParseRequest(std::string_view line) {
    if (line.size() > kMaxLine) return Error("line too long");
    for (const char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c >= 0x7F)
            return Error("request contains a control or non-ASCII byte");
    }
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) return Error("empty request");
    const std::string_view verb = words[0];
    if (verb == "set") return ParseSet(words);
    if (verb == "beep") {
        Request r;
        r.verb = Verb::Beep;
        r.on = words.size() >= 2 && words[1] == "on";
        if (r.on)
            r.seconds = words.size() == 3 ? Seconds(words[2]).value_or(0.0) : kDefaultBeepSeconds;
        const bool on =
            r.on && words.size() <= 3 && r.seconds > 0.0 && r.seconds <= kMaxBeepSeconds;
        if (!on && !(words.size() == 2 && words[1] == "off"))
            return Error("beep needs on [SECONDS, at most 60] or off");
        return {r, {}};
    }
    if (verb == "ready") return ParseSwitch(Verb::Ready, words);
    if (verb == "load") return ParseSwitch(Verb::Load, words);
    if (verb == "status") {
        if (words.size() != 1) return Error("status takes no arguments");
        return {Request{}, {}};
    }
    if (verb == "wait-connected") {
        Request r;
        r.verb = Verb::WaitConnected;
        const std::optional<double> s = words.size() == 2 ? Seconds(words[1]) : std::nullopt;
        if (!s || *s > kMaxWaitSeconds)
            return Error("wait-connected needs the seconds to wait, at most 3600");
        r.seconds = *s;
        return {r, {}};
    }
    return Error("unknown request " + Quoted(verb));
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : "null";
}

void JsonLine::Key(std::string_view key) {
    if (text_.size() > 1) text_ += ',';
    AppendEscaped(text_, key);
    text_ += ':';
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view text) {
    Key(key);
    AppendEscaped(text_, text);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, double value) {
    Key(key);
    text_ += JsonNumber(value);
    return *this;
}

JsonLine& JsonLine::AddRaw(std::string_view key, std::string_view json) {
    Key(key);
    text_ += json;
    return *this;
}

std::string ErrorReply(std::string_view reason, std::string_view error) {
    return JsonLine().Add("ok", false).Add("reason", reason).Add("error", error).Line();
}

}  // namespace t720::remote
