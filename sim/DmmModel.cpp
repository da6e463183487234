#include "sim/DmmModel.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace t720::sim {

namespace {

constexpr std::string_view kNoError = "+0,\"No error\"";
constexpr std::string_view kUndefinedHeader = "-113,\"Undefined header\"";
constexpr std::string_view kParameterNotAllowed = "-108,\"Parameter not allowed\"";
constexpr std::string_view kIllegalParameter = "-224,\"Illegal parameter value\"";
constexpr std::string_view kQueueOverflow = "-350,\"Queue overflow\"";
constexpr std::string_view kIdentification = "T720 BENCH,SIMULATED DMM,0,1.0";

// A uniform number in [-1, 1) from the generator's raw output, so the sequence
// is the same with every standard library.
double Symmetric(std::mt19937& g) {
    return static_cast<double>(g()) / 2147483648.0 - 1.0;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

using Node = std::pair<std::string_view, std::string_view>;  // short and long form

// An upper-case SCPI header such as "SYST:ERR?" or ":SYSTEM:ERROR?" against its
// nodes, each given in short and long form.
bool Matches(std::string_view header, std::initializer_list<Node> nodes) {
    if (header.starts_with(':')) header.remove_prefix(1);
    for (auto node = nodes.begin(); node != nodes.end(); ++node) {
        const size_t colon = header.find(':');
        const std::string_view token = header.substr(0, colon);
        if (token != node->first && token != node->second) return false;
        const bool last = node + 1 == nodes.end();
        if (last != (colon == std::string_view::npos)) return false;
        if (!last) header.remove_prefix(colon + 1);
    }
    return true;
}

bool IsNumber(std::string_view text) {
    text = Trim(text);
    if (text == "MIN" || text == "MAX" || text == "DEF") return true;
    const std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

std::string Line(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    return line;
}

}  // namespace

DmmModel::DmmModel(uint32_t dividerSeed) : noise_(dividerSeed ^ 0x5eed0dd5u) {
    std::mt19937 resistors(dividerSeed);
    std::array<double, 11> sum{};
    for (size_t k = 1; k <= 10; ++k)
        sum[k] = sum[k - 1] + 1.0 + kResistorSpreadPpm * 1e-6 * Symmetric(resistors);
    for (size_t tap = 0; tap <= 10; ++tap) tapVolts_[tap] = sum[tap] / sum[10];
}

double DmmModel::TrueReading(const CalibratorModel::Taps& taps) const {
    return std::fabs(TapVoltage(taps.a) - TapVoltage(taps.b)) +
           (taps.d == 0 ? kThermalDown : kThermalUp);
}

std::optional<std::string> DmmModel::Handle(std::string_view line,
                                            const CalibratorModel::Taps& taps) {
    if (received_.size() == kRecordCap) received_.pop_front();
    received_.emplace_back(line);
    if (faults_.silent) return std::nullopt;

    const std::string text = Upper(Trim(line));
    if (text.empty()) return std::nullopt;
    const size_t blank = text.find_first_of(" \t");
    const std::string_view header = std::string_view(text).substr(0, blank);
    const std::string_view params = blank == std::string::npos
                                        ? std::string_view()
                                        : Trim(std::string_view(text).substr(blank));

    const Node syst{"SYST", "SYSTEM"};
    if (Matches(header, {{"MEAS", "MEASURE"}, {"VOLT", "VOLTAGE"}, {"DC?", "DC?"}})) {
        // [range[,resolution]]
        const size_t comma = params.find(',');
        const bool tooMany = comma != std::string_view::npos &&
                             params.find(',', comma + 1) != std::string_view::npos;
        if (tooMany) {
            QueueError(kParameterNotAllowed);
            return std::nullopt;
        }
        if (!params.empty() &&
            (!IsNumber(params.substr(0, comma)) ||
             (comma != std::string_view::npos && !IsNumber(params.substr(comma + 1))))) {
            QueueError(kIllegalParameter);
            return std::nullopt;
        }
        if (faults_.silentAfter && readings_ >= *faults_.silentAfter) return std::nullopt;
        return Line(Measure(taps));
    }
    // The remaining commands take no parameters.
    const auto plain = [&]() {
        if (params.empty()) return true;
        QueueError(kParameterNotAllowed);
        return false;
    };
    if (Matches(header, {syst, {"REM", "REMOTE"}})) {
        if (plain()) remote_ = true;
        return std::nullopt;
    }
    if (Matches(header, {syst, {"LOC", "LOCAL"}})) {
        if (plain()) remote_ = false;
        return std::nullopt;
    }
    if (Matches(header, {syst, {"ERR?", "ERROR?"}})) {
        if (!plain()) return std::nullopt;
        if (errors_.empty()) return Line(kNoError);
        std::string entry = std::move(errors_.front());
        errors_.pop_front();
        return Line(entry);
    }
    if (header == "*IDN?") return plain() ? std::optional(Line(kIdentification)) : std::nullopt;
    if (header == "*CLS") {
        if (plain()) errors_.clear();
        return std::nullopt;
    }
    QueueError(kUndefinedHeader);
    return std::nullopt;
}

std::string DmmModel::Measure(const CalibratorModel::Taps& taps) {
    const bool garbage = faults_.garbageAfter && readings_ >= *faults_.garbageAfter;
    ++readings_;
    // The noise is drawn for every reading, garbage or not, so a fault does not
    // shift the readings that follow it.
    const double volts = TrueReading(taps) + kNoise * Symmetric(noise_);
    if (garbage) return std::string(kGarbage);
    char text[32];
    std::snprintf(text, sizeof text, "%+.8E", volts);
    return text;
}

// A full queue keeps its oldest entries and marks the loss in its last one.
void DmmModel::QueueError(std::string_view entry) {
    if (errors_.size() >= kErrorQueueCap) {
        errors_.back() = kQueueOverflow;
        return;
    }
    errors_.emplace_back(entry);
}

void DmmModel::ClearRecord() {
    received_.clear();
    readings_ = 0;
}

}  // namespace t720::sim
