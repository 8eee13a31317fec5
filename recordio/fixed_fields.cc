#include "recordio/fixed_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

#include "recordio/decimal_number.h"
#include "recordio/failure_report.h"
#include "recordio/freeform_output.h"
#include "recordio/process.h"
#include "recordio/records.h"
#include "recordio/routes.h"

namespace recordio {

namespace {

// magnitude * 10^decimals rounded once, to nearest with ties to even, for
// a magnitude (not negative) below 1e10 with at most 9 decimals; false
// outside that domain.  A float is m * 2^e with m below 2^24, and 10^d is
// 5^d * 2^d with 5^9 below 2^21, so the product in double precision is
// exact; adding and taking away 2^52 then rounds it to an integer in the
// default rounding mode, ties to even.
[[gnu::always_inline]] inline bool scaleExactly(float magnitude, int decimals, uint64_t& scaled) {
  // 1e10 and above, infinities and NaNs lie at or above the pattern of
  // 1e10 when the patterns are read as unsigned numbers.
  if (std::bit_cast<uint32_t>(magnitude) >= std::bit_cast<uint32_t>(1e10f) || decimals < 0 ||
      decimals > 9) {
    return false;
  }
  constexpr double kTwoTo52 = 0x1p52;
  const double product = static_cast<double>(magnitude) * kExactPowersOfTen[decimals];
  // Below 1e10 times 10^4 the product is below 2^52 in any case.
  if (decimals > 4 && product >= kTwoTo52) return false;
  scaled = static_cast<uint64_t>((product + kTwoTo52) - kTwoTo52);
  return true;
}

}  // namespace

int fixedPointText(float value, int decimals, char* text) {
  const bool belowZero = value < 0;
  // -0 shows as 0, and a NaN is not below zero whatever its sign bit.
  const float magnitude = belowZero ? -value : std::fabs(value);
  char* const digits = text + belowZero;  // after the place of a sign
  int length;
  uint64_t scaled;
  if (scaleExactly(magnitude, decimals, scaled)) {
    // Built backward, then placed.
    char run[24];
    char* p = run + sizeof run;
    for (int i = 0; i < decimals; ++i, scaled /= 10) *--p = static_cast<char>('0' + scaled % 10);
    *--p = '.';
    do {
      *--p = static_cast<char>('0' + scaled % 10);
      scaled /= 10;
    } while (scaled != 0);
    length = static_cast<int>(run + sizeof run - p);
    memcpy(digits, p, length);
  } else {
    length =
        snprintf(digits, kFixedTextSize - 1, "%#.*f", decimals, static_cast<double>(magnitude));
  }
  if (!belowZero) return length;
  // The one place of the rule: a value shown as zero has no sign.
  if (std::all_of(digits, digits + length, [](char c) { return c == '0' || c == '.'; })) {
    memmove(text, digits, length);
    return length;
  }
  text[0] = '-';
  return length + 1;
}

void formatFixed(float value, int width, int decimals) {
  if (width < 0) width = 0;
  char* const field = reserveChars(width);
  outputRecord.position += width;
  // A finite magnitude of 10^width or more has more digits before its
  // point than the field has room for: asterisks, without making its text.
  if (width <= kExactPowers && std::isfinite(value) &&
      std::fabs(static_cast<double>(value)) >= kExactPowersOfTen[width]) {
    memset(field, '*', width);
    return;
  }
  char text[kFixedTextSize];
  int length = fixedPointText(value, decimals, text);
  if (length > width) {
    // A text one too wide gives up the 0 before its point, if it has one.
    const int zero = text[0] == '-';
    if (length - 1 != width || text[zero] != '0' || text[zero + 1] != '.') {
      memset(field, '*', width);
      return;
    }
    memmove(text + zero, text + zero + 1, length - zero - 1);
    --length;
  }
  memset(field, ' ', width - length);
  memcpy(field + width - length, text, length);
}

namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

// Stores eight characters held in a word, the first in its lowest byte,
// in their order whatever the machine's byte order.
[[gnu::always_inline]] inline void storeEight(char* p, uint64_t text) {
  if constexpr (std::endian::native == std::endian::big) text = __builtin_bswap64(text);
  memcpy(p, &text, 8);
}

// The texts of the integer parts 0 to 999, right-aligned in four bytes
// with their sign (blanks first), positive and negative side by side; and
// the point with the three decimals .000 to .999.
struct ShortTexts {
  uint32_t whole[1000][2];
  uint32_t decimals[1000];
};

constexpr ShortTexts kShortTexts = [] {
  ShortTexts t{};
  for (uint32_t n = 0; n < 1000; ++n) {
    for (int negative = 0; negative < 2; ++negative) {
      char text[4] = {' ', ' ', ' ', ' '};
      int p = 4;
      uint32_t rest = n;
      do {
        text[--p] = static_cast<char>('0' + rest % 10);
        rest /= 10;
      } while (rest != 0);
      if (negative) text[--p] = '-';
      for (int i = 0; i < 4; ++i) t.whole[n][negative] |= uint32_t{uint8_t(text[i])} << 8 * i;
    }
    const char digits[4] = {'.', char('0' + n / 100), char('0' + n / 10 % 10), char('0' + n % 10)};
    for (int i = 0; i < 4; ++i) t.decimals[n] |= uint32_t{uint8_t(digits[i])} << 8 * i;
  }
  return t;
}();

// The text of the commonest table field, a magnitude below 1000 with
// three decimals: sign and integer part right-aligned in four characters
// (blanks first), the point and three decimals, the first character in
// the lowest byte.  False when the magnitude is larger or is no finite
// number.  A special case of fixedPointText: its scaled value with three
// decimals, whose text shows only zeros exactly when it is 0.
[[gnu::always_inline]] inline bool tabledText(float value, uint64_t& text) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  uint64_t scaled;
  if (!scaleExactly(std::bit_cast<float>(bits & 0x7fffffff), 3, scaled) || scaled >= 1000000)
    return false;
  const bool negative = (bits >> 31) != 0 && scaled != 0;  // a value shown as zero has no sign
  const uint32_t whole = static_cast<uint32_t>(scaled / 1000);
  const uint32_t fraction = static_cast<uint32_t>(scaled - 1000 * whole);
  text = kShortTexts.whole[whole][negative] | uint64_t{kShortTexts.decimals[fraction]} << 32;
  return true;
}

