#include "recordio/freeform_input.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "recordio/failure_report.h"
#include "recordio/process.h"
#include "recordio/record_scan.h"
#include "recordio/records.h"
#include "recordio/text_words.h"

namespace recordio {

namespace {

enum class ItemKind { integer, real };

// The work area of one number: its retained digits and decimal exponent.
struct Number {
  char digits[kMaxRetainedDigits];
  int count = 0;         // retained digits
  bool dropped = false;  // a significant digit beyond the 40 was dropped
  bool negative = false;
  int64_t exponent = 0;  // wide, so that no input can overflow it
  int64_t seen = 0;      // digits seen, leading zeros included
};

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isGap(int c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isSign(int c) { return c == '+' || c == '-'; }

// The next character of the statement's unit; the end of the file also
// marks the statement.
inline int next(RecordUnit& u) {
  const int c = nextChar(u);
  if (c == EOF && u.atEnd) [[unlikely]]
    readerState.sawEndOfFile = true;
  return c;
}

void retain(Number& n, int c) {
  if (n.count < kMaxRetainedDigits) {
    n.digits[n.count++] = static_cast<char>(c);
  } else {
    n.dropped = true;
    ++n.exponent;
  }
}

double convert(const Number& n) {
  return decimalToDouble(n.negative, n.digits, n.count, n.exponent);
}

// Reads the exponent digits after an exponent sign or letter.
int64_t scanExponent(RecordUnit& u, int& c) {
  if (!isDigit(c)) reportFailure(112, "exponent field");
  int64_t exponent = c - '0';
  while (isDigit(c = next(u))) {
    exponent = 10 * exponent + (c - '0');
    if (exponent > kMaxExponent) reportFailure(112, "exponent field");
  }
  return exponent;
}

void scanValue(RecordUnit& u, ItemKind kind) {
  if (readerState.pendingRepeat > 0) return;  // the item takes the last outcome again
  readerState.pendingRepeat = 1;
  readerState.haveValue = false;
  bool repeatTaken = false;
  Number n;
  int c;
  for (;;) {
    n.count = 0;
    n.dropped = false;
    n.negative = false;
    n.seen = 0;
    c = next(u);
    if (isSign(c)) {
      n.negative = c == '-';
      c = next(u);
    }
    for (; c == '0'; c = next(u)) ++n.seen;
    for (; isDigit(c); c = next(u)) retain(n, c);
    if (c != '*' || repeatTaken) break;
    if (n.count == 0 || n.dropped || n.negative) reportFailure(112, "bad repetition count");
    int64_t count = 0;
    for (int i = 0; i < n.count && count <= INT32_MAX; ++i)
      count = 10 * count + (n.digits[i] - '0');
    if (count > INT32_MAX) reportFailure(112, "bad repetition count");
    readerState.pendingRepeat = static_cast<int32_t>(count);
    repeatTaken = true;
  }
  if (c == '.') {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next(u);
    if (n.count == 0) {
      for (; c == '0'; c = next(u)) {
        ++n.seen;
        --n.exponent;
      }
    }
    for (; isDigit(c); c = next(u)) {
      if (n.count < kMaxRetainedDigits) {
        n.digits[n.count++] = static_cast<char>(c);
        --n.exponent;
      }
    }
  }
  n.seen += n.count;
  bool exponentNegative = false;
  bool hasExponent = false;
  if (isSign(c)) {
    exponentNegative = c == '-';
    c = next(u);
    hasExponent = true;
  } else if (n.seen > 0 && (c == 'D' || c == 'E' || c == 'd' || c == 'e')) {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next(u);
    if (isSign(c)) {
      exponentNegative = c == '-';
      c = next(u);
    }
    hasExponent = true;
  }
  if (hasExponent) {
    const int64_t exponent = scanExponent(u, c);
    n.exponent += exponentNegative ? -exponent : exponent;
  }
  pushBack(u, c);
  while (n.count > 0 && n.digits[n.count - 1] == '0') {
    --n.count;
    ++n.exponent;
  }
  readerState.lastValue = n.count > 0 ? convert(n) : 0.0;
  if (n.seen > 0) {
    readerState.haveValue = true;
  } else if (!(c == ',' || c == '/' || (repeatTaken && (c == ' ' || c == '\t' || c == '\n')))) {
    reportFailure(112, "invalid number");
  }
}

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

#if defined(__SSE2__)
// The bytes of a 16-byte block equal to `c`, as a bit mask.
inline uint32_t bytesEqual(__m128i block, char c) {
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c))));
}

