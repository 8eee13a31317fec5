// The slow, obvious conversions that the fast ones must equal byte for
// byte: the C library's "%#.*f" and strtod.  Shared by the equality test,
// the exhaustive check and the fuzzer.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recordio/fixed_fields.h"
#include "recordio/freeform_input.h"
#include "recordio/freeform_output.h"

/// The C library's "%#.*f" of a float's magnitude, and whether a minus
/// sign goes before it: a value below zero whose text shows a digit other
/// than 0.
inline std::string referenceMagnitudeText(float value, int decimals, bool& negative) {
  const double wide = value;
  negative = wide < 0;
  char converted[400];
  snprintf(converted, sizeof converted, "%#.*f", decimals,
           negative ? -wide : std::fabs(wide));  // no sign for -0 or any NaN
  std::string text = converted;
  if (negative && text.find_first_not_of("0.") == std::string::npos) negative = false;
  return text;
}

/// The fixed-point text that fixedPointText must give.
inline std::string referenceFixedText(float value, int decimals) {
  bool negative;
  const std::string text = referenceMagnitudeText(value, decimals, negative);
  return (negative ? "-" : "") + text;
}

/// A fixed-point field as the rules build it from the C library's text.
inline std::string referenceFixedField(float value, int width, int decimals) {
  bool negative;
  std::string text = referenceMagnitudeText(value, decimals, negative);
  size_t length = text.size() + (negative ? 1 : 0);
  if (length > static_cast<size_t>(width)) {
    if (text[0] != '0' || length - 1 != static_cast<size_t>(width)) return std::string(width, '*');
    text.erase(0, 1);
    --length;
  }
  return std::string(width - length, ' ') + (negative ? "-" : "") + text;
}

/// The field formatFixed places.
inline std::string fixedField(float value, int width, int decimals) {
  recordio::outputRecord.position = 0;
  recordio::formatFixed(value, width, decimals);
  std::string field(recordio::outputRecord.chars, recordio::outputRecord.position);
  recordio::outputRecord.position = 0;
  return field;
}

/// strtod of the number's decimal text.
inline double referenceDecimal(bool negative, const char* digits, int count, int64_t exponent) {
  char text[64];
  recordio::decimalText(negative, digits, count, exponent, text);
  return strtod(text, nullptr);
}
