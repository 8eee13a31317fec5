#include "recordio/formatted_input.h"

#include <cstddef>
#include <cstring>

#include "recordio/freeform_input.h"
#include "recordio/record_scan.h"
#include "recordio/records.h"
#include "recordio/routes.h"

namespace recordio {

namespace {

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isBlank(int c) { return c == ' ' || c == '\t'; }
int upper(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// The commonest field, read without the general scan: blanks, a minus
// sign or none, then only digits and one point up to the field's end,
// with at most kQuickDigits digits.  The digits go to the same conversion;
// false, having read nothing, for any other field.
constexpr int kQuickDigits = 15;
static_assert(kQuickDigits <= kMaxRetainedDigits, "every digit is retained");
inline bool readQuickField(const char* p, const char* end, float& value) {
  while (p < end && *p == ' ') ++p;
  const bool negative = p < end && *p == '-';
  p += negative;
  char digits[kQuickDigits];
  int retained = 0, seen = 0;
  const char* point = nullptr;
  for (; p < end; ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (digit < 10) {
      if (++seen > kQuickDigits) return false;
      digits[retained] = *p;
      retained += retained > 0 || digit != 0;  // leading zeros are not retained
    } else if (*p == '.' && !point) {
      point = p;
    } else {
      return false;
    }
  }
  if (!point || seen == 0) return false;
  // Trailing zeros need no removal: up to 15 digits and a power of ten up
  // to 1e15 convert exactly, either way to the same nearest double.
  const int64_t exponent = -static_cast<int64_t>(end - point - 1);
  value = retained > 0 ? toReal(decimalToDouble(negative, digits, retained, exponent)) : 0.0f;
  return true;
}

}  // namespace

FieldOutcome readRealField(const char* text, size_t length, int start, int width, int decimals,
                           float& value) {
  // The field's columns that the record holds; the rest are blanks.
  const size_t first = static_cast<size_t>(start);
  const char* p = text + (first < length ? first : length);
  const char* const end =
      text + (first + static_cast<size_t>(width) < length ? first + width : length);
  if (route != Route::general && readQuickField(p, end, value)) [[likely]]
    return FieldOutcome::number;
  while (p < end && isBlank(*p)) ++p;
  if (p == end) return FieldOutcome::blank;

  // The number, as free-form input scans a real: up to 40 significant
  // digits retained, a point, an exponent after a letter or a sign alone.
  char digits[kMaxRetainedDigits];
  int count = 0;
  int64_t exponent = 0;
  int64_t seen = 0;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  for (; p < end && *p == '0'; ++p) ++seen;
  for (; p < end && isDigit(*p); ++p) {
    if (count < kMaxRetainedDigits) {
      digits[count++] = *p;
    } else {
      ++exponent;
    }
  }
  bool point = false;
  if (p < end && *p == '.') {
    point = true;
    ++p;
    if (count == 0) {
      for (; p < end && *p == '0'; ++p) {
        ++seen;
        --exponent;
      }
    }
    for (; p < end && isDigit(*p); ++p) {
      if (count < kMaxRetainedDigits) {
        digits[count++] = *p;
        --exponent;
      }
    }
  }
  seen += count;
  if (seen == 0) return FieldOutcome::notNumber;
  bool exponentNegative = false;
  bool hasExponent = false;
  if (p < end && (*p == '+' || *p == '-')) {
    hasExponent = true;
    exponentNegative = *p++ == '-';
  } else if (p < end && (upper(*p) == 'E' || upper(*p) == 'D')) {
    hasExponent = true;
    ++p;
    if (p < end && (*p == '+' || *p == '-')) exponentNegative = *p++ == '-';
  }
  if (hasExponent) {
    if (p == end || !isDigit(*p)) return FieldOutcome::notNumber;
    int64_t e = 0;
    for (; p < end && isDigit(*p); ++p) {
      e = 10 * e + (*p - '0');
      if (e > kMaxExponent) return FieldOutcome::notNumber;
    }
    exponent += exponentNegative ? -e : e;
  }
  while (p < end && isBlank(*p)) ++p;
  if (p != end) return FieldOutcome::notNumber;
  // A number written without a point has the field's decimals.
  if (!point) exponent -= decimals;
  while (count > 0 && digits[count - 1] == '0') {
    --count;
    ++exponent;
  }
  value = count > 0 ? toReal(decimalToDouble(negative, digits, count, exponent)) : 0.0f;
  return FieldOutcome::number;
}

int readFields(const InputRecord& record, const EditList& list, int count, float* values,
               FieldOutcome& outcome) {
  // The record scan's values are those of the general path.
  ScannedRecord scanned;
  if (route != Route::general && record.held >= kRecordScanWindow && recordScanReads(list) &&
      scanFixedColumns(record.text, record.held, route == Route::fastest, scanned) &&
      scanned.width == list.sameWidth && scanned.count >= count) [[likely]] {
    for (int i = 0; i < count; ++i) values[i] = scanned.values[i];
    countRoute(&RouteCounts::scannedReals, count);
    return -1;
  }
  countRoute(&RouteCounts::otherReals, count);
  for (int i = 0, step = 0; i < count; ++step) {
    const EditStep& f = list.steps[step];
    if (!f.isField) continue;
    outcome = readRealField(record.text, record.length, f.column, f.width, f.decimals, values[i]);
    if (outcome != FieldOutcome::number) [[unlikely]]
      return i;
    ++i;
  }
  return -1;
}

bool RecordReader::next(InputRecord& record) {
  RecordUnit& u = unit_;
  // Most records lie whole in the read window: the record is taken there.
  if (u.pushedCount == 0 && !u.atEnd) [[likely]] {
    const size_t left = static_cast<size_t>(u.readEnd - u.readNext);
    const void* feed = left != 0 ? memchr(u.readNext, '\n', left) : nullptr;
    if (feed) {
      const char* const lineEnd = static_cast<const char*>(feed);
      size_t length = static_cast<size_t>(lineEnd - u.readNext);
      if (length > 0 && lineEnd[-1] == '\r') --length;  // CR LF is one line end
      record.text = u.readNext;
      record.length = length < kMaxInputRecordWidth ? length : kMaxInputRecordWidth;
      record.held = static_cast<size_t>(u.readEnd - u.readNext);
      u.readNext = lineEnd + 1;
      ++line_;
      return true;
    }
  }
  // Across the end of the window, or at the end of the file: byte by byte.
  size_t length = 0;
  int c = nextChar(u);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = nextChar(u)) {
    if (length < kMaxInputRecordWidth) copy_[length++] = static_cast<char>(c);
  }
  record.text = copy_;
  record.length = length;
  record.held = 0;
  ++line_;
  return true;
}

namespace {

// The line feeds in a piece of the read window.  A byte counts them (the
// piece has fewer than 256), so that the compiler counts many bytes at
// once where it can.
constexpr ptrdiff_t kPiece = 64;
static_assert(kPiece < 256);
int lineFeeds(const char* piece) {
  unsigned char feeds = 0;
  for (ptrdiff_t i = 0; i < kPiece; ++i) feeds += piece[i] == '\n';
  return feeds;
}

}  // namespace

bool RecordReader::skip(int64_t count) {
  RecordUnit& u = unit_;
  while (count > 0) {
    // Pieces of the window with fewer line ends than are still to pass
    // over go at once; the records around the last one, one at a time.
    if (u.pushedCount == 0 && !u.atEnd) [[likely]] {
      const char* p = u.readNext;
      for (; u.readEnd - p >= kPiece; p += kPiece) {
        const int feeds = lineFeeds(p);
        if (feeds >= count) break;
        count -= feeds;
        line_ += feeds;
      }
      u.readNext = p;
    }
    if (!skip()) return false;
    --count;
  }
  return true;
}

bool RecordReader::skip() {
  RecordUnit& u = unit_;
  // A record whose line end is in the read window: passed over there.
  if (u.pushedCount == 0 && !u.atEnd && u.readNext < u.readEnd) [[likely]] {
    const void* feed = memchr(u.readNext, '\n', static_cast<size_t>(u.readEnd - u.readNext));
    if (feed) {
      u.readNext = static_cast<const char*>(feed) + 1;
      ++line_;
      return true;
    }
  }
  if (unit_.atEnd) return false;
  const int c = nextChar(unit_);
  if (c == EOF) return false;
  ++line_;
  if (c == '\n') return true;
  skipPastLineEnd(unit_);
  return true;
}

}  // namespace recordio
