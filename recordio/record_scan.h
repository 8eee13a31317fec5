// The record scan: a record of numbers in fixed columns (every field of the
// same width, a blank first, then blanks, a minus sign or none and digits,
// a point and a fixed number of digits, and the line end, a line feed or
// a carriage return and a line feed, right after the last field), read
// whole.  Each field is then one plain real of the free-
// form reader, and its value is the one the general path gives it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recordio/edit_list.h"

namespace recordio {

/// What the scan covers: each field's digits are read as one word of text,
/// a digit a byte, so a field holds at most that many (and a blank and a
/// point); at most 16 fields, stored four at a time; a record whose line
/// end lies within the 128 bytes looked at.
constexpr int kScanDigits = sizeof(uint64_t);
constexpr int kWidestScannedField = kScanDigits + 2;
constexpr int kRecordScanFields = 16;
constexpr int kRecordScanWindow = 128;

/// Whether records of an edit list take the scan: fields alone, all of
/// one width and number of decimals, within the bounds above (a record
/// with its line end, a line feed or a carriage return and a line feed).
constexpr bool recordScanCovers(const EditList& l) {
  const EditStep f = l.field(0);
  return l.valid && l.length == l.fields && l.everyField(f.width, f.decimals) &&
         f.width <= kWidestScannedField && f.decimals >= 1 && f.decimals <= f.width - 2 &&
         l.fields <= kRecordScanFields && l.columns + 2 <= kRecordScanWindow;
}

/// The sample records of the files read: eight F10.5 values (the maximum
/// record that bench/ makes) and eight F10.3 (the bundled sample).  The
/// scan is built for them, and the tests make their records from these.
inline constexpr EditList kBenchmarkRecord = parseEditList("(8F10.5)");
inline constexpr EditList kSampleRecord = parseEditList("(8F10.3)");
/// The reals of one such record, which a statement takes at once.
inline constexpr int kRecordReals = kBenchmarkRecord.fields;
static_assert(kSampleRecord.fields == kRecordReals, "one count of reals for every sample record");

/// The reals of one record read by the record scan.
struct ScannedRecord {
  float values[kRecordScanFields];
  int count = 0;               ///< Fields of the record.
  int width = 0;               ///< Width of each field.
  const char* line = nullptr;  ///< The record's first byte.
  const char* end = nullptr;   ///< Its line end.
  const char* next = nullptr;  ///< The byte after its line end.
};

/// Reads the record that starts at `line` when it has the fixed-column
/// shape; `held` bytes are readable there.  False, with `record` unset,
/// when the record does not have that shape, holds more than 16 fields,
/// wider ones than 10 or more than 127 bytes, or when fewer than 128 bytes
/// are held.  With `byMasks` the kinds of its bytes are found 16 at a time
/// where the processor can; otherwise one at a time (the same result).
bool scanFixedColumns(const char* line, size_t held, bool byMasks, ScannedRecord& record);

/// Where the free-form reader stands after the first `taken` fields of a
/// scanned record: at the first byte of the next field that is not a
/// blank, or at the line end after the last (a carriage return there is
/// then read with its line feed as one line end, as the reader would).
const char* positionAfterFields(const ScannedRecord& record, int taken);

}  // namespace recordio
