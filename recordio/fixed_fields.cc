#include "recordio/fixed_fields.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

#include "recordio/failure_report.h"
#include "recordio/freeform_output.h"
#include "recordio/platform.h"
#include "recordio/process.h"
#include "recordio/records.h"

namespace recordio {

namespace {

// 10^0 to 10^19, all exact in 64 bits.
constexpr auto kPowersOfTen = [] {
  std::array<uint64_t, 20> powers{};
  powers[0] = 1;
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();

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
// The row as the walk meets it, one entry a field: the literals placed
// before the field (up to eight, the first in the lowest byte of `before`)
// and the field's width and decimals.  A last entry without a field holds
// the literals after the last field.
struct FieldPlan {
  uint64_t before = 0;
  int beforeLength = 0;
  int width = 0;
  int decimals = 0;
  bool tabled = false;  ///< Three decimals in 5 to 16 characters: the tables may place it.
};

constexpr int fieldCount() {
  int count = 0;
  for (const EditStep& s : kRowSteps) count += s.kind == EditStep::field;
  return count;
}

constexpr int kFieldCount = fieldCount();
static_assert(kFieldCount == kRowFieldCount);

constexpr std::array<FieldPlan, kFieldCount + 1> fieldPlans() {
  std::array<FieldPlan, kFieldCount + 1> plans{};
  int field = 0;
  for (const EditStep& s : kRowSteps) {
    FieldPlan& plan = plans[field];
    if (s.kind == EditStep::field) {
      plan.width = s.width;
      plan.decimals = s.decimals;
      plan.tabled = s.decimals == 3 && s.width >= 5 && s.width <= 16;
      ++field;
    } else {
      plan.before |= uint64_t{static_cast<uint8_t>(s.text)} << 8 * plan.beforeLength++;
    }
  }
  return plans;
}

constexpr auto kFieldPlans = fieldPlans();
static_assert([] {
  for (const FieldPlan& p : kFieldPlans) {
    if (p.beforeLength > 7) return false;  // room for a line feed after them
  }
  return true;
}());

int nextField = 0;  // the entry of kFieldPlans the walk has reached

bool onlyZeros(const char* text, int length) {
  for (int i = 0; i < length; ++i) {
    if (text[i] != '0' && text[i] != '.') return false;
  }
  return true;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// value * 10^decimals rounded once, to nearest with ties to even, for a
// value that is not negative and below 1e10, with at most 9 decimals;
// false outside that domain.  A float is m * 2^e with m below 2^24, and
// 10^d is 5^d * 2^d with 5^9 below 2^21, so the product in double
// precision is exact; adding and taking away 2^52 then rounds it to an
// integer in the default rounding mode, ties to even.
[[gnu::always_inline]] inline bool scaleExactly(float value, int decimals, uint64_t& scaled) {
  // Negative values, 1e10 and above, infinities and NaNs lie at or above
  // the pattern of 1e10 when the patterns are read as unsigned numbers.
  if (std::bit_cast<uint32_t>(value) >= std::bit_cast<uint32_t>(1e10f) || decimals < 0 ||
      decimals > 9) {
    return false;
  }
  constexpr double kTwoTo52 = 0x1p52;
  const double product = static_cast<double>(value) * static_cast<double>(kPowersOfTen[decimals]);
  // Below 1e10 times 10^4 the product is below 2^52 in any case.
  if (decimals > 4 && product >= kTwoTo52) return false;
  scaled = static_cast<uint64_t>((product + kTwoTo52) - kTwoTo52);
  return true;
}

// The "%#.*f" text of a magnitude, in `buffer`; returns where it starts
// and sets its length.  The exact path writes it backward from
// the end of the buffer; the rest goes to the C library.
const char* magnitudeText(float value, int decimals, char (&buffer)[64], int& length) {
  uint64_t scaled;
  if (!scaleExactly(value, decimals, scaled)) {
    length = snprintf(buffer, sizeof buffer, "%#.*f", decimals, static_cast<double>(value));
    return buffer;
  }
  char* const end = buffer + sizeof buffer;
  char* p = end;
  if (decimals == 3) {  // the table's fields: a constant divisor is cheaper
    const unsigned fraction = static_cast<unsigned>(scaled % 1000);
    scaled /= 1000;
    p -= 3;
    p[0] = static_cast<char>('0' + fraction / 100);
    memcpy(p + 1, kDigitPairs + 2 * (fraction % 100), 2);
  } else {
    for (int i = 0; i < decimals; ++i, scaled /= 10) *--p = static_cast<char>('0' + scaled % 10);
  }
  *--p = '.';
  for (; scaled >= 100; scaled /= 100) {
    p -= 2;
    memcpy(p, kDigitPairs + 2 * (scaled % 100), 2);
  }
  if (scaled >= 10) {
    p -= 2;
    memcpy(p, kDigitPairs + 2 * scaled, 2);
  } else {
    *--p = static_cast<char>('0' + scaled);
  }
  length = static_cast<int>(end - p);
  return p;
}

}  // namespace

int fixedPointText(float value, int decimals, char* text) {
  char buffer[64];
  int length;
  const char* converted = magnitudeText(value, decimals, buffer, length);
  memmove(text, converted, length);
  text[length] = '\0';
  return length;
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
// number.
[[gnu::always_inline]] inline bool tabledText(float value, uint64_t& text) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t magnitude = bits & 0x7fffffff;
  // NaNs and infinities lie above 1000 too when the patterns are read as
  // unsigned numbers.
  if (magnitude >= std::bit_cast<uint32_t>(1000.0f)) return false;
  // Exact as in scaleExactly; rounded once, to nearest with ties to even.
  constexpr double kTwoTo52 = 0x1p52;
  const double product = static_cast<double>(std::bit_cast<float>(magnitude)) * 1000.0;
  const uint32_t scaled = static_cast<uint32_t>((product + kTwoTo52) - kTwoTo52);
  if (scaled >= 1000000) return false;
  const bool negative = (bits >> 31) != 0 && scaled != 0;  // a value shown as zero has no sign
  const uint32_t whole = scaled / 1000;
  const uint32_t fraction = scaled - 1000 * whole;
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

// That field in a field of 5 to 16 characters, its eight characters
// stored ending at the field's end over a run of 16 blanks, so `field`
// must have 16 bytes of storage.  False, having set nothing but those
// bytes, when tabledText gives no text or the text needs more than the
// field.
[[gnu::always_inline]] inline bool placeTabledField(char* field, int width, float value) {
  uint64_t text;
  if (!tabledText(value, text)) return false;
  memset(field, ' ', 16);
  if (width >= 8) [[likely]] {
    storeEight(field + width - 8, text);
    return true;
  }
  // A narrower field takes the text without its leading blanks, if it has
  // that many.
  if (!cutLeadingBlanks(text, 8 - width)) return false;
  storeEight(field, text);
  return true;
}

// A three-decimal field of an exact magnitude that the tables do not
// hold: 1000 and above, or too wide for a narrow field.  Placed in
// `field`, right to left, over a run of 16 blanks.
[[gnu::noinline]] void placeWideThreeDecimals(char* field, int width, bool negative,
                                              uint64_t scaled) {
  uint64_t whole = scaled / 1000;
  const unsigned fraction = static_cast<unsigned>(scaled % 1000);
  int wholeDigits = 1;
  while (wholeDigits < 19 && whole >= kPowersOfTen[wholeDigits]) ++wholeDigits;
  const int shown = wholeDigits + 4 + (negative ? 1 : 0);
  if (shown > width) {
    if (whole != 0 || shown - 1 != width) {
      memset(field, '*', width);
      return;
    }
    wholeDigits = 0;  // the leading 0 gives way
  }
  memset(field, ' ', 16);
  char* p = field + width - 3;
  p[0] = static_cast<char>('0' + fraction / 100);
  memcpy(p + 1, kDigitPairs + 2 * (fraction % 100), 2);
  *--p = '.';
  for (int left = wholeDigits; left > 0; left -= 2, whole /= 100) {
    if (left == 1) {
      *--p = static_cast<char>('0' + whole);
      break;
    }
    p -= 2;
    memcpy(p, kDigitPairs + 2 * (whole % 100), 2);
  }
  if (negative) *--p = '-';
}

// The table's fields (3 decimals, widths up to 16) when the storage has 16
// bytes to spare: the field is built in place, right to left, over a run
// of 16 blanks.  False, having placed nothing, for a magnitude the exact
// path cannot hold; the general path then places it.
[[gnu::always_inline]] inline bool placeThreeDecimals(float value, int width) {
  OutputRecord& r = outputRecord;
  if (r.position + 16 > r.size) [[unlikely]]
    return false;
  char* const field = r.chars + r.position;
  if (placeTabledField(field, width, value)) [[likely]] {
    r.position += width;
    return true;
  }
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  uint64_t scaled;
  if (!scaleExactly(std::bit_cast<float>(bits & 0x7fffffff), 3, scaled)) return false;
  const bool negative = (bits >> 31) != 0 && scaled != 0;
  r.position += width;
  placeWideThreeDecimals(field, width, negative, scaled);
  return true;
}

// Any other field: the text of the magnitude, then the rules of the field.
[[gnu::noinline]] void placeGeneral(float value, int width, int decimals) {
  if (width < 0) width = 0;
  bool negative = value < 0;
  // -0 shows as 0, and a NaN is not negative whatever its sign bit.
  const float magnitude = negative ? -value : std::fabs(value);
  char* field = reserveChars(width);
  outputRecord.position += width;
  // A finite magnitude of 10^width or more has more integer digits than
  // the field has room for.
  if (width < 19 && decimals >= 0 && std::isfinite(magnitude) &&
      static_cast<double>(magnitude) >= static_cast<double>(kPowersOfTen[width])) {
    memset(field, '*', width);
    return;
  }
  char buffer[64];
  int length;
  const char* text = magnitudeText(magnitude, decimals, buffer, length);
  int shown = length;
  if (negative && onlyZeros(text, length)) negative = false;
  if (negative) ++shown;
  if (shown > width) {
    if (text[0] != '0' || shown - 1 != width) {
      memset(field, '*', width);
      return;
    }
    ++text;
    --length;
    --shown;
  }
  memset(field, ' ', width - shown);
  field += width - shown;
  if (negative) *field++ = '-';
  memcpy(field, text, length);
}

// The table's fields take the quick way, inlined into the row writer.
[[gnu::always_inline]] inline void placeField(float value, int width, int decimals) {
  if (decimals == 3 && width > 0 && width <= 16 && placeThreeDecimals(value, width)) return;
  placeGeneral(value, width, decimals);
}

// The literals of the row before a field (or after the last), stored as
// one word when the storage has room for it.
[[gnu::always_inline]] inline void placeLiterals(const FieldPlan& plan) {
  OutputRecord& r = outputRecord;
  if (r.position + 8 <= r.size) [[likely]] {
    storeEight(r.chars + r.position, plan.before);
    r.position += plan.beforeLength;
    return;
  }
  for (int i = 0; i < plan.beforeLength; ++i) placeChar(static_cast<char>(plan.before >> 8 * i));
}

// A row field that is not of the table's kind, or a value past the last
// field.
[[gnu::noinline]] void putOtherReal(float value, int field) {
  if (field > kFieldCount) return;
  const FieldPlan& plan = kFieldPlans[field];
  nextField = field + 1;
  placeLiterals(plan);
  if (field < kFieldCount) placeField(value, plan.width, plan.decimals);
}

}  // namespace

void formatFixed(float value, int width, int decimals) { placeField(value, width, decimals); }

namespace FixedRowWriter {

void startSlowly(int32_t unit) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  statementState.reading = false;
  statementState.sequential = statementState.formatted = statementState.external = true;
  if (!unitInRange(unit)) reportFailure(101, "startio");
  RecordUnit& u = units[unit];
  if (!u.stream && connectDefault(unit) != 0) reportFailure(114, "sfe");
  statementState.currentUnit = &u;
  statementState.lastFormat = kRowFormat;
  constexpr int32_t kRowFormatLength = formatLength(kRowFormat);
  statementState.lastFormatLength = kRowFormatLength;
  pendingRow.count = 0;
  if (!u.lastWasWrite && switchToWriting(u) != 0) reportFailure(127, "write start");
}

PendingRow pendingRow;
bool useFourAtOnce = true;

namespace {

// The walk goes on to the next field, placing the literals before it;
// past the last field a value is dropped, after the literals that end the
// row have been placed once.  A field of the table's kind is built in
// place, and the walk moves on, when it comes from the tables.
void placeValue(float value) {
  const int field = nextField;
  OutputRecord& r = outputRecord;
  if (field < kFieldCount && kFieldPlans[field].tabled && r.position + 24 <= r.size) [[likely]] {
    const FieldPlan& plan = kFieldPlans[field];
    char* const at = r.chars + r.position;
    storeEight(at, plan.before);
    if (placeTabledField(at + plan.beforeLength, plan.width, value)) [[likely]] {
      r.position += plan.beforeLength + plan.width;
      nextField = field + 1;
      return;
    }
  }
  putOtherReal(value, field);
}

// The row as the walk lays it out when every field comes from the
// tables: the literals, blanks where the fields go, and the line feed.
struct RowLayout {
  std::array<char, 48> text;  // room for an eight-byte store at any field
  int fieldStart[kFieldCount];
  int length;  // with the line feed
};

constexpr RowLayout kRowLayout = [] {
  RowLayout l{};
  for (char& c : l.text) c = ' ';
  int at = 0;
  for (int f = 0; f <= kFieldCount; ++f) {
    const FieldPlan& plan = kFieldPlans[f];
    for (int i = 0; i < plan.beforeLength; ++i)
      l.text[at++] = static_cast<char>(plan.before >> 8 * i);
    if (f < kFieldCount) {
      l.fieldStart[f] = at;
      at += plan.width;
    }
  }
  l.text[at] = '\n';
  l.length = at + 1;
  return l;
}();
static_assert(kRowLayout.length + 7 <= 48);

constexpr bool kEveryFieldTabled = [] {
  for (int f = 0; f < kFieldCount; ++f) {
    if (!kFieldPlans[f].tabled) return false;
  }
  return true;
}();

// Field `F` of a row laid out as kRowLayout, from its text from the
// tables; false when it does not fit.  A field narrower than the text
// takes it without its leading blanks, if it has that many, and keeps the
// row's own bytes after it.
template <int F>
[[gnu::always_inline]] inline bool placeRowField(char* row, uint64_t text) {
  constexpr FieldPlan plan = kFieldPlans[F];
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

// The whole row at `row`, which must have 48 bytes of storage, its field
// texts made one at a time; false when a field does not come from the
// tables.
template <size_t... F>
[[gnu::always_inline]] inline bool placeRowOneByOne(char* row, const float* values,
                                                    std::index_sequence<F...>) {
  uint64_t texts[kFieldCount];
  bool made = true;
  for (int f = 0; f < kFieldCount; ++f) made &= tabledText(values[f], texts[f]);
  if (!made) return false;
  memcpy(row, kRowLayout.text.data(), kRowLayout.text.size());
  return (placeRowField<F>(row, texts[F]) && ...);
}

#if defined(__SSE2__)
// The same with the four texts made at once, each step of tabledText done
// on the four in one register: the same operations in double precision,
// the division by 1000 by the same multiplication and shift.
template <size_t... F>
[[gnu::always_inline]] inline bool placeRowByFours(char* row, const float* values,
                                                   std::index_sequence<F...>) {
  static_assert(sizeof...(F) == 4);
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

// The whole row at `row`, which must have 48 bytes of storage; false when
// a field does not come from the tables.
[[gnu::always_inline]] inline bool placeRow(char* row, const float* values) {
  constexpr auto fields = std::make_index_sequence<kFieldCount>();
#if defined(__SSE2__)
  if constexpr (kFieldCount == 4) {
    if (FixedRowWriter::useFourAtOnce) return placeRowByFours(row, values, fields);
  }
#endif
  return placeRowOneByOne(row, values, fields);
}

// The row by the walk: each value placed in turn, then the literals that
// end the row and the line feed.
[[gnu::noinline]] void placeRowByWalk(const PendingRow& row) {
  outputRecord.position = 0;
  nextField = 0;
  for (int i = 0; i < row.count && i < kFieldCount; ++i) placeValue(row.values[i]);
  if (row.count > kFieldCount) placeValue(0);  // a value past the last field
  const int field = nextField;
  OutputRecord& r = outputRecord;
  if (field <= kFieldCount && r.position + 8 <= r.size) [[likely]] {
    // The literals that end the row and its line feed go in with one
    // store, and the record is handed over as emitOutputRecord would.
    const FieldPlan& plan = kFieldPlans[field];
    storeEight(r.chars + r.position, plan.before | uint64_t{'\n'} << 8 * plan.beforeLength);
    emitRecord(*statementState.currentUnit, r.chars, r.position + plan.beforeLength + 1);
    r.position = 0;
  } else {
    if (field <= kFieldCount) placeLiterals(kFieldPlans[field]);
    emitOutputRecord();
  }
}

}  // namespace

bool placeWholeRow(char* row, const float* values) { return placeRow(row, values); }

void finish() {
  PendingRow& row = pendingRow;
  RecordUnit& u = *statementState.currentUnit;
  // Most rows have every field from the tables and go straight into the
  // unit's buffer, behind the records held back, as emitRecord would
  // store them; the others take the walk.
  if (kEveryFieldTabled && !platform::kCrLfLineEnds && row.count == kFieldCount &&
      !u.writeThrough && u.bufferSize - u.writeEnd >= kRowLayout.text.size() &&
      placeRow(u.buffer + u.writeEnd, row.values)) [[likely]] {
    u.writeEnd += kRowLayout.length;
    serviceRequests();
  } else {
    placeRowByWalk(row);
  }
  row.count = 0;
  statementInProgress = false;
  statementState.lastFormat = nullptr;
}

}  // namespace FixedRowWriter

}  // namespace recordio