static_assert(std::endian::native == std::endian::little, "SSE2 machines are little-endian");

// The value of a run of at most eight decimal digits that starts at `p`:
// the digit bytes are right-aligned in one word, the most significant
// first, and summed in pairs, fours and eights at once.  `p` must have
// eight readable bytes.
inline uint64_t digitRunValue(const unsigned char* p, int length) {
  uint64_t v;
  memcpy(&v, p, 8);
  // The run's bytes move to the top of the word and the bytes after it
  // fall out; a borrow of the subtraction only runs into those.
  v -= 0x3030303030303030;
  v = length > 0 ? v << (64 - 8 * length) : 0;
  v = (v * 10 + (v >> 8)) & 0x00ff00ff00ff00ff;
  v = (v * 100 + (v >> 16)) & 0x0000ffff0000ffff;
  return (v * 10000 + (v >> 32)) & 0xffffffff;
}

constexpr uint64_t kIntegerPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

// The shortest case of scanPlainReal, found without a loop over its
// bytes: everything it reads (gaps, the number with at most eight digits
// before and eight after the point and 15 in all, the blanks after it and
// a comma) lies in the next 16 bytes of the buffer, whose kinds of byte
// are found as bit masks all at once.  The outcome is the same as the
// longer scan's; false, having consumed nothing, when the case does not
// hold.  `b` must have 64 readable bytes.
inline bool scanShortReal(const unsigned char* b, float& item, ptrdiff_t& consumed) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const uint32_t blanks = bytesEqual(block, ' ') | bytesEqual(block, '\t');
  const uint32_t gaps = blanks | bytesEqual(block, '\n');
  const uint32_t digits = static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8('0' - 1)),
                                      _mm_cmplt_epi8(block, _mm_set1_epi8('9' + 1)))));
  const uint32_t minus = bytesEqual(block, '-');
  const uint32_t signs = minus | bytesEqual(block, '+');
  const uint32_t points = bytesEqual(block, '.');
  const uint32_t commas = bytesEqual(block, ',');
  // Every run below stops at the block's end at the latest: the bits
  // beyond bit 15 read as "not of this kind".  First where the number
  // ends and where the next item starts, then what lies between.
  const uint64_t notGap = ~uint64_t{gaps}, notDigit = ~uint64_t{digits};
  const uint64_t notBlank = ~uint64_t{blanks};
  const int start = std::countr_zero(notGap);
  const int end = std::countr_zero(((gaps | commas) | uint64_t{1} << 16) & ~uint64_t{0} << start);
  const int after = std::countr_zero(notBlank & ~uint64_t{0} << end);
  consumed = after + ((commas >> after) & 1);
  // The number itself: a sign, digits, a point and digits, up to its end.
  const bool negative = (minus >> start) & 1;
  const int integerStart = start + ((signs >> start) & 1);
  const int integerLength = std::countr_zero(notDigit >> integerStart);
  const int integerEnd = integerStart + integerLength;
  const bool point = (points >> integerEnd) & 1;
  const int fractionStart = integerEnd + point;
  const int fractionLength = point ? std::countr_zero(notDigit >> fractionStart) : 0;
  // 1 to 15 digits in all, leading zeros included, so that no more than
  // 15 can be significant.
  const bool shortCase = fractionStart + fractionLength == end && after < 16 &&
                         integerLength <= 8 && fractionLength <= 8 &&
                         static_cast<unsigned>(integerLength + fractionLength - 1) < 15;
  if (!shortCase) return false;
  const uint64_t whole =
      digitRunValue(b + integerStart, integerLength) * kIntegerPowersOfTen[fractionLength] +
      digitRunValue(b + fractionStart, fractionLength);
  // The sign goes in as a bit, so that no branch depends on it; a zero
  // keeps no sign.
  const uint64_t sign = static_cast<uint64_t>(negative & (whole != 0)) << 63;
  const double value = std::bit_cast<double>(
      std::bit_cast<uint64_t>(static_cast<double>(whole) / kExactPowersOfTen[fractionLength]) ^
      sign);
  readerState.haveValue = true;
  readerState.lastValue = value;
  item = static_cast<float>(value);  // below 10^8: always in the float range
  return true;
}
#endif

