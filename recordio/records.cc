#include "recordio/records.h"

#include <cerrno>
#include <cstring>

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
    u.pushed[u.pushedCount++] = '\n';
  } else if (c != EOF) {
    ++recordPosition;
  } else if (feof(u.stream)) {
    u.atEnd = true;
  }
  return c;
}

void skipRestOfRecord(RecordUnit& u) {
  if (!u.atEnd) {
    int c;
    while ((c = fetchByte(u)) != '\n') {
      if (c == EOF) {
        u.atEnd = true;
        break;
      }
    }
  }
  recordPosition = 0;
}

}  // namespace

int refillByte(RecordUnit& u) {
  if (u.mayBlock) awaitInput(fileno(u.stream));
  const int c = getc_unlocked(u.stream);
  if (c == EOF && ferror_unlocked(u.stream)) serviceRequests();  // EINTR is no error then
  return c;
}

int foldCarriageReturn(RecordUnit& u) {
  FILE* const f = u.stream;
  const int following = f->_IO_read_ptr < f->_IO_read_end
                            ? static_cast<unsigned char>(*f->_IO_read_ptr++)
                            : refillByte(u);
  if (following == '\n') return '\n';
  if (following != EOF) u.pushed[u.pushedCount++] = following;
  return '\r';
}

int readRecordField(const ReadRequest& r, char* field, int32_t length) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  statementState.reading = statementState.sequential = true;
  statementState.formatted = statementState.external = true;
  if (!unitInRange(r.unit)) return failOrReturn(r.err, 101, "startio");
  RecordUnit& u = units[r.unit];
  if (!u.stream && connectDefault(r.unit) != 0) return failOrReturn(r.err, 114, "sfe");
  recordPosition = 0;
  statementState.currentUnit = &u;
  statementState.lastFormat = r.format;
  statementState.lastFormatLength = formatLength(r.format);
  if (u.lastWasWrite && switchToReading(u) != 0) return failOrReturn(r.err, errno, "read start");
  if (u.atEnd) return failOrReturn(r.err || r.end, -1, "read start");
  if (u.stream == stdin) flushConsole();

  int32_t stored = length < kFieldWidth ? length : kFieldWidth;
  for (int32_t skip = kFieldWidth - length; skip > 0; --skip) {
    if (nextFieldChar(u) == EOF) return failOrReturn(r.err || r.end, -1, "fmt");
  }
  for (int32_t i = 0; i < stored; ++i) {
    int c = nextFieldChar(u);
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

void emitRecord(RecordUnit& u, const char* chars, size_t count) {
  // Into the stream's buffer when it has room, as putc_unlocked does for a
  // byte; the library leaves no room in a stream that is line-buffered,
  // unbuffered or reading, so those go through fwrite, as does a full one.
  FILE* const f = u.stream;
  if (static_cast<size_t>(f->_IO_write_end - f->_IO_write_ptr) > count) {
    memcpy(f->_IO_write_ptr, chars, count);
    f->_IO_write_ptr += count;
    serviceRequests();
    return;
  }
  const bool written = fwrite_unlocked(chars, 1, count, u.stream) == count;
  const int error = errno;
  serviceRequests();  // a write that a request interrupted ends with the request
  if (!written && u.fileName && u.writeError == 0) u.writeError = error;
}

void assignText(char* destination, int32_t destinationLength, const char* source,
                int32_t sourceLength) {
  if (destinationLength <= sourceLength) {
    memmove(destination, source, destinationLength);
  } else {
    memmove(destination, source, sourceLength);
    memset(destination + sourceLength, ' ', destinationLength - sourceLength);
  }
}

int32_t trimName(const char* field, int32_t length) {
  while (length > 0 && field[length - 1] == ' ') --length;
  return length;
}

}  // namespace recordio
