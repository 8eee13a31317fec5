#include "recordio/units.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "recordio/failure_report.h"
#include "recordio/process.h"
#include "recordio/records.h"

namespace recordio {

UnitTable units;
StatementState statementState;
bool prepared = false;
bool statementInProgress = false;

namespace {

constexpr int kMaxNameLength = 255;
constexpr size_t kFileBufferSize = 32 * 1024;  // a file is read and written in large pieces

bool isTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

// Whether a read of the stream may wait for input: anything but a file.
bool mayBlock(FILE* stream) {
  struct stat info;
  return fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode);
}

// A folder opens for reading here; it counts as not openable in any mode.
FILE* rejectFolder(FILE* stream) {
  struct stat info;
  if (stream && fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode)) {
    fclose(stream);
    errno = EISDIR;
    return nullptr;
  }
  return stream;
}

FILE* openFile(const char* name, const char* mode) { return rejectFolder(fopen(name, mode)); }

// On failure the old stream is gone.
FILE* reopenFile(const char* name, const char* mode, FILE* stream) {
  return rejectFolder(freopen(name, mode, stream));
}

// Gives a newly opened stream the unit's file buffer; without memory for
// one the stream keeps the library's own.
void bufferStream(RecordUnit& u) {
  if (!u.buffer) u.buffer = static_cast<char*>(malloc(kFileBufferSize));
  if (u.buffer) setvbuf(u.stream, u.buffer, _IOFBF, kFileBufferSize);
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

// Position of the unit as the reader sees it, characters given back included.
long logicalPosition(RecordUnit& u) { return ftell(u.stream) - u.pushedCount; }

// Cuts a file that was last written at the stream's position.
int cutAtPosition(RecordUnit& u, bool err) {
  if (!u.canSeek || !u.fileName) return 0;
  long position = ftell(u.stream);
  if (position < 0 || fseek(u.stream, 0, SEEK_END) != 0) return 0;
  long length = ftell(u.stream);
  if (position >= length) return 0;
  if (fflush(u.stream) != 0 || ftruncate(fileno(u.stream), position) != 0 ||
      fseek(u.stream, position, SEEK_SET) != 0) {
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
  } const consoles[] = {{0, stderr, true}, {5, stdin, false}, {6, stdout, true}};
  for (const auto& console : consoles) {
    RecordUnit& u = units[console.number];
    u.stream = console.stream;
    u.canSeek = !isTerminal(console.stream);
    u.lastWasWrite = console.lastWasWrite;
    u.mayBlock = mayBlock(console.stream);
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
    DisconnectRequest close;
    close.err = r.err;
    close.unit = r.unit;
    disconnectUnit(close);
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
  u.pushedCount = 0;
  u.writeError = 0;

  const bool old = r.stat && (r.stat[0] == 'o' || r.stat[0] == 'O');
  if (!setName(u, name, length)) return failOrReturn(r.err, 113, "no space");
  if (old && access(name, F_OK) != 0) return failOrReturn(r.err, errno, "open", true);

  FILE* stream = openFile(name, "r+");
  if (!stream) {
    stream = openFile(name, "r");
    u.permits = 1;
  }
  if (!stream && !old) {
    stream = openFile(name, "w");
    u.permits = 2;
    u.lastWasWrite = true;
  }
  if (!stream) return failOrReturn(r.err, errno, "open", true);
  u.stream = stream;
  u.canSeek = !isTerminal(stream);
  u.mayBlock = mayBlock(stream);
  bufferStream(u);
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
  // first failed hand-over, a failed flush or a failed close is reported.
  if (u.fileName && u.lastWasWrite && fflush(u.stream) != 0 && u.writeError == 0) {
    u.writeError = errno;
  }
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
    free(u.buffer);
    u.buffer = nullptr;
  }
  u.stream = nullptr;
  u.atEnd = false;
  u.pushedCount = 0;
  releaseName(u);
  serviceRequests();
  return result;
}

// Reopens the unit's file with `mode` and returns to `position`; on
// failure the unit is left without a stream.
bool reopenAt(RecordUnit& u, const char* mode, long position) {
  u.pushedCount = 0;
  u.stream = u.stream ? reopenFile(u.fileName, mode, u.stream) : openFile(u.fileName, mode);
  if (!u.stream) return false;
  bufferStream(u);
  fseek(u.stream, position, SEEK_SET);
  return true;
}

int switchToReading(RecordUnit& u) {
  if (!(u.permits & 1)) {
    if (!u.fileName) {
      errno = 126;
      return 1;
    }
    const long position = logicalPosition(u);
    if (reopenAt(u, "r+", position)) {
      u.permits = 3;
    } else if (reopenAt(u, "r", position)) {
      u.permits = 1;
    } else {
      errno = 126;
      return 1;
    }
  }
  u.lastWasWrite = false;
  return 0;
}

int switchToWriting(RecordUnit& u) {
  if (!(u.permits & 2)) {
    if (!u.fileName || !reopenAt(u, "r+", logicalPosition(u))) {
      errno = 127;
      return 1;
    }
    u.permits = 3;
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

int connectDefault(int32_t unit) {
  const bool inProgress = statementInProgress;
  statementInProgress = false;
  ConnectRequest request;
  request.err = true;
  request.unit = unit;
  int result = connectUnit(request);
  statementInProgress = inProgress;
  prepared = true;
  return result;
}

}  // namespace recordio
