#include "recordio/record_scan.h"

#include <bit>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "recordio/decimal_number.h"

namespace recordio {

// A format the scan does not cover is a compile error here, not a record
// that silently takes the general path.
static_assert(recordScanCovers(kBenchmarkRecord) && recordScanCovers(kSampleRecord),
              "a sample record the scan does not cover");
// A field's digits are one word of text (eightDigitValue, valuesByTwos),
// and its value the number core's exact path: below 10^15, divided by at
// most 10^8.
static_assert(kScanDigits == 8 && kScanDigits <= kExactDigits &&
                  kWidestScannedField - 2 <= kExactPowers,
              "a field's digits are one word of text");
static_assert(kRecordScanFields % 4 == 0 && kRecordScanWindow == 128);  // two words of bits

namespace {

constexpr size_t kWindow = kRecordScanWindow;

// One bit for each byte of the window, bit i for byte i.
struct Bits {
  uint64_t w[2] = {0, 0};
};

void setBit(Bits& bits, int i) { bits.w[i >> 6] |= uint64_t{1} << (i & 63); }

// The lowest bit set at `from` or above, 128 when none.
int lowestBit(const Bits& bits, int from = 0) {
  if (from >= 128) return 128;
  const uint64_t low = from < 64 ? bits.w[0] & ~uint64_t{0} << from : 0;
  const uint64_t high = bits.w[1] & ~uint64_t{0} << (from < 64 ? 0 : from - 64);
  return low != 0 ? std::countr_zero(low) : 64 + std::countr_zero(high);
}

// Eight bytes of text as one word, the first byte in the lowest bits.
inline uint64_t loadText(const void* p) {
  uint64_t word;
  memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The value of the eight decimal digits in a word of text, the first in
// the lowest byte; only the low four bits of each byte count, so a byte 0
// is the digit 0.  Pairs, fours, then the eight at once, each step one
// multiplication.
inline uint64_t eightDigitValue(uint64_t text) {
  uint64_t v = ((text & 0x0f0f0f0f0f0f0f0f) * (10 * 256 + 1)) >> 8;
  v = ((v & 0x00ff00ff00ff00ff) * (100 * 65536 + 1)) >> 16;
  return ((v & 0x0000ffff0000ffff) * (10000 * (uint64_t{1} << 32) + 1)) >> 32;
}

// The bytes of each kind the record may hold.
struct Kinds {
  Bits digit, blank, point, minus;
};

// The kinds of the first `length` bytes of `line`, one byte at a time.
void kindsOneByOne(const char* line, int length, Kinds& kinds) {
  for (int i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (static_cast<unsigned>(c - '0') < 10) setBit(kinds.digit, i);
    if (c == ' ') setBit(kinds.blank, i);
    if (c == '.') setBit(kinds.point, i);
    if (c == '-') setBit(kinds.minus, i);
  }
}

#if defined(__SSE2__)
static_assert(std::endian::native == std::endian::little, "SSE2 machines are little-endian");

// The same, 16 bytes at a time, for the blocks of 16 that hold the first
// `length` bytes; the bytes after them in the last block count as well.
// Block `B` adds its bits to the kinds, which stay in registers; false
// past the last block.
template <int B>
[[gnu::always_inline]] inline bool kindsOfBlock(const char* line, int length, Kinds& kinds) {
  if (16 * B >= length) return false;
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * B));
  const __m128i value = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(value, _mm_set1_epi8(9)), value);
  const __m128i isMinus = _mm_cmpeq_epi8(text, _mm_set1_epi8('-'));
  const auto add = [](Bits& bits, int mask) {
    bits.w[B / 4] |= uint64_t{static_cast<uint16_t>(mask)} << 16 * (B % 4);
  };
  add(kinds.digit, _mm_movemask_epi8(isDigit));
  add(kinds.blank, _mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8(' '))));
  add(kinds.point, _mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8('.'))));
  add(kinds.minus, _mm_movemask_epi8(isMinus));
  return true;
}

// Every block of the window, up to the one that holds the last byte.
template <int... B>
[[gnu::always_inline]] inline void kindsOfBlocks(const char* line, int length, Kinds& kinds,
                                                 std::integer_sequence<int, B...>) {
  (kindsOfBlock<B>(line, length, kinds) && ...);
}

[[gnu::always_inline]] inline void kindsByMasks(const char* line, int length, Kinds& kinds) {
  kindsOfBlocks(line, length, kinds, std::make_integer_sequence<int, kWindow / 16>());
}
#else
// Without the processor's vector instructions, the plain way.
inline void kindsByMasks(const char* line, int length, Kinds& kinds) {
  kindsOneByOne(line, length, kinds);
}
#endif

// Where each kind must stand in a record of fields of one width and
// number of decimals: the blank that opens each field, the integer part
// (blanks, then a minus sign or none, then digits), the point and the
// decimals.  Kept from one record to the next, which mostly share it.
struct Layout {
  int length = -1, width = 0, decimals = 0, count = 0;
  Bits opening, integer, integerAfterInteger, point, fraction;
  // A field's digits without its point, the first in the lowest byte, are
  // the bytes `integerBytes` of the eight that end one byte before the
  // field's end, and the bytes `fractionBytes` of the last eight.
  alignas(16) uint64_t integerBytes[2] = {}, fractionBytes[2] = {};  // twice, for two fields
  alignas(16) double divisor[2] = {1, 1};                            // 10^decimals, twice
};

