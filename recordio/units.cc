#include "recordio/units.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "recordio/failure_report.h"
#include "recordio/platform.h"
#include "recordio/process.h"
#include "recordio/records.h"

namespace recordio {

UnitTable units;
StatementState statementState;
bool prepared = false;
bool statementInProgress = false;

namespace {

constexpr int kMaxNameLength = 255;
constexpr size_t kFileBufferSize = 128 * 1024;  // a file is read and written in large pieces

// The console units' buffers.  Standard error is written through at once.
char errorBuffer[512], inputBuffer[4096], outputBuffer[kFileBufferSize];

// Empties the read window and the records held back.
void resetTransfer(RecordUnit& u) {
  u.readNext = u.readEnd = u.buffer;
  u.writeStart = u.writeEnd = 0;
  u.sourcePosition = 0;
  u.sourceEnded = false;
  u.readError = 0;
  u.pushedCount = 0;
}

// Takes up a stream's descriptor and what kind of file it is.
void describeStream(RecordUnit& u, FILE* stream) {
  u.stream = stream;
  u.fd = platform::descriptorOf(stream);
  u.canSeek = !platform::isTerminal(u.fd);
  u.mayBlock = platform::mayBlock(u.fd);
  u.writeThrough = !u.canSeek;
  u.pipe = platform::isPipe(u.fd);
}

// Takes up a newly opened stream: its descriptor, what it is, the buffer.
void attachStream(RecordUnit& u, FILE* stream) {
  describeStream(u, stream);
  if (!u.ownsBuffer) {
    u.buffer = static_cast<char*>(malloc(kFileBufferSize));
    if (!u.buffer) reportFailure(113, "malloc failure");
    u.bufferSize = kFileBufferSize;
    u.ownsBuffer = true;
  }
  resetTransfer(u);
}

void releaseName(RecordUnit& u) {
  free(u.fileName);
  u.fileName = nullptr;
}

bool setName(RecordUnit& u, const char* name, size_t length) {
  releaseName(u);
  u.fileName = static_cast<char*>(malloc(length + 1));
  if (!u.fileName) return false;
  memcpy(u.fileName, name, length);
  u.fileName[length] = '\0';
  return true;
}

// The position the next write goes to, after the records held back.
int64_t writePosition(RecordUnit& u) {
  flushUnit(u);
  return platform::seekTo(u.fd, 0, SEEK_CUR);
}

// Cuts a file that was last written at its position, after the records
// held back have gone out.
int cutAtPosition(RecordUnit& u, bool err) {
  if (!u.canSeek || !u.fileName) return 0;
  const int64_t position = platform::seekTo(u.fd, 0, SEEK_CUR);
  const int64_t length = platform::seekTo(u.fd, 0, SEEK_END);
  if (position < 0 || length < 0 || position >= length) return 0;
  if (!platform::cutFile(u.fd, position) || platform::seekTo(u.fd, position, SEEK_SET) < 0) {
    return failOrReturn(err, 111, "endfile");
  }
  return 0;
}

}  // namespace

int failOrReturn(bool returnIt, int number, const char* context, bool systemError) {
  if (!returnIt && systemError) reportSystemFailure(number, context);
  if (!returnIt) reportFailure(number, context);
  statementInProgress = false;
  return number;
}

void prepareRecordIO() {
  if (statementInProgress) reportFailure(131, "I/O recursion");
  prepared = true;
  statementInProgress = false;
  struct {
    int number;
    FILE* stream;
    bool lastWasWrite;
    char* buffer;
    size_t size;
  } const consoles[] = {{0, stderr, true, errorBuffer, sizeof errorBuffer},
                        {5, stdin, false, inputBuffer, sizeof inputBuffer},
                        {6, stdout, true, outputBuffer, sizeof outputBuffer}};
  for (const auto& console : consoles) {
    RecordUnit& u = units[console.number];
    describeStream(u, console.stream);
    u.lastWasWrite = console.lastWasWrite;
    u.writeThrough = u.writeThrough || console.number == 0;
    if (!u.buffer) {
      u.buffer = console.buffer;
      u.bufferSize = console.size;
      resetTransfer(u);
    }
  }
}

int connectUnit(const ConnectRequest& r) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementState.external = true;
  if (!unitInRange(r.unit)) return failOrReturn(r.err, 101, "open");
  RecordUnit& u = units[r.unit];
  statementState.currentUnit = &u;

  if (u.stream) {
    if (!r.file ||
        (u.fileName && r.filelen >= 0 && strlen(u.fileName) == static_cast<size_t>(r.filelen) &&
         memcmp(u.fileName, r.file, r.filelen) == 0)) {
      return 0;
    }
    disconnectUnit({.err = r.err, .unit = r.unit});
  }

  char name[kMaxNameLength + 1];
  int32_t length;
  if (r.file) {
    length = trimName(r.file, r.filelen);
    if (length > kMaxNameLength) {
      if (!setName(u, r.file, length)) return failOrReturn(r.err, 113, "no space");
      return failOrReturn(r.err, ENAMETOOLONG, "open", true);
    }
    memcpy(name, r.file, length);
  } else {
    length = snprintf(name, sizeof name, "unit.%d", r.unit);
  }
  name[length] = '\0';
  if (length == 0) {
    setName(u, name, 0);
    return failOrReturn(r.err, 107, "open");
  }

