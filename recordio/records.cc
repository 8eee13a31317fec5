#include "recordio/records.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "recordio/platform.h"
#include "recordio/process.h"

namespace recordio {

namespace {

constexpr int kFieldWidth = 80;  // the w of the one edit descriptor "a80"

int recordPosition = 0;

// The character fetch of the record read: a line feed stays unread, so
// every later fetch in the record delivers it again.
int nextFieldChar(RecordUnit& u) {
  if (u.atEnd) return EOF;
  int c = fetchByte(u);
  if (c == '\n') {
    pushBack(u, '\n');
  } else if (c != EOF) {
    ++recordPosition;
  } else if (u.sourceEnded) {
    u.atEnd = true;
  }
  return c;
}

void skipRestOfRecord(RecordUnit& u) {
  if (!u.atEnd && !skipPastLineEnd(u)) u.atEnd = true;
  recordPosition = 0;
}

// Writes `count` bytes at `data` out to the unit's descriptor.  With
// `serviceBetween`, a request that interrupts the write or comes during it
// is carried out between two writes, after the bytes written so far have
// been taken from the buffer; `taken` is advanced as they go out.
bool writeOut(RecordUnit& u, const char* data, size_t count, size_t& taken, bool serviceBetween) {
  const size_t end = taken + count;
  while (taken < end) {
    const long written = platform::writeSome(u.fd, data + taken, end - taken);
    if (written > 0) {
      taken += static_cast<size_t>(written);
    } else if (!(written < 0 && errno == EINTR)) {
      const int error = written < 0 ? errno : EIO;
      if (u.fileName && u.writeError == 0) u.writeError = error;
      taken = end;
      return false;
    }
    if (serviceBetween) serviceRequests();
  }
  return true;
}

// The records held back, out to a pipe or FIFO.  A write of at most
// kPipeAtomicWrite bytes goes in whole or not at all, so they go out in
// such pieces, each ending at a record's end where one lies within it: a
// request that ends the wait for a reader leaves only whole records in
// the pipe.  Once a request is being carried out, nothing waits for the
// reader: the pieces go out as far as the pipe takes them at once, and the
// rest is dropped (a record longer than a piece may be cut there).
bool writeToPipe(RecordUnit& u) {
  bool written = true;
  while (u.writeStart < u.writeEnd) {
    const char* const data = u.buffer + u.writeStart;
    const size_t held = u.writeEnd - u.writeStart;
    size_t piece = held < platform::kPipeAtomicWrite ? held : platform::kPipeAtomicWrite;
    if (piece < held) {
      size_t end = piece;
      while (end > 0 && data[end - 1] != '\n') --end;
      if (end > 0) piece = end;
    }
    const bool wait = !requestUnderWay;
    const long count = wait ? platform::writeSome(u.fd, data, piece)
                            : platform::writeWithoutWaiting(u.fd, data, piece);
    if (count > 0) {
      u.writeStart += static_cast<size_t>(count);
    } else if (!wait && count < 0 && errno == EAGAIN) {
      break;  // full: the rest is dropped
    } else if (!(count < 0 && errno == EINTR)) {
      if (u.fileName && u.writeError == 0) u.writeError = count < 0 ? errno : EIO;
      written = false;
      break;
    }
    serviceRequests();
  }
  u.writeStart = u.writeEnd = 0;
  return written;
}

// Copies a record into `out`, each line feed stored as CR LF.
void storeWithCrLf(char* out, const char* chars, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (chars[i] == '\n') *out++ = '\r';
    *out++ = chars[i];
  }
}

// A record larger than the whole buffer goes straight out, in one piece:
// no request is carried out before its last byte is written.
void emitLongRecord(RecordUnit& u, const char* chars, size_t count) {
  size_t start = 0;
  for (size_t i = 0; i <= count; ++i) {
    if (i == count || (platform::kCrLfLineEnds && chars[i] == '\n')) {
      size_t taken = 0;
      writeOut(u, chars + start, i - start, taken, false);
      if (i < count) {
        taken = 0;
        writeOut(u, "\r", 1, taken, false);
      }
      start = i;
    }
  }
}

}  // namespace

bool fillWindow(RecordUnit& u) {
  serviceRequests();  // also within a long record: at most a buffer's worth of work apart
  if (u.sourceEnded || u.readError != 0) return false;
  for (;;) {
    if (u.mayBlock) {
      platform::awaitInput(u.fd);
      serviceRequests();
    }
    const long got = platform::readSome(u.fd, u.buffer, u.bufferSize);
    if (got > 0) {
      u.readNext = u.buffer;
      u.readEnd = u.buffer + got;
      u.sourcePosition += got;
      return true;
    }
    if (got == 0) {
      u.sourceEnded = true;
      return false;
    }
    if (errno == EINTR) {
      serviceRequests();
      continue;
    }
    u.readError = errno;  // delivered as the end of the input, without `atEnd`
    return false;
  }
}

