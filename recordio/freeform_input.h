// Free-form input: numbers read from the records of a unit without a
// format, separated by blanks, tabs, line ends or commas, with null values,
// repeat counts and a slash that ends the list.
#pragma once

#include <cstdint>

#include "recordio/record_scan.h"

namespace recordio {

constexpr int kMaxRetainedDigits = 40;
constexpr int32_t kMaxExponent = 99999999;

/// A free-form read statement: start, items, finish.
namespace FreeFormReader {
/// Begins a statement on `unit`; reads nothing.
void start(int32_t unit);
/// Reads one integer item; a null value leaves `item` unchanged.
void getInteger(int32_t& item);
/// Reads one real item that the record scan has not read ahead.
void getOtherReal(float& item);
/// Reads `count` real items into `items[0]` to `items[count - 1]`, exactly
/// as that many getReal calls would; the reals read ahead go over at once.
void getReals(float* items, int32_t count);
/// The reals of the statement's record that the record scan has read
/// ahead, and the next to hand out; none outside a statement.
struct ReadAhead {
  ScannedRecord record;
  int next = 0;
};
extern ReadAhead readAhead;
/// Reads one real item; a null value leaves `item` unchanged.
inline void getReal(float& item) {
  ReadAhead& a = readAhead;
  if (a.next < a.record.count) [[likely]] {
    item = a.record.values[a.next++];
    return;
  }
  getOtherReal(item);
}
/// Ends the statement, passing over the rest of the current record.
void finish();
/// Plain real items are read straight from the stream's buffer when set
/// (the default); clear, every item takes the general path.  The two give
/// the same results, which the number fuzzer checks.
extern bool useBufferScan;
/// With the buffer scan, the shortest numbers are read by a scan that
/// tests the kinds of the next 16 bytes all at once when set (the
/// default); clear, they take the longer scan.  The same results again.
extern bool useShortScan;
/// With the buffer scan, the commonest shape of real (a sign, digits, a
/// point and digits, eight digits in all) is read a word at a time when
/// set (the default); clear, it takes the other scans.  The same results.
extern bool useShapedScan;
/// With the buffer scan, the first real item of a statement reads its
/// whole record ahead when the record holds fields in fixed columns, set
/// (the default); clear, every item takes the other scans.  The same
/// results again.
extern bool useRecordScan;
}  // namespace FreeFormReader

/// The decimal text of a scanned number: a minus sign when negative, the
/// `count` retained digits and, unless `exponent` is 0, "e" and the
/// exponent (held within +-999999999).  `text` must hold 64 characters;
/// returns the length.
int decimalText(bool negative, const char* digits, int count, int64_t exponent, char* text);

/// The nearest double to that text, as the C library's strtod gives it:
/// infinity of its sign beyond the double range, zero below it.  Up to 15
/// digits with a decimal exponent within +-22 are converted exactly here;
/// the rest by strtod.  `count` is 1 to 40 and the first digit is not 0.
double decimalToDouble(bool negative, const char* digits, int count, int64_t exponent);

/// The nearest float to `value`, infinity beyond the float range.
float toReal(double value);

/// `value` truncated toward zero; -2147483648 when out of range.
int32_t toInteger(double value);

}  // namespace recordio
