// The T720 calibrator as its command line sees it: one command line in, at most
// one answer line out. No I/O and no clock: the bench's endpoints carry the lines,
// and the faults of the line itself (late, in pieces, garbage) are theirs.
//
// The model parses the commands on its own, independently of the program's command
// texts, so a fault in those texts shows up as a refusal instead of being mirrored.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace t720::sim {

class CalibratorModel {
  public:
    // Which calibrator this is. The texts must not contain CR or LF (they travel
    // as one answer line).
    struct Identity {
        std::string serial = "T720-40211";
        std::string ident = "T720S09 V2.01";
        int ranges = 6;    // 5 or 6
        int channels = 0;  // 9 or 16; 0: 16 when the identification begins with "QV310", else 9
    };

    // Faults the device itself shows. Silence wins over refusal, refusal over the
    // condition digit.
    struct Faults {
        bool silent = false;  // every line is received and recorded, none answered
        bool refuse = false;  // every line is answered "?"
        int condition = 0;    // 1..8: setting commands answered with this digit; 0 = none
    };

    // Divider tap selection of the last accepted K1Y.
    struct Taps {
        int t = 0, a = 0, b = 0, d = 0;
        bool operator==(const Taps&) const = default;
    };

    // What the accepted commands asked the calibrator to output; all zero at power-on.
    struct OutputState {
        int sign = 0;     // 0 plus, 1 minus, 2 plus half bridge, 3 minus half bridge, 128 neutral
        int step = 0;     // output in tens of percent of full scale, 0..10
        int range = 0;    // range index 1..ranges; 0 until the first K1A
        int channel = 0;  // 0..channels-1
        bool ready = false;
        bool beep = false;
        bool load = false;
        std::array<int, 4> relays{};  // last K1T pattern, bytes 3, 2, 1, 0
        Taps taps;
        bool operator==(const OutputState&) const = default;
    };

    // Command kinds, by the command word a line begins with.
    enum class Command { K1A, K1B, K1T, K1Y, DCL, SNR, Unknown };
    static constexpr size_t kCommandKinds = 7;

    // The record keeps the latest lines only, so a bench that runs for days under a
    // polling program does not grow without bound.
    static constexpr size_t kRecordCap = 10000;

    CalibratorModel();
    explicit CalibratorModel(Identity identity);

    // Throws std::invalid_argument for a variant the calibrator is not built in or
    // a text that cannot travel as one line; the previous identity then stays.
    void SetIdentity(Identity identity);
    const Identity& identity() const { return identity_; }
    int Channels() const;

    // Throws std::invalid_argument for a condition outside 0..8.
    void SetFaults(Faults faults);
    const Faults& faults() const { return faults_; }

    // One command line without its line feed. Returns the answer line ending in
    // CR LF: "0" accepted, "?" not understood or refused, "1".."8" while a condition
    // is set, the quoted text for "SNR?0" / "SNR?1"; nullopt while silent.
    // A setting command answered with a condition digit still takes effect.
    std::optional<std::string> Handle(std::string_view line);

    const OutputState& state() const { return state_; }

    // Lines received, oldest first: every line, whether answered or not.
    const std::deque<std::string>& received() const { return received_; }
    uint64_t receivedTotal() const { return receivedTotal_; }
    // Lines received with this command word, valid or not.
    uint64_t count(Command kind) const { return counts_[static_cast<size_t>(kind)]; }
    void ClearRecord();

  private:
    using Fields = std::array<int, 4>;

    std::string Respond(Command kind, std::string_view args);
    bool Apply(Command kind, std::string_view args);
    bool SetOutput(const Fields& f);
    bool SetSwitches(const Fields& f);
    bool SetRelays(const Fields& f);
    bool SetTaps(const Fields& f);
    std::string Identify(std::string_view args) const;

    Identity identity_;
    Faults faults_;
    OutputState state_;
    std::deque<std::string> received_;
    uint64_t receivedTotal_ = 0;
    std::array<uint64_t, kCommandKinds> counts_{};
};

}  // namespace t720::sim
