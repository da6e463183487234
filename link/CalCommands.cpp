#include "link/CalCommands.h"

#include "link/NumberText.h"

namespace t720 {

namespace {

bool StartsWith(std::string_view s, char c) {
    return !s.empty() && s.front() == c;
}
bool StartsWithIn(std::string_view s, char lo, char hi) {
    return !s.empty() && s.front() >= lo && s.front() <= hi;
}

}  // namespace

int16_t SignCode(int32_t signFlag, int32_t halfBridge) {
    if (signFlag == 128) return 128;
    return static_cast<int16_t>(signFlag + 2 * halfBridge);
}

std::string K1AText(const SharedState& s) {
    return "K1A" + SignPos(SignCode(s.SignFlag, s.HalfBridge)) + "," + SignPos(s.ProzStep) + "," +
           SignPos(s.RangeIdx) + "," + SignPos(s.ChannelNo);
}

std::string K1BText(int32_t readyOn, int32_t beep, int32_t loadHigh) {
    return "K1B" + SignPos(readyOn) + (beep != 0 ? ",1000,100," : ",0,0,") + SignPos(loadHigh);
}

std::string K1TPatternText(const std::array<int16_t, 4>& relayByte) {
    return "K1T " + SignPos(relayByte[3]) + "," + SignPos(relayByte[2]) + "," +
           SignPos(relayByte[1]) + "," + SignPos(relayByte[0]);
}

bool SerialSendsK1B(std::string_view k1aAnswer) {
    return StartsWithIn(k1aAnswer, '0', '8');
}

int32_t SerialVerdict(std::string_view k1aAnswer, std::string_view k1bAnswer) {
    // The rules are applied in this order; a later one overrides an earlier one.
    int32_t status = StartsWith(k1bAnswer, '0') ? kAnswerAccepted : kAnswerNone;
    if (StartsWith(k1bAnswer, '?')) status = kAnswerNone;
    if (StartsWithIn(k1bAnswer, '1', '8')) status = kAnswerCondition;
    if (StartsWithIn(k1aAnswer, '1', '8')) status = kAnswerCondition;
    return status;
}

int32_t UsbVerdict(bool eitherCallFailed, std::string_view k1aAnswer, std::string_view k1bAnswer,
                   int32_t count) {
    if (eitherCallFailed) return kAnswerLibraryFailed;
    int32_t status = StartsWith(k1bAnswer, '0') ? kAnswerAccepted : kAnswerCondition;
    if (StartsWith(k1bAnswer, '?')) status = kAnswerNone;
    if (StartsWith(k1aAnswer, '?')) status = kAnswerNone;
    if (count == 0) status = kAnswerEmpty;
    return status;
}

}  // namespace t720
