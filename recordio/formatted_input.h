// Formatted input: records read under an input edit list, parsed at run
// time from a format text such as "(8f10.6)", each field taken from exactly
// its columns.  The numbers of a field have the syntax of free-form input
// for a real and go through its decimal conversion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recordio/edit_list.h"
#include "recordio/record_scan.h"
#include "recordio/units.h"

namespace recordio {

/// The widest record an input edit list may describe.
constexpr int kMaxInputRecordWidth = kMaxEditColumns;

/// The fields of a block whose heading gives no format: eight of ten
/// columns, their decimals from the numbers' points.
inline constexpr EditList kEightFieldsOfTen = parseEditList("(8F10)");

/// Whether the record scan reads records of `list` whole: fields alone
/// from column 1, all of one width, within the scan's bounds.  The format
/// decimals do not matter: the scan takes fields with a point alone, and
/// a point overrides them.
constexpr bool recordScanReads(const EditList& list) {
  return list.valid && list.sameWidth != 0 && list.sameWidth <= kWidestScannedField &&
         list.fields <= kRecordScanFields && list.columns + 2 <= kRecordScanWindow;
}
static_assert(recordScanReads(kEightFieldsOfTen) && recordScanReads(parseEditList("(8f10.6)")) &&
                  recordScanReads(parseEditList("(8F10.3)")),
              "today's files and the old ones are read whole");

/// What reading one field found.
enum class FieldOutcome {
  number,     ///< a number, stored
  blank,      ///< only blanks (or nothing: past the end of the record)
  notNumber,  ///< anything else, a bad exponent included
};

/// Reads the real in `width` columns from `start` of the record `text` of
/// `length` characters (columns beyond the record are blanks).  Blanks
/// around the number are ignored; a number without a point takes
/// `decimals` digits after it.  The value is converted as free-form input
/// converts a real.
FieldOutcome readRealField(const char* text, size_t length, int start, int width, int decimals,
                           float& value);

/// The commonest fields (blanks, a minus sign or none, digits with one
/// point up to the field's end, 15 digits at most) skip the general scan,
/// unless a test build chooses the general route (recordio/routes.h).
/// The same values either way, which the tests check.

/// One record of a unit as its text, without the line end; valid until the
/// next read on the unit.
struct InputRecord {
  const char* text = nullptr;
  size_t length = 0;  ///< At most kMaxInputRecordWidth: the rest is passed over.
  /// Bytes readable from `text` on, its line end included, when the record
  /// lies in the unit's read window; 0 for a record copied out of it.
  size_t held = 0;
};

/// Reads the first `count` fields of `list` (a valid edit list) from
/// `record` into `values` as readRealField would; -1, or the index of the
/// first field that is not a number, with its outcome in `outcome`.  A
/// record of a list that recordScanReads covers is read whole by the
/// free-form reader's record scan (same values), unless a test build
/// chooses the general route.
int readFields(const InputRecord& record, const EditList& list, int count, float* values,
               FieldOutcome& outcome);

/// The record reader of a unit being read: the records in turn and their
/// line numbers.  A record that does not lie whole in the unit's read
/// window is copied into the reader's own storage.
class RecordReader {
 public:
  explicit RecordReader(RecordUnit& unit) : unit_(unit) {}
  /// The next record; false at the end of the file (check `readError`).
  bool next(InputRecord& record);
  /// Passes over the next record; false at the end of the file.
  bool skip();
  /// Passes over the next `count` records; false when the file ends first.
  bool skip(int64_t count);
  /// The line number of the record read last (from 1).
  int64_t line() const { return line_; }
  /// errno of a failed read of the file; 0 if none.
  int readError() const { return unit_.readError; }

 private:
  RecordUnit& unit_;
  int64_t line_ = 0;
  char copy_[kMaxInputRecordWidth];
};

}  // namespace recordio
