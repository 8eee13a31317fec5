// Free-form input: numbers read from the records of a unit without a
// format, separated by blanks, tabs, line ends or commas, with null values,
// repeat counts and a slash that ends the list.
#pragma once

#include <cstdint>
#include <cstring>

#include "recordio/decimal_number.h"
#include "recordio/process.h"
#include "recordio/record_scan.h"
#include "recordio/routes.h"
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
};

extern ReaderState readerState;

/// A free-form read statement: start, items, finish.
namespace FreeFormReader {
/// The checks of a statement's start in every case but a file unit being
/// read and not at its end, and what they lead to (a default connection,
/// the switch to reading, the console's output written out); the unit.
RecordUnit& checkStart(int32_t unit);
/// Reads one integer item; a null value leaves `item` unchanged.
void getInteger(int32_t& item);
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
    countRoute(&RouteCounts::scannedReals);
    return;
  }
  getOtherReal(item);
}
/// Reads `count` real items into `items[0]` to `items[count - 1]`, exactly
/// as that many getReal calls would; the reals of a sample record read
/// ahead go over at once.
inline void getReals(float* items, int32_t count) {
  ReadAhead& a = readAhead;
  if (count == kRecordReals && a.record.count - a.next >= kRecordReals) [[likely]] {
    memcpy(items, a.record.values + a.next, kRecordReals * sizeof(float));
    a.next += kRecordReals;
    countRoute(&RouteCounts::scannedReals, kRecordReals);
    return;
  }
  for (int32_t i = 0; i < count; ++i) getReal(items[i]);
}

/// Begins a statement on `unit`.  It consumes nothing: at most it reads
/// the record at the unit's read position ahead, when the read buffer
/// holds it and its fields stand in fixed columns.
inline void start(int32_t unit) {
  statementState.reading = statementState.sequential = true;
  statementState.formatted = statementState.external = true;
  RecordUnit* u;
  // A file unit being read, not at its end: the statement only records
  // itself.
  if (prepared && !statementInProgress && unitInRange(unit) && units[unit].stream &&
      units[unit].stream != stdin && !units[unit].lastWasWrite && !units[unit].atEnd) [[likely]] {
    u = &units[unit];
    statementInProgress = true;
    statementState.currentUnit = u;
    statementState.lastFormat = "list io";
    statementState.lastFormatLength = 7;
  } else {
    u = &checkStart(unit);
  }
  readerState.pendingRepeat = 0;
  readerState.listEnded = false;
  readerState.sawEndOfFile = false;
  readAhead.record.count = readAhead.next = 0;
  if (route != Route::general && u->pushedCount == 0) {
    scanFixedColumns(u->readNext, static_cast<size_t>(u->readEnd - u->readNext),
                     route == Route::fastest, readAhead.record);
  }
}

/// Passes over the rest of the record, from where the items stopped.
void finishRecord(RecordUnit& unit);
/// Ends the statement, passing over the rest of the current record.
inline void finish() {
  statementInProgress = false;
  RecordUnit& u = *statementState.currentUnit;
  ReadAhead& a = readAhead;
  // Every real read ahead was taken: the record ends at the line end
  // after them.
  if (a.record.count != 0 && a.next == a.record.count) [[likely]] {
    u.readNext = a.record.next;
    a.record.count = a.next = 0;
  } else {
    finishRecord(u);
  }
  serviceRequests();
}
}  // namespace FreeFormReader

}  // namespace recordio
