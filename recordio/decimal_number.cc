#include "recordio/decimal_number.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace recordio {

int decimalText(bool negative, const char* digits, int count, int64_t exponent, char* text) {
  char* end = text;
  if (negative) *end++ = '-';
  memcpy(end, digits, count);
  end += count;
  if (exponent != 0) {
    // Beyond this the value is infinity or zero whatever the digits.
    constexpr int64_t kLimit = 999999999;
    *end++ = 'e';
    end = std::to_chars(end, end + 12, std::clamp(exponent, -kLimit, kLimit)).ptr;
  }
  *end = '\0';
  return static_cast<int>(end - text);
}

double decimalToDouble(bool negative, const char* digits, int count, int64_t exponent) {
  if (count <= kExactDigits && exponent >= -kExactPowers && exponent <= kExactPowers) {
    uint64_t whole = 0;
    for (int i = 0; i < count; ++i) whole = 10 * whole + (digits[i] - '0');
    return exactDecimal(negative, whole, static_cast<int>(exponent));
  }
  // The rest goes to the C library, which rounds correctly too.
  char text[64];
  decimalText(negative, digits, count, exponent, text);
  return strtod(text, nullptr);
}

float toReal(double value) {
  // Beyond the largest float by half a unit in the last place the nearest
  // float is infinity; the conversion itself is only defined in range.
  constexpr double kOverflow = 0x1.ffffffp127;
  if (std::fabs(value) >= kOverflow) return value < 0 ? -INFINITY : INFINITY;
  if (std::fabs(value) > FLT_MAX) return value < 0 ? -FLT_MAX : FLT_MAX;
  return static_cast<float>(value);
}

int32_t toInteger(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return INT32_MIN;
}

}  // namespace recordio