constexpr uint64_t kEachByte = 0x0101010101010101;
constexpr uint64_t kTopBit = uint64_t{1} << 63;  // ends every count below at byte 7

// The number of decimal digits that a word of text starts with, 0 to 7;
// 7 also when all eight are digits.  A byte below '0' borrows from the
// bytes after it, and a byte above '9' reaches bit 7 once 118 is added;
// neither can disturb the bytes before the first such byte, so the lowest
// flagged byte is the first non-digit.
inline int leadingDigits(uint64_t text) {
  const uint64_t d = text - kEachByte * '0';
  const uint64_t notDigits = (d | (d + kEachByte * (128 - 10))) & (kEachByte * 128);
  return std::countr_zero(notDigits | kTopBit) >> 3;
}

// The number of blanks that a word of text starts with, 0 to 7; 7 also
// when all eight are blanks.
inline int leadingBlanks(uint64_t text) {
  return std::countr_zero((text ^ kEachByte * ' ') | kTopBit) >> 3;
}

// What may follow the digits of a shaped real: bit 0, right after them
// (a line feed or a comma); bit 1, after blanks (anything but a blank or
// a tab, neither of which would end the run).
constexpr auto kEndsShapedReal = [] {
  std::array<uint8_t, 256> ends{};
  for (int c = 0; c < 256; ++c) ends[c] = c == ' ' || c == '\t' ? 0 : 2;
  ends['\n'] |= 1;
  ends[','] |= 1;
  return ends;
}();

// The value of a shaped real from the words of text at its first digit
// and after its point, and the numbers of digits there.  At most eight
// digits and a power of ten up to 1e8 are exact doubles, so the one
// division rounds once, as the general conversion does.  The sign goes
// on the integer, so that a zero keeps none.
inline double shapedValue(bool negative, uint64_t wholeText, int whole, uint64_t fractionText,
                          int fraction) {
  // The digits without the point, the first in the lowest byte, moved to
  // the top of the word so that the bytes after them fall out.
  const uint64_t text = (wholeText & ((uint64_t{1} << 8 * whole) - 1)) | fractionText << 8 * whole;
  const int64_t number =
      static_cast<int64_t>(eightDigitValue(text << (64 - 8 * (whole + fraction))));
  const int64_t sign = -static_cast<int64_t>(negative);
  return static_cast<double>((number ^ sign) - sign) / kExactPowersOfTen[fraction];
}

