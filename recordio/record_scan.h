// The record scan: a record of numbers in fixed columns (every field of the
// same width, a blank first, then blanks, a minus sign or none and digits,
// a point and a fixed number of digits, and the line end, a line feed or
// a carriage return and a line feed, right after the last field), read
// whole.  Each field is then one plain real of the free-
// form reader, and its value is the one the general path gives it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recordio {

/// Most fields a record of the scan may hold.
constexpr int kRecordScanFields = 16;

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