Layout layout;

void makeLayout(int length, int width, int decimals) {
  Layout l;
  l.length = length;
  l.width = width;
  l.decimals = decimals;
  l.count = length / width;
  const int pointAt = width - decimals - 1;
  for (int start = 0; start < length; start += width) {
    setBit(l.opening, start);
    for (int i = 1; i < pointAt; ++i) {
      setBit(l.integer, start + i);
      if (i > 1) setBit(l.integerAfterInteger, start + i);
    }
    setBit(l.point, start + pointAt);
    for (int i = pointAt + 1; i < width; ++i) setBit(l.fraction, start + i);
  }
  // Byte j of the last eight is byte width - 8 + j of the field; of the
  // eight before them, byte width - 9 + j.
  for (int j = 0; j < 8; ++j) {
    const int at = width - 9 + j;
    if (at >= 1 && at < pointAt) l.integerBytes[0] |= uint64_t{0xff} << 8 * j;
    if (at + 1 > pointAt) l.fractionBytes[0] |= uint64_t{0xff} << 8 * j;
  }
  l.integerBytes[1] = l.integerBytes[0];
  l.fractionBytes[1] = l.fractionBytes[0];
  l.divisor[0] = l.divisor[1] = kExactPowersOfTen[decimals];
  layout = l;
}

// Whether every byte of the record is of the kind its place asks for.
[[gnu::always_inline]] inline bool fitsLayout(const Kinds& k, const Layout& l) {
  uint64_t wrong = 0;
  for (int w = 0; w < 2; ++w) {
    // A digit or a sign must be followed by a digit within the integer part.
    const uint64_t digit = k.digit.w[w], minus = k.minus.w[w];
    const uint64_t afterSignOrDigit =
        (digit | minus) << 1 | (w == 1 ? (k.digit.w[0] | k.minus.w[0]) >> 63 : 0);
    wrong |= (l.opening.w[w] & ~k.blank.w[w]) | (l.point.w[w] & ~k.point.w[w]) |
             (l.fraction.w[w] & ~digit) | (l.integer.w[w] & ~(k.blank.w[w] | minus | digit)) |
             (afterSignOrDigit & l.integerAfterInteger.w[w] & ~digit);
  }
  return wrong == 0;
}

// The value of each field, one at a time: its digit bytes as one
// eight-digit number (a blank or minus sign, whose bit 4 is clear, as 0;
// of the bytes that fitsLayout lets through, only a minus sign has bit 4
// clear and bit 0 set), made a value by the number core's exact path.
// `text` must have eight readable bytes before it.
void valuesOneByOne(const unsigned char* text, int count, const Layout& l, float* values) {
  constexpr uint64_t kLowBits = 0x0101010101010101;
  for (int f = 0; f < count; ++f) {
    const unsigned char* const end = text + (f + 1) * l.width;
    const uint64_t bytes =
        (loadText(end - 9) & l.integerBytes[0]) | (loadText(end - 8) & l.fractionBytes[0]);
    const uint64_t digitBytes = (bytes >> 4) & kLowBits;
    const bool negative = (bytes & ~(bytes >> 4) & kLowBits) != 0;
    values[f] = static_cast<float>(
        exactDecimal(negative, eightDigitValue(bytes & digitBytes * 0x0f), -l.decimals));
  }
}

