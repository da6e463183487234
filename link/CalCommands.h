// The calibrator's command texts and the judgement of its answers.
//
// Every variable field is written with a sign position (" 5"); the fixed pieces
// carry no blanks of their own. On the serial line a command is followed by one
// line feed; the USB library gets the bare text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/SharedState.h"

namespace t720 {

inline constexpr std::string_view kDeviceClear = "DCL";
inline constexpr std::string_view kRelaysAllOff = "K1T 0,0,0,0";

// Sign code of K1A: 128 (neutral, the set-up probe) or SignFlag + 2 × HalfBridge:
// 0 plus, 1 minus, full bridge; 2 plus, 3 minus, half bridge.
int16_t SignCode(int32_t signFlag, int32_t halfBridge);

// "K1A" sign code, step, range index, channel: "K1A 0, 5, 2, 3".
std::string K1AText(const SharedState& s);
// "K1B" ready, beep pair, load: "K1B 0,1000,100, 0" with the beep on, "K1B 0,0,0, 0" off.
std::string K1BText(int32_t readyOn, int32_t beep, int32_t loadHigh);
// Relay pattern, most significant byte first: "K1T  0, 0, 1, 255" for 511.
std::string K1TPatternText(const std::array<int16_t, 4>& relayByte);

// Verdict (AnswerStatus) of a serial exchange. `k1bAnswer` is "x" when K1B was not
// sent because K1A's answer did not begin with "0".."8".
int32_t SerialVerdict(std::string_view k1aAnswer, std::string_view k1bAnswer);
// Whether K1B goes out after this K1A answer on the serial line.
bool SerialSendsK1B(std::string_view k1aAnswer);
// Verdict of a library exchange: either call failed (nonzero result) → 0; else by
// the answers and the count the library left.
int32_t UsbVerdict(bool eitherCallFailed, std::string_view k1aAnswer, std::string_view k1bAnswer,
                   int32_t count);

}  // namespace t720
