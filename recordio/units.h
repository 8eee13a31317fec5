// Numbered units, the files they are connected to, and the records read
// from them.  All state here is process-wide and used by one statement at a
// time.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace recordio {

/// One entry of the unit table.  Connected exactly when `stream` is set.
struct RecordUnit {
  FILE* stream = nullptr;
  char* fileName = nullptr;   ///< Trimmed name the file was opened under; none for the console.
  bool canSeek = false;       ///< The stream is not a terminal.
  int permits = 0;            ///< 1 readable, 2 writable, 3 both; 0 for the console units.
  bool atEnd = false;         ///< The end of the file has been met while reading.
  bool lastWasWrite = false;  ///< The latest transfer (or the set-up) was a write.
  /// Characters given back, newest last.  Folding a CR LF may hold one
  /// character while the reader gives back another, so two are needed.
  int pushed[2] = {0, 0};
  int pushedCount = 0;
  /// First errno of a failed hand-over of a record to a named file; 0 if none.
  int writeError = 0;
};

constexpr int kUnitCount = 100;
using UnitTable = std::array<RecordUnit, kUnitCount>;
extern UnitTable units;

/// What every statement and connect records for the failure report.
struct StatementState {
  RecordUnit* currentUnit = nullptr;
  const char* lastFormat = nullptr;  ///< None when no format is in force.
  int32_t lastFormatLength = 0;
  bool reading = false;
  bool sequential = false;
  bool formatted = false;
  bool external = false;
};
extern StatementState statementState;

extern bool prepared;             ///< prepareRecordIO has run.
extern bool statementInProgress;  ///< A statement has started and not ended.

/// A connect request.  `file` may be null only for a default connection.
struct ConnectRequest {
  bool err = false;  ///< Return the error number instead of reporting it.
  int32_t unit = 0;
  const char* file = nullptr;
  int32_t filelen = 0;
  const char* stat = nullptr;  ///< "old", "unknown" or null.
};

struct DisconnectRequest {
  bool err = false;
  int32_t unit = 0;
  const char* stat = nullptr;  ///< Null keeps the file; "delete" removes it.
};

struct ReadRequest {
  bool err = false;  ///< Return any error number instead of reporting it.
  int32_t unit = 0;
  bool end = false;  ///< Return the end of file (-1) instead of reporting it.
  const char* format = "(a80)";
};

/// Connects units 0, 5 and 6 to standard error, input and output.
void prepareRecordIO();

/// Connects a unit to a file; 0, or with `err` set the error number.
int connectUnit(const ConnectRequest& request);

/// Disconnects a unit, cutting a file that was last written at its current
/// position.  Always 0 unless `err` is set and the cut or close failed.
int disconnectUnit(const DisconnectRequest& request);

/// Reads one record into a character field under the format "(a80)".
/// 0, or with `err`/`end` set the error number of a failure.
int readRecordField(const ReadRequest& request, char* field, int32_t length);

/// Copies a text into a blank-filled field (overlap allowed).
void assignText(char* destination, int32_t destinationLength, const char* source,
                int32_t sourceLength);

/// Length of a name field without its trailing blanks.
int32_t trimName(const char* field, int32_t length);

/// Turns a unit last written into one that is read; 0, or 1 with errno 126.
int switchToReading(RecordUnit& unit);

/// Turns a unit into one that is written; 0, or 1 with errno 127.
int switchToWriting(RecordUnit& unit);

/// The common start of a free-form read or write statement on `unit`:
/// marks it in progress with the format "list io" and checks the unit.
RecordUnit& startListStatement(int32_t unit);

/// Connects an unconnected unit to its default file "unit.N".
int connectDefault(int32_t unit);

/// Next byte of the current unit (0..255) or EOF; sets `atEnd` at the end.
int nextChar();

/// Gives a character back to the current unit; EOF is ignored.
void pushBack(int c);

/// Hands a finished record (its characters and the line feed) to a stream.
void emitRecord(RecordUnit& unit, const char* chars, size_t count);

/// Number of characters of a format text up to its closing parenthesis.
int32_t formatLength(const char* format);

}  // namespace recordio
