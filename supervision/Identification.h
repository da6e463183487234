// How the texts that identify a calibrator are read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace t720 {

// A serial identification answer as it is shown: every double quote removed, then
// the line ending (the last two characters) dropped from a text longer than four.
std::string CleanSerialAnswer(std::string answer);

// A QV310 amplifier offers channels 0 to 15; everything else 0 to 8.
bool HasSixteenChannels(const std::string& idText);

// The half-bridge option: the serial-number text names a T720H.
bool OffersHalfBridge(const std::string& deviceId);

// Ranges 1 to 5 of a "T720S" variant, as RangeTable entries (app/RangeTable.h), by the
// number that follows "T720S" ("T720S09 ..." is variant 9); nullopt when the
// identification is no T720S or the variant keeps the standard table.
std::optional<std::array<int32_t, 5>> VariantRanges(const std::string& idText);

}  // namespace t720
