// Free-form output: console records laid out by the writer itself, and the
// record buffer that every output statement builds its record in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recordio {

constexpr int kFreeFormLineLimit = 80;

/// The record being built by the output statement in progress.
struct OutputRecord {
  char* chars;
  size_t size;      ///< Storage size: 400 at first, then 1024, then doubled.
  size_t position;  ///< Characters placed so far.
};
extern OutputRecord outputRecord;

/// Enlarges the storage so that it holds position `last`: 1024 at first,
/// then doubled as often as needed.  Fails with 113 when it cannot.
void growOutputRecord(size_t last);

/// Makes room for `count` more characters and returns where they go; the
/// caller places them and advances the position.
inline char* reserveChars(size_t count) {
  OutputRecord& r = outputRecord;
  if (r.position + count > r.size) [[unlikely]]
    growOutputRecord(r.position + count - 1);
  return r.chars + r.position;
}

/// Places one character, enlarging the storage when it is full.
inline void placeChar(char c) {
  *reserveChars(1) = c;
  ++outputRecord.position;
}

/// Hands the record and a line feed to the current unit; position back to 0.
void emitOutputRecord();

/// The item text of a real: a blank, a sign or blank, the "%.9G" digits of
/// the magnitude with a decimal point forced.  Returns its length.
size_t renderReal(float value, char* text, size_t capacity);

/// A free-form write statement: start, items, finish.
namespace FreeFormWriter {
void start(int32_t unit);
void putText(const char* chars, size_t length);
void putInteger(int64_t value);
void putReal(float value);
void finish();
}  // namespace FreeFormWriter

}  // namespace recordio
