#include "recordio/fixed_fields.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "recordio/failure_report.h"
#include "recordio/freeform_output.h"
#include "recordio/records.h"

namespace recordio {

namespace {

constexpr uint64_t kPowersOfTen[19] = {1,
                                        10,
                                        100,
                                        1000,
                                        10000,
                                        100000,
                                        1000000,
                                        10000000,
                                        100000000,
                                        1000000000,
                                        10000000000,
                                        100000000000,
                                        1000000000000,
                                        10000000000000,
                                        100000000000000,
                                        1000000000000000,
                                        10000000000000000,
                                        100000000000000000,
                                        1000000000000000000};

// The edit list with its group written out: only fields and literals,
// in the order the walk meets them.
constexpr int kListLength = sizeof kRowEditList / sizeof kRowEditList[0];

constexpr int expandedLength() {
  int length = 0, repeat = 1;
  for (const EditStep& s : kRowEditList) {
    if (s.kind == EditStep::groupStart) repeat = s.width;
    if (s.kind == EditStep::groupEnd) repeat = 1;
    if (s.kind == EditStep::field || s.kind == EditStep::literal) length += repeat;
  }
  return length;
}

constexpr std::array<EditStep, expandedLength()> expandedList() {
  std::array<EditStep, expandedLength()> steps{};
  int length = 0;
  for (int i = 0; i < kListLength; ++i) {
    if (kRowEditList[i].kind == EditStep::groupStart) {
      int end = i + 1;
      while (kRowEditList[end].kind != EditStep::groupEnd) ++end;
      for (int pass = 0; pass < kRowEditList[i].width; ++pass) {
        for (int j = i + 1; j < end; ++j) steps[length++] = kRowEditList[j];
      }
      i = end;
    } else {
      steps[length++] = kRowEditList[i];
    }
  }
  return steps;
}

constexpr auto kRowSteps = expandedList();
constexpr int kStepCount = static_cast<int>(kRowSteps.size());

int step = 0;  // next step of the expanded list

// Walks the list, placing literals, up to the next field or the end.
// Returns the field's step, or kStepCount at the end of the list.
inline int walkToField() {
  for (; step < kStepCount; ++step) {
    if (kRowSteps[step].kind == EditStep::field) return step++;
    placeChar(kRowSteps[step].text);
  }
  return kStepCount;
}

bool onlyZeros(const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    if (text[i] != '0' && text[i] != '.') return false;
  }
  return true;
}

}  // namespace

int fixedPointText(float value, int decimals, char* text) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  // Negative values, 1e10 and above, infinities and NaNs lie at or above
  // the pattern of 1e10 when the patterns are read as unsigned numbers.
  if (bits >= std::bit_cast<uint32_t>(1e10f) || decimals < 0 || decimals > 9) {
    return snprintf(text, 64, "%#.*f", decimals, static_cast<double>(value));
  }
  // value = mantissa * 2^exponent exactly; scale by 10^decimals and round
  // once, to nearest with ties to even, in integer arithmetic.
  const int biased = static_cast<int>(bits >> 23);
  const uint64_t mantissa = biased == 0 ? bits & 0x7fffff : (bits & 0x7fffff) | 0x800000;
  const int exponent = biased == 0 ? -149 : biased - 150;
  const uint64_t scale = kPowersOfTen[decimals];
  uint64_t scaled;
  if (exponent >= 0) {
    scaled = (mantissa << exponent) * scale;  // below 1e10 * 1e9 < 2^64
  } else {
    const uint64_t product = mantissa * scale;  // below 2^24 * 1e9 < 2^54
    const int shift = -exponent;
    if (shift >= 64) {
      scaled = 0;  // product / 2^shift is below 2^-10
    } else {
      scaled = product >> shift;
      const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
      const uint64_t half = uint64_t{1} << (shift - 1);
      if (rest > half || (rest == half && (scaled & 1))) ++scaled;
    }
  }
  // The table's three decimals divide by a constant, which is cheaper.
  const uint64_t whole = decimals == 3 ? scaled / 1000 : scaled / scale;
  const uint64_t fraction = scaled - whole * scale;
  char* end = std::to_chars(text, text + 24, whole).ptr;
  *end++ = '.';
  uint64_t rest = fraction;
  for (int i = decimals - 1; i >= 0; --i, rest /= 10) end[i] = static_cast<char>('0' + rest % 10);
  end += decimals;
  *end = '\0';
  return static_cast<int>(end - text);
}

void formatFixed(float value, int width, int decimals) {
  bool negative = value < 0;
  const float magnitude = negative ? -value : value == 0 ? 0.0f : value;  // -0 shows as 0
  char* field = reserveChars(width > 0 ? width : 0);
  outputRecord.position += width > 0 ? width : 0;
  // A finite magnitude of 10^width or more has more integer digits than
  // the field has room for.
  if (width < 19 && decimals >= 0 && std::isfinite(magnitude) &&
      static_cast<double>(magnitude) >= static_cast<double>(kPowersOfTen[width])) {
    memset(field, '*', width);
    return;
  }
  char text[64];
  int length = fixedPointText(magnitude, decimals, text);
  const char* digits = text;
  if (negative && onlyZeros(text, length)) negative = false;
  if (negative) ++length;
  if (length > width) {
    if (text[0] == '0' && length - 1 == width) {
      ++digits;
      --length;
    } else {
      memset(field, '*', width);
      return;
    }
  }
  memset(field, ' ', width - length);
  field += width - length;
  if (negative) *field++ = '-';
  memcpy(field, digits, text + strlen(text) - digits);
}

namespace FixedRowWriter {

void start(int32_t unit) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  statementState.reading = false;
  statementState.sequential = statementState.formatted = statementState.external = true;
  if (!unitInRange(unit)) reportFailure(101, "startio");
  RecordUnit& u = units[unit];
  if (!u.stream && connectDefault(unit) != 0) reportFailure(114, "sfe");
  statementState.currentUnit = &u;
  statementState.lastFormat = kRowFormat;
  static const int32_t formatTextLength = formatLength(kRowFormat);
  statementState.lastFormatLength = formatTextLength;
  outputRecord.position = 0;
  step = 0;
  if (!u.lastWasWrite && switchToWriting(u) != 0) reportFailure(127, "write start");
}

void putReal(float value) {
  const int field = walkToField();
  if (field < kStepCount) {
    formatFixed(value, kRowSteps[field].width, kRowSteps[field].decimals);
  }
}

void finish() {
  walkToField();
  emitOutputRecord();
  statementInProgress = false;
  statementState.lastFormat = nullptr;
}

}  // namespace FixedRowWriter

}  // namespace recordio