// A text of tabledText for a field `cut` characters narrower than it:
// the text without that many leading blanks, the rest moving down; false
// when it has fewer.
inline bool cutLeadingBlanks(uint64_t& text, int cut) {
  if (cut > 3 || ((text ^ 0x20202020) & ((uint64_t{1} << 8 * cut) - 1)) != 0) return false;
  text >>= 8 * cut;
  return true;
}

// The row as the walk lays it out when every field comes from the
// tables: the literals, blanks where the fields go, and the line feed.
struct RowLayout {
  std::array<char, FixedRowWriter::kWholeRowRoom> text;
  int fieldStart[kRowFieldCount];
};

constexpr RowLayout kRowLayout = [] {
  RowLayout l{};
  for (char& c : l.text) c = ' ';
  int at = 0, field = 0;
  for (int i = 0; i < kRowEditList.length; ++i) {
    const EditStep& s = kRowEditList.steps[i];
    if (s.isField) {
      l.fieldStart[field++] = at;
      at += s.width;
    } else {
      l.text[at++] = s.text;
    }
  }
  l.text[at] = '\n';
  return l;
}();

// What the whole row covers: a format it does not is a compile error
// here, not rows that silently take the walk.  Every field has the
// tables' three decimals and room for their eight characters less at
// most three leading blanks.
static_assert(kRowEditList.everyField(0, 3), "the tables hold texts of three decimals");
static_assert(std::ranges::none_of(kRowEditList.steps,
                                   [](const EditStep& s) { return s.isField && s.width < 5; }),
              "a field too narrow for the tables' texts");

// Field `F` of a row laid out as kRowLayout, from its text from the
// tables; false when it does not fit.  A field narrower than the text
// takes it without its leading blanks, if it has that many, and keeps the
// row's own bytes after it.
template <int F>
[[gnu::always_inline]] inline bool placeRowField(char* row, uint64_t text) {
  constexpr EditStep plan = kRowEditList.field(F);
  constexpr int start = kRowLayout.fieldStart[F];
  if constexpr (plan.width >= 8) {
    storeEight(row + start + plan.width - 8, text);
    return true;
  } else {
    constexpr uint64_t after = [] {
      uint64_t bytes = 0;
      for (int i = plan.width; i < 8; ++i)
        bytes |= uint64_t{static_cast<uint8_t>(kRowLayout.text[start + i])} << 8 * i;
      return bytes;
    }();
    if (!cutLeadingBlanks(text, 8 - plan.width)) return false;
    storeEight(row + start, text | after);
    return true;
  }
}

// The whole row at `row`, its field texts made one at a time; false when
// a field does not come from the tables.
template <size_t... F>
[[gnu::always_inline]] inline bool placeRowOneByOne(char* row, const float* values,
                                                    std::index_sequence<F...>) {
  uint64_t texts[kRowFieldCount];
  bool made = true;
  for (int f = 0; f < kRowFieldCount; ++f) made &= tabledText(values[f], texts[f]);
  if (!made) return false;
  memcpy(row, kRowLayout.text.data(), kRowLayout.text.size());
  return (placeRowField<F>(row, texts[F]) && ...);
}

