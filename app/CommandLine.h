// The program's command-line switches. They are searched, case-sensitively, anywhere
// in the text that follows the program name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace t720 {

struct Switches {
    // Only the first of the chain "/ZOREinmessen", "/Load", "/Relais(" that is present
    // takes effect.
    bool linearity = false;  // "/ZOREinmessen": the special button starts a linearity run
    bool load = false;       // "/Load": the special button is the load toggle
    // "/Relais(n)": the relay-cleaning pattern; set only for a nonzero n that fits
    // a signed 32-bit number.
    std::optional<int32_t> relayMask;
    std::optional<std::string> dev;  // "/DEV=word"
    std::optional<std::string> id;   // "/ID=word"
};

Switches ParseSwitches(const std::string& commandLine);

// n split into its two's-complement bytes, least significant first (511 → 255, 1, 0, 0).
std::array<int16_t, 4> RelayBytes(int32_t n);

// The main window's title with the "/DEV=" and "/ID=" parts.
std::string WindowTitle(const Switches& switches);

inline constexpr const char* kProgramTitle = "ZOR Calibration System for T720, V1.18, 01/2015";

}  // namespace t720