#if defined(__SSE2__)
// The same, two fields at a time: the digits of each in one half of a
// register, summed in pairs, fours and eights as eightDigitValue does,
// the sign put on the integer (so a zero has none) and the same division
// as exactDecimal's, which rounds the same either side of zero; the
// values go out four at a time, so `values` takes a multiple of four
// (the fields past the last repeat it).
void valuesByTwos(const unsigned char* text, int count, const Layout& l, float* values) {
  const __m128i integerBytes = _mm_load_si128(reinterpret_cast<const __m128i*>(l.integerBytes));
  const __m128i fractionBytes = _mm_load_si128(reinterpret_cast<const __m128i*>(l.fractionBytes));
  const __m128i minus = _mm_set1_epi8('-'), low = _mm_set1_epi8(0x0f);
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi32(-1);
  const __m128d divisor = _mm_load_pd(l.divisor);
  const auto load = [](const unsigned char* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  };
  const ptrdiff_t width = l.width;
  const auto two = [&](const unsigned char* first, const unsigned char* second) {
    const __m128i bytes = _mm_or_si128(
        _mm_and_si128(_mm_unpacklo_epi64(load(first), load(second)), integerBytes),
        _mm_and_si128(_mm_unpacklo_epi64(load(first + 1), load(second + 1)), fractionBytes));
    // All ones in the low half of each field's half where it has no minus;
    // the digits' values, blanks and the minus sign as 0.
    const __m128i isMinus = _mm_cmpeq_epi8(bytes, minus);
    const __m128i positive = _mm_cmpeq_epi32(_mm_sad_epu8(isMinus, zero), zero);
    const __m128i d = _mm_andnot_si128(isMinus, _mm_and_si128(bytes, low));
    const __m128i pairs =
        _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, _mm_set1_epi16(0xff)), _mm_set1_epi16(10)),
                      _mm_srli_epi16(d, 8));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(100 | 1 << 16));
    const __m128i eights =
        _mm_add_epi64(_mm_mul_epu32(fours, _mm_set1_epi64x(10000)), _mm_srli_epi64(fours, 32));
    // The two numbers, below 10^8, side by side, and their signs.
    const __m128i numbers = _mm_shuffle_epi32(eights, _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i sign = _mm_xor_si128(_mm_shuffle_epi32(positive, _MM_SHUFFLE(3, 1, 2, 0)), ones);
    const __m128i signed_ = _mm_sub_epi32(_mm_xor_si128(numbers, sign), sign);
    return _mm_cvtpd_ps(_mm_div_pd(_mm_cvtepi32_pd(signed_), divisor));
  };
  // Where the eight bytes before a field's last eight start.
  const unsigned char* p = text + width - 9;
  int f = 0;
  for (; f + 4 <= count; f += 4, p += 4 * width) {
    _mm_storeu_ps(values + f, _mm_movelh_ps(two(p, p + width), two(p + 2 * width, p + 3 * width)));
  }
  if (f < count) {
    const unsigned char* const last = text + count * width - 9;
    const auto upTo = [&](int k) { return f + k < count ? p + k * width : last; };
    _mm_storeu_ps(values + f, _mm_movelh_ps(two(p, upTo(1)), two(upTo(2), upTo(3))));
  }
}
#else
void valuesByTwos(const unsigned char* text, int count, const Layout& l, float* values) {
  valuesOneByOne(text, count, l, values);
}
#endif

}  // namespace

bool scanFixedColumns(const char* line, size_t held, bool byMasks, ScannedRecord& record) {
  if (held < kWindow) return false;
  // Most records have the layout of the one before; where the line end
  // (a line feed, or a carriage return and a line feed) comes there, the
  // kinds of the bytes before it tell whether they have.
  int length = layout.length, lineEnd = 0;
  if (length >= 0 && line[length] == '\n') {
    lineEnd = 1;
  } else if (length >= 0 && length + 1 < static_cast<int>(kWindow) && line[length] == '\r' &&
             line[length + 1] == '\n') {
    lineEnd = 2;
  }
  const bool sameLength = lineEnd != 0;
  // Otherwise, or when they have not, the record ends at the first line
  // feed, a carriage return before it belonging to the line end.
  const auto findLineEnd = [&] {
    const void* feed = memchr(line, '\n', kWindow);
    if (!feed) return false;
    length = static_cast<int>(static_cast<const char*>(feed) - line);
    lineEnd = 1;
    if (length > 0 && line[length - 1] == '\r') {
      --length;
      lineEnd = 2;
    }
    return true;
  };
  if (!sameLength && !findLineEnd()) return false;
  Kinds kinds;
  byMasks ? kindsByMasks(line, length, kinds) : kindsOneByOne(line, length, kinds);
  if (!sameLength || !fitsLayout(kinds, layout)) {
    // The record may end sooner than the one before.
    if (sameLength) findLineEnd();
    // The width from the first two points, the decimals from the first.
    const int firstPoint = lowestBit(kinds.point);
    const int secondPoint = lowestBit(kinds.point, firstPoint + 1);
    const int width = secondPoint < length ? secondPoint - firstPoint : length;
    const int decimals = width - 1 - firstPoint;
    if (firstPoint < 1 || firstPoint >= length || decimals < 1 || width > kWidestScannedField ||
        length % width != 0 || length / width > kRecordScanFields) {
      return false;
    }
    if (layout.length == length && layout.width == width && layout.decimals == decimals)
      return false;  // this layout did not fit
    makeLayout(length, width, decimals);
    if (!fitsLayout(kinds, layout)) return false;
  }
  const int count = layout.count;
  // The fields' words start up to eight bytes before a field's end; for
  // fields narrower than nine, before the record too, so they are read
  // from a copy with eight blanks before it.
  const unsigned char* text = reinterpret_cast<const unsigned char*>(line);
  unsigned char copy[8 + kWindow];
  if (layout.width < 9) {
    memset(copy, ' ', 8);
    memcpy(copy + 8, line, static_cast<size_t>(length));
    text = copy + 8;
  }
  byMasks ? valuesByTwos(text, count, layout, record.values)
          : valuesOneByOne(text, count, layout, record.values);
  record.count = count;
  record.width = layout.width;
  record.line = line;
  record.end = line + length;
  record.next = line + length + lineEnd;
  return true;
}

const char* positionAfterFields(const ScannedRecord& record, int taken) {
  const char* p = record.line + taken * record.width;
  if (taken < record.count) {
    while (*p == ' ') ++p;
  }
  return p;
}

}  // namespace recordio
