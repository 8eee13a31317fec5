// Fixed-point output fields: the rows of the acceleration table, written
// under one edit list kept as data.
#pragma once

#include <cstdint>

#include "recordio/records.h"
#include "recordio/units.h"

namespace recordio {

/// One step of an edit list.
struct EditStep {
  enum Kind { field, literal, groupStart, groupEnd } kind;
  int width = 0;     ///< field: width; groupStart: repeat count
  int decimals = 0;  ///< field: digits after the point
  char text = 0;     ///< literal: its one character
};

/// The table row: F7.3, then three times a comma and F10.3.
inline constexpr EditStep kRowEditList[] = {
    {EditStep::field, 7, 3},  {EditStep::groupStart, 3}, {EditStep::literal, 0, 0, ','},
    {EditStep::field, 10, 3}, {EditStep::groupEnd},
};

/// The row's format text as a failure report shows it; byte 2 stands for
/// each apostrophe around the comma.
inline constexpr char kRowFormat[] = "(F7.3,3(\x02,\x02,F10.3))";

/// Writes the magnitude `value` (not negative) as "%#.*f" with `decimals`
/// digits would: the integer part, a point and exactly `decimals` digits,
/// rounded to nearest with ties to even.  Returns the length.  `text` must
/// hold 64 characters; magnitudes the exact path cannot hold
/// (1e10 and above, infinities, NaNs, more than 9 decimals) are handed to
/// the C library.
int fixedPointText(float value, int decimals, char* text);

/// Places `value` right-aligned in a field of `width` characters with
/// `decimals` digits after the point, or `width` asterisks when it does
/// not fit.
void formatFixed(float value, int width, int decimals);

/// The number of fields of the row's edit list.
inline constexpr int kRowFieldCount = [] {
  int count = 0, repeat = 1;
  for (const EditStep& s : kRowEditList) {
    if (s.kind == EditStep::groupStart) repeat = s.width;
    if (s.kind == EditStep::groupEnd) repeat = 1;
    if (s.kind == EditStep::field) count += repeat;
  }
  return count;
}();

/// An edited output statement writing one table row: start, four values,
/// finish.  The values are kept until the statement finishes, and the row
/// is placed then, whole.
namespace FixedRowWriter {
/// The values of the row statement in progress; `count` counts one more
/// than the fields when a value went past the last field.
struct PendingRow {
  float values[kRowFieldCount];
  int count = 0;
};
extern PendingRow pendingRow;

/// The start of a row statement in every case.
void startSlowly(int32_t unit);
/// Starts a row statement on `unit`.
inline void start(int32_t unit) {
  // The rows after the first: the unit is connected and being written, so
  // the statement only records itself.
  if (prepared && !statementInProgress && unitInRange(unit) && units[unit].stream &&
      units[unit].lastWasWrite) [[likely]] {
    statementInProgress = true;
    statementState.reading = false;
    statementState.sequential = statementState.formatted = statementState.external = true;
    statementState.currentUnit = &units[unit];
    statementState.lastFormat = kRowFormat;
    statementState.lastFormatLength = formatLength(kRowFormat);
    pendingRow.count = 0;
    return;
  }
  startSlowly(unit);
}
/// Takes the next value of the row; one past the last field is dropped.
inline void putReal(float value) {
  PendingRow& row = pendingRow;
  if (row.count < kRowFieldCount) [[likely]] {
    row.values[row.count++] = value;
  } else {
    row.count = kRowFieldCount + 1;
  }
}
/// Places the row and hands it to the unit.
void finish();
/// Places a whole row of `values` (its characters and the line feed) at
/// `row`, which must have 48 bytes of storage, when every value comes from
/// the tables, as the walk over the edit list would place it; false, with
/// `row` undefined, otherwise.  The quick way of finish.
bool placeWholeRow(char* row, const float* values);
/// The texts of a row's four fields are made four at once where the
/// processor can when set (the default); clear, one at a time.  The same
/// rows either way.
extern bool useFourAtOnce;
}  // namespace FixedRowWriter

}  // namespace recordio