#if defined(__SSE2__)
// The same with the four texts made at once, each step of tabledText done
// on the four in one register: the same operations in double precision,
// the division by 1000 by the same multiplication and shift, the same
// rule for the sign.  Written for the table's four fields.
template <size_t... F>
[[gnu::always_inline]] inline bool placeRowByFours(char* row, const float* values,
                                                   std::index_sequence<F...>) {
  // The values were stored one by one: loaded so, each load takes its
  // value straight from its store, where one wide load would wait for all
  // four stores to reach the cache.
  const __m128 low = _mm_unpacklo_ps(_mm_load_ss(values), _mm_load_ss(values + 1));
  const __m128 high = _mm_unpacklo_ps(_mm_load_ss(values + 2), _mm_load_ss(values + 3));
  const __m128i bits = _mm_castps_si128(_mm_movelh_ps(low, high));
  const __m128i magnitude = _mm_srli_epi32(_mm_slli_epi32(bits, 1), 1);
  const __m128i tooLarge = _mm_cmpgt_epi32(
      magnitude, _mm_set1_epi32(static_cast<int>(std::bit_cast<uint32_t>(1000.0f)) - 1));
  const __m128 m = _mm_castsi128_ps(magnitude);
  // Loaded whole: built lane by lane, the doubles cost more than the work.
  alignas(16) static constexpr double kThousand[2] = {1000.0, 1000.0};
  alignas(16) static constexpr double kTwoTo52[2] = {0x1p52, 0x1p52};
  const __m128d thousand = _mm_load_pd(kThousand), twoTo52 = _mm_load_pd(kTwoTo52);
  const auto scale = [&](__m128 two) {
    const __m128d product = _mm_mul_pd(_mm_cvtps_pd(two), thousand);
    return _mm_cvttpd_epi32(_mm_sub_pd(_mm_add_pd(product, twoTo52), twoTo52));
  };
  const __m128i scaled = _mm_unpacklo_epi64(scale(m), scale(_mm_movehl_ps(m, m)));
  const __m128i outside = _mm_or_si128(tooLarge, _mm_cmpgt_epi32(scaled, _mm_set1_epi32(999999)));
  if (_mm_movemask_epi8(outside) != 0) return false;
  const __m128i negative =
      _mm_andnot_si128(_mm_cmpeq_epi32(scaled, _mm_setzero_si128()), _mm_srai_epi32(bits, 31));
  const __m128i magic = _mm_set1_epi32(0x10624dd3);  // 2^38 / 1000, rounded up
  const __m128i even = _mm_srli_epi64(_mm_mul_epu32(scaled, magic), 38);
  const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(scaled, 32), magic), 38);
  const __m128i whole = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
  // Each whole part is below 1000: its low half times 1000 is the product.
  const __m128i fraction = _mm_sub_epi32(scaled, _mm_madd_epi16(whole, _mm_set1_epi32(1000)));
  alignas(16) uint32_t wholeIndex[4], fractionIndex[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(wholeIndex),
                  _mm_sub_epi32(_mm_add_epi32(whole, whole), negative));
  _mm_store_si128(reinterpret_cast<__m128i*>(fractionIndex), fraction);
  const uint32_t* const wholeTexts = &kShortTexts.whole[0][0];
  memcpy(row, kRowLayout.text.data(), kRowLayout.text.size());
  return (placeRowField<F>(row, wholeTexts[wholeIndex[F]] |
                                    uint64_t{kShortTexts.decimals[fractionIndex[F]]} << 32) &&
          ...);
}
#endif

// The whole row; false when a field does not come from the tables.
[[gnu::always_inline]] inline bool placeRow(char* row, const float* values) {
  constexpr auto fields = std::make_index_sequence<kRowFieldCount>();
#if defined(__SSE2__)
  static_assert(kRowFieldCount == 4, "the four texts at once are made for four fields");
  if (route == Route::fastest) return placeRowByFours(row, values, fields);
#endif
  return placeRowOneByOne(row, values, fields);
}

// The row by the walk over the edit list: the literals up to each field,
// the field, and after the last value the literals up to the next field
// or the list's end; a value past the last field is dropped.
[[gnu::noinline]] void placeRowByWalk(const float* values, int count) {
  outputRecord.position = 0;
  int step = 0;
  for (int value = 0; value <= count; ++value) {
    for (; step < kRowEditList.length && !kRowEditList.steps[step].isField; ++step)
      placeChar(kRowEditList.steps[step].text);
    if (value == count || step == kRowEditList.length) continue;
    const EditStep& s = kRowEditList.steps[step++];
    formatFixed(values[value], s.width, s.decimals);
  }
  emitOutputRecord();
}

}  // namespace

namespace FixedRowWriter {

PendingRow pendingRow;

void checkStart(int32_t unit) {
  startEditedStatement(unit, kRowFormat, false, false);
  pendingRow.count = 0;
}

bool placeWholeRow(char* row, const float* values) { return placeRow(row, values); }

void finish() {
  PendingRow& row = pendingRow;
  RecordUnit& u = *statementState.currentUnit;
  // Most rows have every field from the tables and are placed whole, in
  // the unit's record hand-over; the others take the walk.
  char* const room = recordRoom(u, kWholeRowRoom);
  if (room && row.count == kRowFieldCount && route != Route::general && placeRow(room, row.values))
      [[likely]] {
    countRoute(&RouteCounts::wholeRows);
    commitRecord(u, kRowLength);
  } else {
    countRoute(&RouteCounts::walkedRows);
    placeRowByWalk(row.values, row.count < kRowFieldCount ? row.count : kRowFieldCount);
  }
  row.count = 0;
  statementInProgress = false;
  statementState.lastFormat = nullptr;
}

}  // namespace FixedRowWriter

}  // namespace recordio
