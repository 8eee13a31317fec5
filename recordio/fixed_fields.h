// Fixed-point output fields: the rows of the acceleration table, written
// under one edit list kept as data.
#pragma once

#include <cstdint>

#include "recordio/edit_list.h"
#include "recordio/records.h"
#include "recordio/units.h"

namespace recordio {

/// The row's format text as a failure report shows it; byte 2 stands for
/// each apostrophe around the comma.
inline constexpr char kRowFormat[] = "(F7.3,3(\x02,\x02,F10.3))";

/// The table row's edit list: F7.3, then three times a comma and F10.3.
inline constexpr EditList kRowEditList = parseEditList(kRowFormat);
static_assert(kRowEditList.valid);
inline constexpr int kRowFieldCount = kRowEditList.fields;
/// The characters of a row with its line feed.
inline constexpr int kRowLength = kRowEditList.columns + 1;

/// Room for the text of fixedPointText.
constexpr int kFixedTextSize = 160;

/// The fixed-point text of `value` with `decimals` (0 to 99) digits after
/// the point: its magnitude as "%#.*f" writes it (the integer part, a
/// point and the decimals, rounded to nearest with ties to even), after a
/// minus sign when the value is below zero and the text shows a digit
/// other than 0 (so -0, a NaN and a value shown as zero have none).
/// Magnitudes below 1e10 with up to 9 decimals are made exactly here, the
/// rest by the C library.  Returns the length; `text` holds kFixedTextSize.
int fixedPointText(float value, int decimals, char* text);

/// Places `value` right-aligned in a field of `width` characters with
/// `decimals` digits after the point, or `width` asterisks when it does
/// not fit.
void formatFixed(float value, int width, int decimals);

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

/// Records the row statement on `unit`, for the failure report.
inline void begin(RecordUnit& unit) {
  statementState.currentUnit = &unit;
  statementState.lastFormat = kRowFormat;
  statementState.lastFormatLength = formatLength(kRowFormat);
  pendingRow.count = 0;
}
/// The start in every case but a unit that is connected and being
/// written: the common start of an edited statement, with its checks and
/// what they lead to (a default connection, the switch to writing).
void checkStart(int32_t unit);
/// Starts a row statement on `unit`.
inline void start(int32_t unit) {
  statementState.reading = false;
  statementState.sequential = statementState.formatted = statementState.external = true;
  // The rows after the first: the statement only records itself.
  if (prepared && !statementInProgress && unitInRange(unit) && units[unit].stream &&
      units[unit].lastWasWrite) [[likely]] {
    statementInProgress = true;
    begin(units[unit]);
    return;
  }
  checkStart(unit);
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
/// The room a whole row needs: its characters, and seven more for the
/// eight-byte store of its last field.
constexpr int kWholeRowRoom = kRowLength + 7;
/// Places a whole row of `values` (its characters and the line feed) at
/// `row`, which must have kWholeRowRoom bytes, when every value comes from
/// the tables, as the walk over the edit list would place it; false, with
/// `row` undefined, otherwise.  The quick way of finish.
bool placeWholeRow(char* row, const float* values);
}  // namespace FixedRowWriter

}  // namespace recordio
