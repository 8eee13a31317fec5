// Formatted input: records read under an input edit list, parsed at run
// time from a format text such as "(8f10.6)", each field taken from exactly
// its columns.  The numbers of a field have the syntax of free-form input
// for a real and go through its decimal conversion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recordio/units.h"

namespace recordio {

/// The most fields an input edit list may give one record, and the widest
/// record it may describe.
constexpr int kMaxInputFields = 100;
constexpr int kMaxInputRecordWidth = 1000;

/// One field of a record: its first column (from 0), width and decimals.
struct InputField {
  int start = 0;
  int width = 0;
  int decimals = 0;
};

/// The fields of one record, in order.
struct InputEditList {
  InputField fields[kMaxInputFields];
  int count = 0;
  /// The width of every field when they follow each other from column 1
  /// without a gap; 0 otherwise.
  int uniformWidth = 0;
};

/// Parses a format text: a parenthesised list of F, E, D and G fields
/// (`[r]Fw.d`, `[r]Fw`), skips (`nX`) and groups (`r(...)`), separated by
/// commas, in either case, blanks allowed between items.  False with
/// `error` set to what is wrong.
bool parseInputEditList(const char* text, size_t length, InputEditList& list, const char** error);

/// The edit list of `count` fields of `width` with `decimals` each.
InputEditList uniformEditList(int count, int width, int decimals);

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
/// point up to the field's end, 15 digits at most) skip the general scan
/// when set (the default); clear, every field takes it.  The same values
/// either way, which the tests check.
extern bool useQuickFields;

/// One record of a unit as its text, without the line end; valid until the
/// next read on the unit.
struct InputRecord {
  const char* text = nullptr;
  size_t length = 0;  ///< At most kMaxInputRecordWidth: the rest is passed over.
  /// Bytes readable from `text` on, its line end included, when the record
  /// lies in the unit's read window; 0 for a record copied out of it.
  size_t held = 0;
};

/// Reads the first `count` fields of `list` from `record` into `values`
/// as readRealField would; -1, or the index of the first field that is
/// not a number, with its outcome in `outcome`.  A record of fixed
/// columns that the free-form reader's record scan takes is read whole by
/// it (same values).
int readFields(const InputRecord& record, const InputEditList& list, int count, float* values,
               FieldOutcome& outcome);

/// readFields reads records whole by the record scan when set (the
/// default); clear, field by field.  The same values either way.
extern bool useRecordScanForFields;

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