  u.atEnd = false;
  u.lastWasWrite = false;
  u.stream = nullptr;
  u.permits = 3;
  u.writeError = 0;

  const bool old = r.stat && (r.stat[0] == 'o' || r.stat[0] == 'O');
  if (!setName(u, name, length)) return failOrReturn(r.err, 113, "no space");
  if (old && !platform::pathExists(name)) return failOrReturn(r.err, errno, "open", true);

  FILE* stream = platform::openFile(name, "r+");
  if (!stream) {
    stream = platform::openFile(name, "r");
    u.permits = 1;
  }
  if (!stream && !old) {
    stream = platform::openFile(name, "w");
    u.permits = 2;
    u.lastWasWrite = true;
  }
  if (!stream) return failOrReturn(r.err, errno, "open", true);
  attachStream(u, stream);
  serviceRequests();
  return 0;
}

int disconnectUnit(const DisconnectRequest& r) {
  if (statementInProgress) reportFailure(131, "I/O recursion");
  if (!unitInRange(r.unit)) return 0;
  RecordUnit& u = units[r.unit];
  if (!u.stream) {
    u.atEnd = false;
    releaseName(u);
    return 0;
  }
  // A table that did not reach its file must not end as a success: the
  // first failed write-out or a failed close is reported.  A console
  // unit's records go out too, as the standard streams' would at the end.
  flushUnit(u);
  if (u.writeError != 0) {
    const int error = u.writeError;
    u.writeError = 0;
    if (!r.err) reportSystemFailure(error, "close");
  }
  int result = 0;
  if (u.lastWasWrite) result = cutAtPosition(u, r.err);
  if (u.fileName) {
    const int closed = fclose(u.stream);
    const int error = errno;
    u.stream = nullptr;
    if (closed != 0 && !r.err) reportSystemFailure(error, "close");
    if (r.stat && (r.stat[0] == 'd' || r.stat[0] == 'D')) remove(u.fileName);
    // The buffer stays with the unit for its next file, so that the pages
    // it has touched serve again.
  }
  u.stream = nullptr;
  u.atEnd = false;
  resetTransfer(u);
  releaseName(u);
  serviceRequests();
  return result;
}

// Reopens the unit's file with `mode` and moves to `position`; on failure
// the unit is left without a stream.
bool reopenAt(RecordUnit& u, const char* mode, int64_t position) {
  FILE* stream = u.stream ? platform::reopenFile(u.fileName, mode, u.stream)
                          : platform::openFile(u.fileName, mode);
  u.stream = stream;
  if (!stream) return false;
  attachStream(u, stream);
  u.sourcePosition = platform::seekTo(u.fd, position, SEEK_SET);
  return true;
}

int switchToReading(RecordUnit& u) {
  const int64_t position = writePosition(u);
  if (!(u.permits & 1)) {
    if (u.fileName && reopenAt(u, "r+", position)) {
      u.permits = 3;
    } else if (u.fileName && reopenAt(u, "r", position)) {
      u.permits = 1;
    } else {
      errno = 126;
      return 1;
    }
  } else {
    resetTransfer(u);
    u.sourcePosition = position;
  }
  u.lastWasWrite = false;
  return 0;
}

int switchToWriting(RecordUnit& u) {
  if (!(u.permits & 2)) {
    if (!u.fileName || !reopenAt(u, "r+", readPosition(u))) {
      errno = 127;
      return 1;
    }
    u.permits = 3;
  } else {
    settleReadAhead(u);
  }
  u.lastWasWrite = true;
  return 0;
}

RecordUnit& startListStatement(int32_t unit) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  const bool inRange = unitInRange(unit);
  statementState.currentUnit = inRange ? &units[unit] : nullptr;
  statementState.lastFormat = "list io";
  statementState.lastFormatLength = 7;
  if (!inRange) reportFailure(101, "stler");
  if (!units[unit].stream && connectDefault(unit) != 0) reportFailure(102, "lio");
  return units[unit];
}

int startEditedStatement(int32_t unit, const char* format, bool reading, bool err) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  StatementState& s = statementState;
  s.reading = reading;
  s.sequential = s.formatted = s.external = true;
  if (!unitInRange(unit)) return failOrReturn(err, 101, "startio");
  RecordUnit& u = units[unit];
  if (!u.stream && connectDefault(unit) != 0) return failOrReturn(err, 114, "sfe");
  s.currentUnit = &u;
  s.lastFormat = format;
  s.lastFormatLength = formatLength(format);
  const bool switched = reading ? !u.lastWasWrite || switchToReading(u) == 0
                                : u.lastWasWrite || switchToWriting(u) == 0;
  return switched ? 0 : failOrReturn(err, errno, reading ? "read start" : "write start");
}

int connectDefault(int32_t unit) {
  const bool inProgress = statementInProgress;
  statementInProgress = false;
  const int result = connectUnit({.err = true, .unit = unit});
  statementInProgress = inProgress;
  prepared = true;
  return result;
}

}  // namespace recordio
