// Free-form input: numbers read from the records of a unit without a
// format, separated by blanks, tabs, line ends or commas, with null values,
// repeat counts and a slash that ends the list.
#pragma once

#include <cstdint>
#include <cstring>

#include "recordio/process.h"
#include "recordio/record_scan.h"
#include "recordio/units.h"

namespace recordio {

constexpr int kMaxRetainedDigits = 40;
constexpr int32_t kMaxExponent = 99999999;

/// State of the one free-form read statement in progress.
struct ReaderState {
  int32_t pendingRepeat = 0;  ///< Items, this one included, that take the last scan.
  bool listEnded = false;     ///< A slash ended the value list.
  bool sawEndOfFile = false;  ///< The end of the file was met in this statement.
  bool haveValue = false;     ///< The last scan gave a value (else a null value).
  double lastValue = 0;
  /// The next real item may take the shaped scan: no repeat, slash, end
  /// of file or character given back stands in its way.  Set at the start
  /// and after each item of the general path; the scans change none of it.
  bool shapedScanAllowed = false;
};

extern ReaderState readerState;

/// A free-form read statement: start, items, finish.
namespace FreeFormReader {
/// The start of a read statement in every case.
void startSlowly(int32_t unit);
/// Reads one integer item; a null value leaves `item` unchanged.
void getInteger(int32_t& item);
/// Reads `count` real items one at a time.
void getRealsOneByOne(float* items, int32_t count);
/// Reads one real item that the record scan has not read ahead.
void getOtherReal(float& item);
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
/// Reads `count` real items into `items[0]` to `items[count - 1]`, exactly
/// as that many getReal calls would; the reals read ahead go over at once.
inline void getReals(float* items, int32_t count) {
  ReadAhead& a = readAhead;
  if (count == 8 && a.record.count - a.next >= 8) [[likely]] {
    memcpy(items, a.record.values + a.next, 8 * sizeof(float));
    a.next += 8;
    return;
  }
  getRealsOneByOne(items, count);
}
/// The end of a read statement in every case.
void finishSlowly();
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
/// With the buffer scan, the start of a statement reads its record ahead
/// when the record holds fields in fixed columns, set (the default); clear,
/// every item takes the other scans.  The same results again.
extern bool useRecordScan;
/// Reads the record at the unit's read position ahead when it holds fields
/// in fixed columns; consumes nothing (the items take the reals in turn).
inline void readAheadRecord(const RecordUnit& unit) {
  scanFixedColumns(unit.readNext, static_cast<size_t>(unit.readEnd - unit.readNext), useShortScan,
                   readAhead.record);
}

/// Begins a statement on `unit`.  It consumes nothing: at most it looks at
/// the record already in the unit's read buffer, reading it ahead.
inline void start(int32_t unit) {
  // A file unit being read, not at its end: the statement only records
  // itself.
  if (prepared && !statementInProgress && unitInRange(unit) && units[unit].stream &&
      units[unit].stream != stdin && !units[unit].lastWasWrite && !units[unit].atEnd) [[likely]] {
    RecordUnit& u = units[unit];
    statementState.reading = statementState.sequential = true;
    statementState.formatted = statementState.external = true;
    statementInProgress = true;
    statementState.currentUnit = &u;
    statementState.lastFormat = "list io";
    statementState.lastFormatLength = 7;
    readerState.pendingRepeat = 0;
    readerState.listEnded = false;
    readerState.sawEndOfFile = false;
    // Nothing stands in the way of the scans but characters given back.
    const bool scans = useBufferScan && u.pushedCount == 0;
    readerState.shapedScanAllowed = scans && useShapedScan;
    readAhead.record.count = readAhead.next = 0;
    if (scans && useRecordScan) readAheadRecord(u);
    return;
  }
  startSlowly(unit);
}

/// Ends the statement, passing over the rest of the current record.
inline void finish() {
  // Every real read ahead was taken: the record ends at the line end
  // after them.
  ReadAhead& a = readAhead;
  if (a.record.count != 0 && a.next == a.record.count) [[likely]] {
    statementInProgress = false;
    statementState.currentUnit->readNext = a.record.next;
    a.record.count = a.next = 0;
    serviceRequests();
    return;
  }
  finishSlowly();
}
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
