#pragma once

#include <optional>
#include <string_view>

namespace t720 {

// Serial line settings in the text form "baud,parity,data bits,stop bits", for
// example "9600,E,8,1" (even parity) or "9600,N,8,1".
struct LineSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };
    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    bool operator==(const LineSettings&) const = default;
};

// nullopt for anything that is not exactly four fields with a positive baud rate,
// one of the parity letters N, E, O, M, S, 5 to 8 data bits and 1, 1.5 or 2 stop bits.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

}  // namespace t720