// The commonest real item of a record, read a word at a time: up to seven
// blanks, a minus sign or none, digits, a point and at least one digit,
// eight digits in all; then either a line feed or a comma, or up to seven
// blanks and anything but a blank or a tab, so that the number ends there.
// It reads exactly what the general path would (the blanks after the
// number and a comma) and gives the same value; anything else, or fewer
// than 32 bytes left in the read window, gives up having consumed nothing.
// A count that a run of eight would exceed comes out as 7, and the byte
// found there then fails the shape.  Only the state that the general path
// reads again is set: the item and the read position.
inline bool scanShapedRealByWords(RecordUnit& u, float& item) {
  const char* p = u.readNext;
  if (u.readEnd - p < 32) return false;
  if (*p == ' ') p += leadingBlanks(loadText(p));
  const bool negative = *p == '-';
  p += negative;
  const uint64_t wholeText = loadText(p);
  const int whole = leadingDigits(wholeText);
  if (p[whole] != '.') return false;
  const uint64_t fractionText = loadText(p + whole + 1);
  const int fraction = leadingDigits(fractionText);
  if (fraction == 0 || whole + fraction > 8) return false;
  const double value = shapedValue(negative, wholeText, whole, fractionText, fraction);
  const char* const end = p + whole + fraction + 1;
  const int blanks = leadingBlanks(loadText(end));
  const unsigned char stop = static_cast<unsigned char>(end[blanks]);
  if (!((kEndsShapedReal[stop] >> (blanks != 0)) & 1)) return false;
  item = static_cast<float>(value);
  u.readNext = end + blanks + (stop == ',');
  return true;
}

#if defined(__SSE2__)
// The same scan with every position taken from bit masks of the kinds of
// the next 16 bytes, so that where the next item starts never waits for
// a load that depends on an earlier position; the number, the blanks
// after it and what ends them must lie within those 16 bytes.  The digits
// are then read as words, as above.
inline bool scanShapedRealByMasks(RecordUnit& u, float& item) {
  const char* const p = u.readNext;
  if (u.readEnd - p < 32) return false;
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Bits 16 and up are of no kind, so every run stops at the block's end.
  const uint64_t notBlank = ~uint64_t{bytesEqual(block, ' ')};
  // Adding 80 takes the digits, and only them, to -128 to -119.
  const uint64_t notDigit = ~uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(
      _mm_cmplt_epi8(_mm_add_epi8(block, _mm_set1_epi8(80)), _mm_set1_epi8(-128 + 10))))};
  // Where the item ends follows from the point alone; what lies before
  // the point is checked beside it.
  const int point = std::countr_zero(bytesEqual(block, '.') | uint32_t{1} << 16);
  const int end = point + 1 + std::countr_zero(notDigit >> (point + 1));
  const int next = end + std::countr_zero(notBlank >> end);
  const int start = std::countr_zero(notBlank);
  const bool negative = p[start] == '-';
  const int wholeStart = start + negative;
  const int whole = point - wholeStart;
  const int fraction = end - point - 1;
  if (std::countr_zero(notDigit >> wholeStart) != whole || fraction == 0 || whole + fraction > 8 ||
      next >= 16) {
    return false;
  }
  const unsigned char stop = static_cast<unsigned char>(p[next]);
  if (!((kEndsShapedReal[stop] >> (next != end)) & 1)) return false;
  const uint32_t commas = bytesEqual(block, ',');
  item = static_cast<float>(
      shapedValue(negative, loadText(p + wholeStart), whole, loadText(p + point + 1), fraction));
  u.readNext = p + next + ((commas >> next) & 1);
  return true;
}
#endif

// The shaped scan by masks where the processor has them and the short
// scan is in use, by words otherwise.
inline bool scanShapedReal(RecordUnit& u, float& item) {
#if defined(__SSE2__)
  if (FreeFormReader::useShortScan) return scanShapedRealByMasks(u, item);
#endif
  return scanShapedRealByWords(u, item);
}

