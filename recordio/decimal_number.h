// The number core: a decimal number, as its digits and the power of ten of
// the last, made into the double and the float that free-form reading
// gives it.  Every fast path of the readers is a special case of it.
#pragma once

#include <cstdint>

namespace recordio {

/// Digits and powers of ten of the exact path: every integer below 10^15
/// and every power of ten up to 1e22 is a double exactly.
constexpr int kExactDigits = 15;
constexpr int kExactPowers = 22;
inline constexpr double kExactPowersOfTen[kExactPowers + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The exact path: `digits` (below 10^15) times 10^`exponent` (within
/// +-22), negated when `negative` unless it is zero.  Both operands are
/// exact doubles, so the one multiplication or division rounds once, to
/// the nearest double, as strtod does with the number's text.
inline double exactDecimal(bool negative, uint64_t digits, int exponent) {
  double value = static_cast<double>(digits);
  value = exponent < 0 ? value / kExactPowersOfTen[-exponent] : value * kExactPowersOfTen[exponent];
  return negative && digits != 0 ? -value : value;
}

/// The decimal text of a scanned number: a minus sign when negative, the
/// `count` retained digits and, unless `exponent` is 0, "e" and the
/// exponent (held within +-999999999).  `text` must hold 64 characters;
/// returns the length.
int decimalText(bool negative, const char* digits, int count, int64_t exponent, char* text);

/// The nearest double to the `count` digits (1 to 40, the first not 0)
/// times 10^`exponent`, as the C library's strtod gives it: infinity of
/// its sign beyond the double range, zero below it.  The exact path where
/// it holds, strtod of decimalText otherwise.
double decimalToDouble(bool negative, const char* digits, int count, int64_t exponent);

/// The nearest float to `value`, infinity beyond the float range.
float toReal(double value);

/// `value` truncated toward zero; -2147483648 when out of range.
int32_t toInteger(double value);

}  // namespace recordio
