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

/// Places one character, enlarging the storage when it is full.
void placeChar(char c);

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
