#include "sim/CalibratorModel.h"

#include <stdexcept>
#include <vector>

namespace t720::sim {

namespace {

using Command = CalibratorModel::Command;

struct Keyword {
    std::string_view word;
    Command kind;
};

// The command word is matched as a prefix: the arguments may follow it directly
// ("SNR?0") or after blanks ("K1A 0, 5, 2, 3").
constexpr Keyword kKeywords[] = {
    {"K1A", Command::K1A}, {"K1B", Command::K1B}, {"K1T", Command::K1T},
    {"K1Y", Command::K1Y}, {"DCL", Command::DCL}, {"SNR?", Command::SNR},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A field is a plain decimal integer with optional blanks around it. Nine digits
// at most: anything longer is out of every range and must not overflow.
std::optional<int> ParseField(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Exactly `count` fields separated by ","; nullopt for any other count or a field
// that is not a number.
std::optional<std::vector<int>> ParseFields(std::string_view args, size_t count) {
    std::vector<int> fields;
    for (;;) {
        const size_t comma = args.find(',');
        const auto field = ParseField(args.substr(0, comma));
        if (!field || fields.size() == count) return std::nullopt;
        fields.push_back(*field);
        if (comma == std::string_view::npos) break;
        args.remove_prefix(comma + 1);
    }
    if (fields.size() != count) return std::nullopt;
    return fields;
}

bool InRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

bool IsBit(int v) {
    return v == 0 || v == 1;
}

std::string Line(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    return line;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

CalibratorModel::CalibratorModel() : CalibratorModel(Identity{}) {}

CalibratorModel::CalibratorModel(Identity identity) {
    SetIdentity(std::move(identity));
}

void CalibratorModel::SetIdentity(Identity identity) {
    if (identity.ranges != 5 && identity.ranges != 6)
        throw std::invalid_argument("the calibrator has 5 or 6 ranges");
    if (identity.channels != 0 && identity.channels != 9 && identity.channels != 16)
        throw std::invalid_argument("the calibrator has 9 or 16 channels");
    if (HasLineBreak(identity.serial) || HasLineBreak(identity.ident))
        throw std::invalid_argument("identity texts travel as one line: no CR or LF");
    identity_ = std::move(identity);
}

int CalibratorModel::Channels() const {
    if (identity_.channels != 0) return identity_.channels;
    return std::string_view(identity_.ident).starts_with("QV310") ? 16 : 9;
}

void CalibratorModel::SetFaults(Faults faults) {
    if (!InRange(faults.condition, 0, 8))
        throw std::invalid_argument("a condition is a digit 1..8, or 0 for none");
    faults_ = faults;
}

std::optional<std::string> CalibratorModel::Handle(std::string_view line) {
    if (received_.size() == kRecordCap) received_.pop_front();
    received_.emplace_back(line);
    ++receivedTotal_;

    Command kind = Command::Unknown;
    std::string_view args;
    for (const Keyword& k : kKeywords) {
        if (line.starts_with(k.word)) {
            kind = k.kind;
            args = line.substr(k.word.size());
            break;
        }
    }
    ++counts_[static_cast<size_t>(kind)];

    if (faults_.silent) return std::nullopt;
    if (faults_.refuse) return Line("?");
    return Line(Respond(kind, args));
}

std::string CalibratorModel::Respond(Command kind, std::string_view args) {
    if (kind == Command::SNR) return Identify(args);
    if (!Apply(kind, args)) return "?";
    if (faults_.condition != 0) return std::string(1, static_cast<char>('0' + faults_.condition));
    return "0";
}

// Takes a setting command into the output state; false, with the state unchanged,
// for anything the calibrator refuses.
bool CalibratorModel::Apply(Command kind, std::string_view args) {
    if (kind == Command::DCL) {
        if (!TrimBlanks(args).empty()) return false;
        state_.ready = state_.beep = state_.load = false;
        return true;
    }
    const auto f = ParseFields(args, 4);  // K1A, K1B, K1T and K1Y take four fields
    if (!f) return false;
    const Fields fields{(*f)[0], (*f)[1], (*f)[2], (*f)[3]};
    switch (kind) {
        case Command::K1A:
            return SetOutput(fields);
        case Command::K1B:
            return SetSwitches(fields);
        case Command::K1T:
            return SetRelays(fields);
        case Command::K1Y:
            return SetTaps(fields);
        default:
            return false;
    }
}

bool CalibratorModel::SetOutput(const Fields& f) {
    const auto [sign, step, range, channel] = f;
    if (!(InRange(sign, 0, 3) || sign == 128) || !InRange(step, 0, 10) ||
        !InRange(range, 1, identity_.ranges) || !InRange(channel, 0, Channels() - 1))
        return false;
    state_.sign = sign;
    state_.step = step;
    state_.range = range;
    state_.channel = channel;
    return true;
}

bool CalibratorModel::SetSwitches(const Fields& f) {
    const auto [ready, beep1, beep2, load] = f;
    const bool beepOff = beep1 == 0 && beep2 == 0;
    const bool beepOn = beep1 == 1000 && beep2 == 100;
    if (!IsBit(ready) || !(beepOff || beepOn) || !IsBit(load)) return false;
    state_.ready = ready == 1;
    state_.beep = beepOn;
    state_.load = load == 1;
    return true;
}

bool CalibratorModel::SetRelays(const Fields& f) {
    for (int byte : f)
        if (!InRange(byte, 0, 255)) return false;
    state_.relays = f;
    return true;
}

bool CalibratorModel::SetTaps(const Fields& f) {
    const Taps taps{f[0], f[1], f[2], f[3]};
    if (!IsBit(taps.t) || !InRange(taps.a, 0, 10) || !InRange(taps.b, 0, 10) || !IsBit(taps.d))
        return false;
    state_.taps = taps;
    return true;
}

// "SNR?0" gives the identification, "SNR?1" the serial number, each in double
// quotes. Identification is not a setting, so a condition does not replace it.
std::string CalibratorModel::Identify(std::string_view args) const {
    const auto f = ParseFields(args, 1);
    if (!f || !IsBit((*f)[0])) return "?";
    return '"' + ((*f)[0] == 0 ? identity_.ident : identity_.serial) + '"';
}

void CalibratorModel::ClearRecord() {
    received_.clear();
    receivedTotal_ = 0;
    counts_.fill(0);
}

}  // namespace t720::sim