// The common case of a real item, read straight from the stream's buffer:
// gaps, a plain decimal number of at most 15 significant digits with no
// exponent, and the blanks and the comma after it.  It reads exactly what
// the general path would and leaves the same state, but gives up, having
// consumed nothing, on anything else: a repeat count, a null value, a
// slash, an exponent, a carriage return, a longer number, or a value that
// does not end within the next 64 bytes of the buffer.
bool scanPlainReal(RecordUnit& u, float& item) {
  if (readerState.pendingRepeat != 0 || u.pushedCount != 0 || u.atEnd) return false;
  // A copy of the next 64 bytes, ended by a NUL that stops every loop below.
  constexpr int kWindow = 64;
  const char* const start = u.readNext;
  if (u.readEnd - start < kWindow) return false;
#if defined(__SSE2__)
  if (FreeFormReader::useShortScan) {
    ptrdiff_t consumed;
    if (scanShortReal(reinterpret_cast<const unsigned char*>(start), item, consumed)) {
      u.readNext += consumed;
      return true;
    }
  }
#endif
  unsigned char window[kWindow + 1];
  memcpy(window, start, kWindow);
  window[kWindow] = 0;
  const unsigned char* q = window;
  while (isGap(*q)) ++q;
  const bool negative = *q == '-';
  if (isSign(*q)) ++q;
  // The significant digits, trailing zeros included; more than 15 give up
  // (the sum may then wrap, but is not used).
  uint64_t digits = 0;
  const unsigned char* run = q;
  while (*q == '0') ++q;
  int seen = static_cast<int>(q - run), exponent = 0;
  run = q;
  for (; isDigit(*q); ++q) digits = 10 * digits + (*q - '0');
  int significant = static_cast<int>(q - run);
  if (*q == '.') {
    run = ++q;
    if (significant == 0) {
      while (*q == '0') ++q;
      seen += static_cast<int>(q - run);
    }
    const unsigned char* fraction = q;
    for (; isDigit(*q); ++q) digits = 10 * digits + (*q - '0');
    significant += static_cast<int>(q - fraction);
    exponent = -static_cast<int>(q - run);
  }
  if (significant > 15 || seen + significant == 0 || exponent < -22) return false;
  if (!isGap(*q) && *q != ',') return false;
  while (*q == ' ' || *q == '\t') ++q;
  if (q == window + kWindow) return false;  // the run may go on beyond the copy
  if (*q == ',') ++q;
  // Up to 15 digits and a power of ten up to 1e22 are exact doubles, so
  // the one division rounds once, as the general conversion does.
  double value = 0;
  if (digits != 0) {
    value = static_cast<double>(digits) / kExactPowersOfTen[-exponent];
    if (negative) value = -value;
  }
  u.readNext += q - window;
  readerState.haveValue = true;
  readerState.lastValue = value;
  item = toReal(value);
  return true;
}

// Whether the next real item may take the shaped scan.
void allowShapedScan(const RecordUnit& u) {
  readerState.shapedScanAllowed = FreeFormReader::useBufferScan && FreeFormReader::useShapedScan &&
                                  readerState.pendingRepeat == 0 && !readerState.listEnded &&
                                  !readerState.sawEndOfFile && u.pushedCount == 0 && !u.atEnd;
}

// Gives up the reals read ahead that no item took: the reader then stands
// where the general path would stand after those that were taken.
void endReadAhead(RecordUnit& u) {
  FreeFormReader::ReadAhead& a = FreeFormReader::readAhead;
  if (a.record.count == 0) return;
  u.readNext = positionAfterFields(a.record, a.next);
  a.record.count = a.next = 0;
}

// Steps common to both item kinds; false when the item gets no value.
bool scanItem(ItemKind kind) {
  if (readerState.listEnded) return false;
  RecordUnit& u = *statementState.currentUnit;
  if (readerState.sawEndOfFile) reportFailure(-1, "list in");
  bool nullByComma = false;
  if (readerState.pendingRepeat == 0) {
    readerState.haveValue = false;
    for (;;) {
      int c = next(u);
      if (isGap(c)) continue;
      if (c == EOF) {
        if (u.readError != 0) reportSystemFailure(u.readError, "list in");
        reportFailure(-1, "list in");
      }
      if (c == ',') {
        readerState.pendingRepeat = 1;
        nullByComma = true;
      } else if (c == '/') {
        readerState.listEnded = true;
        return false;
      } else {
        pushBack(u, c);
      }
      break;
    }
  }
  if (!nullByComma) {
    scanValue(u, kind);
    int c;
    while ((c = next(u)) == ' ' || c == '\t') {
    }
    if (!(c == ',' && readerState.pendingRepeat <= 1)) pushBack(u, c);
  }
  if (u.readError != 0) [[unlikely]] {
    const int error = u.readError;
    u.readError = 0;
    reportSystemFailure(error, "list in");
  }
  const bool stored = readerState.haveValue;
  if (readerState.pendingRepeat > 0) --readerState.pendingRepeat;
  return stored;
}

