// Records on a unit: the character source of the read statements (with the
// CR LF fold and the characters given back), the record read into one
// character field, the hand-over of finished output records, and the two
// operations on fixed-length character fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "recordio/units.h"

namespace recordio {

/// One byte of the stream when its buffer is empty: on a stream that can
/// block (a terminal, a pipe) it first waits for input in a way that an
/// interrupt or termination request ends at once, and a read that such a
/// request interrupts carries the request out instead of ending the file.
int refillByte(RecordUnit& unit);

/// Reads the byte after a carriage return: a CR LF pair is one line feed,
/// any other byte is kept back for the next fetch.
int foldCarriageReturn(RecordUnit& unit);

/// One byte of the unit's stream (0..255) or EOF, characters given back
/// first, a CR LF pair read as one line feed.  Reads the stream's own
/// buffer without locking, as getc_unlocked does.
inline int fetchByte(RecordUnit& unit) {
  if (unit.pushedCount > 0) [[unlikely]]
    return unit.pushed[--unit.pushedCount];
  FILE* const f = unit.stream;
  const int c = f->_IO_read_ptr < f->_IO_read_end ? static_cast<unsigned char>(*f->_IO_read_ptr++)
                                                  : refillByte(unit);
  if (c != '\r') [[likely]]
    return c;
  return foldCarriageReturn(unit);
}

/// Next byte of a unit being read (0..255) or EOF; sets `atEnd` at the
/// end of the file (not on a read error), after which it gives EOF at once.
inline int nextChar(RecordUnit& unit) {
  if (unit.atEnd) [[unlikely]]
    return EOF;
  const int c = fetchByte(unit);
  if (c == EOF && feof_unlocked(unit.stream)) [[unlikely]]
    unit.atEnd = true;
  return c;
}

/// Gives a character back to a unit, to be read again next; EOF is ignored.
inline void pushBack(RecordUnit& unit, int c) {
  if (c != EOF) unit.pushed[unit.pushedCount++] = c;
}

/// Reads one record into a character field under the format "(a80)".
/// 0, or with `err`/`end` set the error number of a failure.
int readRecordField(const ReadRequest& request, char* field, int32_t length);

/// Hands a finished record (its characters and the line feed) to a stream
/// in one piece; a named unit remembers the first failed hand-over.
void emitRecord(RecordUnit& unit, const char* chars, size_t count);

/// Copies a text into a blank-filled field (overlap allowed).
void assignText(char* destination, int32_t destinationLength, const char* source,
                int32_t sourceLength);

/// Length of a name field without its trailing blanks.
int32_t trimName(const char* field, int32_t length);

/// Number of characters of a format text up to its closing parenthesis.
constexpr int32_t formatLength(const char* format) {
  int depth = 0;
  int32_t length = 0;
  for (const char* p = format; *p; ++p) {
    ++length;
    if (*p == '(') ++depth;
    if (*p == ')' && --depth == 0) break;
  }
  return length;
}

}  // namespace recordio