int refillByte(RecordUnit& u) {
  return fillWindow(u) ? static_cast<unsigned char>(*u.readNext++) : EOF;
}

int foldCarriageReturn(RecordUnit& u) {
  if (u.readNext == u.readEnd && !fillWindow(u)) return '\r';
  if (*u.readNext != '\n') return '\r';
  ++u.readNext;
  return '\n';
}

bool skipPastLineEnd(RecordUnit& u) {
  // Characters given back are already folded; in the stream, a CR before
  // the line feed belongs to the line end and any other byte is passed
  // over, so the first line feed byte ends the record.
  while (u.pushedCount > 0) {
    if (u.pushed[--u.pushedCount] == '\n') return true;
  }
  for (;;) {
    const void* feed = memchr(u.readNext, '\n', static_cast<size_t>(u.readEnd - u.readNext));
    if (feed) {
      u.readNext = static_cast<const char*>(feed) + 1;
      return true;
    }
    u.readNext = u.readEnd;
    if (!fillWindow(u)) return false;
  }
}

int64_t readPosition(const RecordUnit& u) {
  return u.sourcePosition - (u.readEnd - u.readNext) - u.pushedCount;
}

void settleReadAhead(RecordUnit& u) {
  if (u.readNext == u.readEnd && u.pushedCount == 0) return;
  const int64_t position = readPosition(u);
  platform::seekTo(u.fd, position, SEEK_SET);
  u.sourcePosition = position;
  u.readNext = u.readEnd = u.buffer;
  u.pushedCount = 0;
}

void readFromMemory(RecordUnit& u, const char* data, size_t size) {
  u.readNext = data;
  u.readEnd = data + size;
  u.sourcePosition = static_cast<int64_t>(size);
  u.pushedCount = 0;
  u.atEnd = u.sourceEnded = false;
  u.readError = 0;
}

int readRecordField(const ReadRequest& r, char* field, int32_t length) {
  if (const int failed = startEditedStatement(r.unit, r.format, true, r.err)) return failed;
  RecordUnit& u = units[r.unit];
  recordPosition = 0;
  if (u.atEnd) return failOrReturn(r.err || r.end, -1, "read start");
  if (u.stream == stdin) flushConsole();

  const int32_t stored = std::min(length, kFieldWidth);
  for (int32_t skip = kFieldWidth - length; skip > 0; --skip) {
    if (nextFieldChar(u) == EOF) return failOrReturn(r.err || r.end, -1, "fmt");
  }
  for (int32_t i = 0; i < stored; ++i) {
    const int c = nextFieldChar(u);
    if (c == EOF) return failOrReturn(r.err || r.end, -1, "fmt");
    field[i] = c == '\n' ? ' ' : static_cast<char>(c);
  }
  memset(field + stored, ' ', length - stored);

  statementInProgress = false;
  skipRestOfRecord(u);
  statementState.lastFormat = nullptr;
  serviceRequests();
  return 0;
}

namespace {

// Any record that the short way of emitRecord does not take.
[[gnu::noinline]] void emitRecordSlowly(RecordUnit& u, const char* chars, size_t count) {
  const size_t stored =
      platform::kCrLfLineEnds ? count + std::count(chars, chars + count, '\n') : count;
  if (stored > u.bufferSize - u.writeEnd) [[unlikely]] {
    flushUnit(u);  // between two records: a request may end the run here
    if (stored > u.bufferSize) {
      emitLongRecord(u, chars, count);
      serviceRequests();
      return;
    }
  }
  char* const out = u.buffer + u.writeEnd;
  if (platform::kCrLfLineEnds) {
    storeWithCrLf(out, chars, count);
  } else {
    memcpy(out, chars, count);
  }
  u.writeEnd += stored;
  if (u.writeThrough) flushUnit(u);
  serviceRequests();
}

}  // namespace

void emitRecord(RecordUnit& u, const char* chars, size_t count) {
  // Most records are stored as they are, behind those held back.
  if (char* const room = recordRoom(u, count)) [[likely]] {
    memcpy(room, chars, count);
    commitRecord(u, count);
    return;
  }
  emitRecordSlowly(u, chars, count);
}

bool flushUnit(RecordUnit& u) {
  if (u.pipe) return writeToPipe(u);
  const bool written = writeOut(u, u.buffer, u.writeEnd - u.writeStart, u.writeStart, true);
  u.writeStart = u.writeEnd = 0;
  return written;
}

void assignText(char* destination, int32_t destinationLength, const char* source,
                int32_t sourceLength) {
  const int32_t copied = std::min(destinationLength, sourceLength);
  memmove(destination, source, copied);
  memset(destination + copied, ' ', destinationLength - copied);
}

int32_t trimName(const char* field, int32_t length) {
  while (length > 0 && field[length - 1] == ' ') --length;
  return length;
}

}  // namespace recordio
