// The value forms of the parameter file: whole numbers, reals and texts.
// Pure functions over one item's bytes; the loaders decide what a failed
// conversion does to their field.
#ifndef ZL_CONFIG_VALUEFORMS_H
#define ZL_CONFIG_VALUEFORMS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zl {

// What a real that does not convert is stored as; list loaders treat a field
// holding it as invalid.
constexpr double kInvalidReal = -999999.9;

// Whole number: optional leading blanks, an optional sign, then decimal digits,
// or hexadecimal digits after "$", "x", "X", "0x" or "0X". The whole text must
// convert. A decimal number must lie in the signed 32-bit range; hexadecimal
// takes at most 32 bits of value (leading zeros are free), so "$FFFFFFFF" is
// -1. Nothing when the text does not convert.
std::optional<int32_t> ParseWhole(std::string_view text);

// Real: optional leading blanks, an optional sign, decimal digits with an
// optional fraction after "." and an optional exponent ("E" or "e", optional
// sign, digits); at least one digit before the exponent. The whole text must
// convert to a finite number. Independent of the process's locale.
std::optional<double> ParseReal(std::string_view text);

// The text rule applied to a joined value: a double quote starts a quoted run
// copied as it stands up to the next double quote (or the end); "$" and the
// next two characters, taken as a whole number, append the character with that
// code; every other character outside quotes is ignored. Nothing when a "$"
// has fewer than two characters after it or its three characters do not
// convert.
std::optional<std::string> DecodeText(std::string_view joined);

}  // namespace zl

#endif  // ZL_CONFIG_VALUEFORMS_H