// An item by the general path, which may leave a repeat, a slash, the end
// of the file or a character given back in the shaped scan's way.
bool getItem(ItemKind kind) {
  const bool stored = scanItem(kind);
  allowShapedScan(*statementState.currentUnit);
  return stored;
}

}  // namespace

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
  // Up to 15 digits are an exact double, and so are the powers of ten up
  // to 1e22: one multiplication or division then rounds once, correctly.
  if (count <= 15 && exponent >= -22 && exponent <= 22) {
    int64_t whole = 0;
    for (int i = 0; i < count; ++i) whole = 10 * whole + (digits[i] - '0');
    double value = static_cast<double>(whole);
    value =
        exponent < 0 ? value / kExactPowersOfTen[-exponent] : value * kExactPowersOfTen[exponent];
    return negative ? -value : value;
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

ReaderState readerState;

namespace FreeFormReader {

bool useBufferScan = true;
bool useShortScan = true;
bool useShapedScan = true;
bool useRecordScan = true;
ReadAhead readAhead;

void startSlowly(int32_t unit) {
  statementState.reading = statementState.sequential = true;
  statementState.formatted = statementState.external = true;
  RecordUnit& u = startListStatement(unit);
  readerState.pendingRepeat = 0;
  readerState.listEnded = false;
  readerState.sawEndOfFile = false;
  if (u.lastWasWrite && switchToReading(u) != 0) reportFailure(126, "read start");
  if (u.atEnd) reportFailure(-1, "read start");
  if (u.stream == stdin) flushConsole();
  allowShapedScan(u);
  readAhead.record.count = readAhead.next = 0;
  if (useBufferScan && useRecordScan && u.pushedCount == 0 && !u.atEnd) readAheadRecord(u);
}

void getInteger(int32_t& item) {
  endReadAhead(*statementState.currentUnit);
  if (getItem(ItemKind::integer)) item = toInteger(readerState.lastValue);
}

namespace {

// The real items that neither read-ahead nor the shaped scan takes.
[[gnu::noinline]] void getUnshapedReal(float& item) {
  if (FreeFormReader::useBufferScan && !readerState.listEnded && !readerState.sawEndOfFile &&
      scanPlainReal(*statementState.currentUnit, item)) {
    return;
  }
  if (getItem(ItemKind::real)) item = toReal(readerState.lastValue);
}

}  // namespace

void getOtherReal(float& item) {
  RecordUnit& u = *statementState.currentUnit;
  endReadAhead(u);
  if (readerState.shapedScanAllowed && scanShapedReal(u, item)) [[likely]] {
    return;
  }
  getUnshapedReal(item);
}

void getRealsOneByOne(float* items, int32_t count) {
  for (int32_t i = 0; i < count; ++i) getReal(items[i]);
}

void finishSlowly() {
  statementInProgress = false;
  RecordUnit& u = *statementState.currentUnit;
  endReadAhead(u);
  // Most statements stop right at their record's line feed.
  if (!u.atEnd && u.pushedCount == 0 && u.readNext < u.readEnd && *u.readNext == '\n') [[likely]] {
    ++u.readNext;
  } else if (!u.atEnd && !skipPastLineEnd(u)) {
    u.atEnd = readerState.sawEndOfFile = true;
  }
  serviceRequests();
}

}  // namespace FreeFormReader

}  // namespace recordio
