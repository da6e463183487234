// Number texts as the calibrator and the operator see them, and texts from outside
// made fit to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace t720 {

// Whole number in decimal with a sign position: one blank in front of a number
// that is not negative, "-" in front of a negative one (" 5", "-5", " 0", " 128").
// Command fields and most captions use this form.
std::string SignPos(int64_t n);

// Formats `value` by a number pattern such as "##0.0000000", " ###0.0" or
// "#0.0 ppm": "0" is a digit that is always shown, "#" a digit shown only when
// significant, "." stands for `decimalSeparator`; characters before the first and
// after the last of these are copied. The value is rounded half away from zero to
// the decimals shown (judged on its 15 significant decimal digits, so 2.675 rounds
// to 2.68 as an operator would expect). A negative value carries its "-" in front
// of the whole text (before any leading literal); a value that rounds to zero is
// shown without sign.
std::string FormatPattern(double value, std::string_view pattern,
                          std::string_view decimalSeparator = ".");

// The decimal separator of the user's locale (QLocale's default locale), UTF-8.
std::string LocaleDecimalSeparator();

// FormatPattern with the user's locale.
std::string FormatLocal(double value, std::string_view pattern);

// Reads a number in the decimal-comma form that the line readers hand on: optional
// blanks, an optional sign, digits with at most one "," as decimal separator, an
// optional exponent ("E-01"), then nothing but blanks, CR and LF. Anything else, and
// a value that does not fit a double, is not a number: nullopt, never 0.
std::optional<double> ParseDecimalComma(std::string_view text);

// The number at the start of `text`, read the way the operator's switches and the
// calibrator's identification are read: blanks, tabs and line feeds are skipped
// wherever they stand, then an optional sign, digits, an optional "." with digits
// and an optional exponent ("E" or "D"); reading stops at the first character that
// cannot belong to the number. 0 when the text does not start with a number.
// Overflowing values come back as infinity; callers range-check.
double LeadingNumber(std::string_view text);

// At most this many characters of a text from outside are quoted in a message.
inline constexpr size_t kQuotedAnswerMax = 40;

// A text from outside (a DMM answer, a field of a run record) made fit to be
// quoted to the operator or on a terminal: the line end dropped, control
// characters shown as \xNN, bytes above 0x9F read as Latin-1, cut to
// kQuotedAnswerMax characters ("..." marks a cut).
std::string QuoteOutsideText(std::string_view answer);

}  // namespace t720
