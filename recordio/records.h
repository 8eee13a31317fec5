// Records on a unit: the unit's own buffer under its stream, the character
// source of the read statements (with the CR LF fold and the characters
// given back), the record read into one character field, the hand-over of
// finished output records, and the two operations on fixed-length
// character fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "recordio/platform.h"
#include "recordio/process.h"
#include "recordio/units.h"

namespace recordio {

/// Fills the empty read window of a unit from its descriptor; false at the
/// end of the file or on a read error.  A request that is pending, or that
/// interrupts a wait for input, is carried out first.
bool fillWindow(RecordUnit& unit);

/// One byte of the unit when its read window is empty, or EOF.
int refillByte(RecordUnit& unit);

/// The line end after a carriage return just fetched: a CR LF pair is one
/// line feed; a CR before anything else is a CR, the next byte unread.
int foldCarriageReturn(RecordUnit& unit);

/// One byte of the unit (0..255) or EOF, characters given back first, a
/// CR LF pair read as one line feed.
inline int fetchByte(RecordUnit& unit) {
  if (unit.pushedCount > 0) [[unlikely]]
    return unit.pushed[--unit.pushedCount];
  const int c = unit.readNext < unit.readEnd ? static_cast<unsigned char>(*unit.readNext++)
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
  if (c == EOF && unit.sourceEnded) [[unlikely]]
    unit.atEnd = true;
  return c;
}

/// Gives a character back to a unit, to be read again next; EOF is ignored.
inline void pushBack(RecordUnit& unit, int c) {
  if (c != EOF) unit.pushed[unit.pushedCount++] = c;
}

/// Passes over the bytes of a unit up to and including the next line end;
/// false when the end of the file (or a read error) comes first.
bool skipPastLineEnd(RecordUnit& unit);

/// The position in the file of the next byte the reader gets.
int64_t readPosition(const RecordUnit& unit);

/// Forgets what was read ahead and moves the descriptor back to the
/// reader's position, so that the next transfer starts there.
void settleReadAhead(RecordUnit& unit);

/// Starts a unit's reads over on `size` bytes at `data`, read before what
/// follows in its file (the fuzzers connect a unit to an empty file and
/// give each input so).  The bytes must stay until they are read.
void readFromMemory(RecordUnit& unit, const char* data, size_t size);

/// Reads one record into a character field under the format "(a80)".
/// 0, or with `err`/`end` set the error number of a failure.
int readRecordField(const ReadRequest& request, char* field, int32_t length);

/// Where a record of up to `capacity` bytes may be stored as it is, behind
/// the records a unit holds back (no CR LF to make, no write-through, room
/// enough); null otherwise.  The quick case of emitRecord: a record built
/// there is handed over by commitRecord.
inline char* recordRoom(RecordUnit& unit, size_t capacity) {
  if (platform::kCrLfLineEnds || unit.writeThrough || capacity > unit.bufferSize - unit.writeEnd)
    return nullptr;
  return unit.buffer + unit.writeEnd;
}

/// Hands over the `count` bytes of a record stored at recordRoom.
inline void commitRecord(RecordUnit& unit, size_t count) {
  unit.writeEnd += count;
  serviceRequests();
}

/// Hands a finished record (its characters and the line feed) to a unit in
/// one piece; a named unit remembers the first failed write-out.
void emitRecord(RecordUnit& unit, const char* chars, size_t count);

/// Writes out the records a unit holds back, carrying out a request that
/// interrupts or comes during the write (its exit-time close then writes
/// out the rest: to a pipe or FIFO, only the whole records it takes at
/// once).  False when a write failed; a named unit remembers the first
/// such failure in `writeError`.
bool flushUnit(RecordUnit& unit);

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
