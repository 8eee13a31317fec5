// Numbered units and the files they are connected to: the unit table, the
// connect, the disconnect with its cut, and the switches between reading
// and writing.  All state here is process-wide and used by one statement at
// a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace recordio {

/// One entry of the unit table.  Connected exactly when `stream` is set.
/// The stream serves to open and close the file; the bytes go through the
/// unit's own buffer and the descriptor under the stream.
struct RecordUnit {
  FILE* stream = nullptr;
  char* fileName = nullptr;   ///< Trimmed name the file was opened under; none for the console.
  bool canSeek = false;       ///< The stream is not a terminal.
  int permits = 0;            ///< 1 readable, 2 writable, 3 both; 0 for the console units.
  bool atEnd = false;         ///< The end of the file has been met while reading.
  bool lastWasWrite = false;  ///< The latest transfer (or the set-up) was a write.
  int fd = -1;                ///< The descriptor under `stream`.
  /// The buffer: bytes read ahead while reading, records held back while
  /// writing.  128 KiB for a named file, allocated for the unit's first
  /// file and kept for the next ones; static for the console units (as
  /// large for standard output, which may take a whole table).
  char* buffer = nullptr;
  size_t bufferSize = 0;
  /// Bytes read ahead and not yet delivered.  The window usually lies in
  /// `buffer`, but may lie in memory given by `readFromMemory`.
  const char* readNext = nullptr;
  const char* readEnd = nullptr;
  /// Records held back: buffer[writeStart, writeEnd) is still to go out.
  size_t writeStart = 0;
  size_t writeEnd = 0;
  /// Position in the file of the byte at `readEnd` (of the descriptor).
  int64_t sourcePosition = 0;
  bool sourceEnded = false;  ///< A read of the descriptor gave the end of the file.
  int readError = 0;         ///< errno of a failed read of the descriptor; 0 if none.
  /// Characters given back, newest last.
  int pushed[2] = {0, 0};
  int pushedCount = 0;
  /// First errno of a failed write-out of a named file's records; 0 if none.
  int writeError = 0;
  /// A read may wait (a terminal, a pipe, a FIFO): it waits so that an
  /// interrupt or termination request still ends the run at once.
  bool mayBlock = false;
  /// Every record goes out as soon as it is complete (a terminal).
  bool writeThrough = false;
  /// A pipe or FIFO: the records held go out in pieces that it takes whole.
  bool pipe = false;
  bool ownsBuffer = false;  ///< `buffer` was allocated for a named file.
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

/// A unit number names an entry of the table (tested unsigned, so a
/// negative number is outside too).
inline bool unitInRange(int32_t unit) { return static_cast<uint32_t>(unit) < kUnitCount; }

/// Reports a failure, or, when the caller asked for the number back, ends
/// the statement and returns it.  `systemError`: the number is an errno.
int failOrReturn(bool returnIt, int number, const char* context, bool systemError = false);

/// Connects units 0, 5 and 6 to standard error, input and output.
void prepareRecordIO();

/// Connects a unit to a file; 0, or with `err` set the error number.
int connectUnit(const ConnectRequest& request);

/// Disconnects a unit, cutting a file that was last written at its current
/// position.  Always 0 unless `err` is set and the cut or close failed.
int disconnectUnit(const DisconnectRequest& request);

/// Turns a unit last written into one that is read; 0, or 1 with errno 126.
int switchToReading(RecordUnit& unit);

/// Turns a unit into one that is written; 0, or 1 with errno 127.
int switchToWriting(RecordUnit& unit);

/// The common start of a free-form read or write statement on `unit`:
/// marks it in progress with the format "list io" and checks the unit.
RecordUnit& startListStatement(int32_t unit);

/// The common start of an edited read or write statement on `unit` under
/// `format`: marks it in progress, checks the unit (connecting it to its
/// default file when it has none) and turns it to reading or writing.  0,
/// or with `err` set the number of the failure.
int startEditedStatement(int32_t unit, const char* format, bool reading, bool err);

/// Connects an unconnected unit to its default file "unit.N".
int connectDefault(int32_t unit);

}  // namespace recordio
