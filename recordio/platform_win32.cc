// The platform functions on Windows, with the C library of mingw-w64.
// Files and the standard streams are read and written in binary mode:
// the layer itself reads a carriage return and a line feed as one line
// end, and stores each line feed it writes as both (kCrLfLineEnds), so a
// byte of code 26 is data like any other.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "recordio/platform.h"
#include "recordio/process.h"

namespace recordio::platform {

const bool kCrLfLineEnds = true;

namespace {

struct Binding {
  int signal;
  Ending ending;
};
constexpr Binding kBindings[] = {{SIGFPE, kFloatingException},
                                 {SIGABRT, kIotTrap},
                                 {SIGINT, kInterrupt},
                                 {SIGBREAK, kInterrupt},
                                 {SIGTERM, kKilled}};

Ending endingOf(int signal) {
  const auto b = std::ranges::find(kBindings, signal, &Binding::signal);
  return b != std::end(kBindings) ? b->ending : kFloatingException;
}

// An arithmetic fault and abort come on the thread that caused them: their
// endings are carried out at once.  Ctrl-C and Ctrl-Break come on a thread
// of their own, in the middle of whatever the run does: they only record
// the request.  The binding is spent by the delivery, so it is renewed.
void onSignal(int signal) {
  const Ending ending = endingOf(signal);
  if (ending == kFloatingException || ending == kIotTrap) endWith(ending);
  std::signal(signal, onSignal);
  recordRequest(ending);
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A folder opens for reading; as a unit's file it counts as not openable.
FILE* refuseFolder(FILE* stream) {
  struct _stat64 info;
  if (stream && _fstat64(_fileno(stream), &info) == 0 && (info.st_mode & _S_IFDIR) != 0) {
    fclose(stream);
    errno = EACCES;
    return nullptr;
  }
  return stream;
}

// The mode with "b" added: no translation by the C library.
struct BinaryMode {
  char text[8];
  explicit BinaryMode(const char* mode) { snprintf(text, sizeof text, "%sb", mode); }
};

}  // namespace

void prepareStandardStreams() {
  struct Standard {
    FILE* stream;
    const char* mode;
  } const standards[] = {{stdin, "rb"}, {stdout, "wb"}, {stderr, "w"}};
  for (const Standard& s : standards) {
    if (_fileno(s.stream) < 0 || handleOf(_fileno(s.stream)) == INVALID_HANDLE_VALUE) {
      freopen("NUL", s.mode, s.stream);
    }
  }
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void installSignalHandlers() {
  for (const Binding& b : kBindings) {
    const auto previous = std::signal(b.signal, onSignal);
    if (b.signal == SIGINT && previous == SIG_IGN) std::signal(SIGINT, SIG_IGN);
  }
}

void restoreAbortDefault() { std::signal(SIGABRT, SIG_DFL); }

FILE* openFile(const char* name, const char* mode) {
  return refuseFolder(fopen(name, BinaryMode(mode).text));
}

FILE* reopenFile(const char* name, const char* mode, FILE* stream) {
  return refuseFolder(freopen(name, BinaryMode(mode).text, stream));
}

bool pathExists(const char* name) { return _access(name, 0) == 0; }

int descriptorOf(FILE* stream) { return _fileno(stream); }

bool isTerminal(int fd) { return _isatty(fd) != 0; }

bool mayBlock(int fd) {
  const HANDLE handle = handleOf(fd);
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK;
}

void awaitInput(int fd) {
  // A pipe has no wait that Ctrl-C can end, so its contents are looked at
  // every few milliseconds; a console handle is signalled when input
  // events are there.  A broken or closed pipe ends the wait: its read
  // then gives the end of the input.
  const HANDLE handle = handleOf(fd);
  const DWORD type = GetFileType(handle);
  while (pendingRequest == kNoEnding) {
    if (type == FILE_TYPE_PIPE) {
      DWORD available = 0;
      if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) || available > 0) return;
      Sleep(5);
    } else if (type == FILE_TYPE_CHAR) {
      if (WaitForSingleObject(handle, 20) != WAIT_TIMEOUT) return;
    } else {
      return;
    }
  }
}

long readSome(int fd, void* data, size_t size) {
  const unsigned count = size > 0x40000000 ? 0x40000000 : static_cast<unsigned>(size);
  const int got = _read(fd, data, count);
  if (got <= 0 && _isatty(fd)) {
    // Ctrl-C ends a console read early, and its request is recorded on
    // another thread a moment later: a read that ends so gives it time to
    // arrive, and then counts as interrupted.
    for (int i = 0; i < 20 && pendingRequest == kNoEnding; ++i) Sleep(5);
    if (pendingRequest != kNoEnding) {
      errno = EINTR;
      return -1;
    }
  }
  return got;
}

long writeSome(int fd, const void* data, size_t size) {
  const unsigned count = size > 0x40000000 ? 0x40000000 : static_cast<unsigned>(size);
  return _write(fd, data, count);
}

// A Windows pipe takes no write whole or not at all, and has no write
// that fails where it would wait: its records go out as a file's do, and
// after a request the write-out still waits for a reader that does not
// read (only ending the process ends it).
const size_t kPipeAtomicWrite = 512;

bool isPipe(int) { return false; }

long writeWithoutWaiting(int fd, const void* data, size_t size) {
  return writeSome(fd, data, size);
}

int64_t seekTo(int fd, int64_t offset, int whence) { return _lseeki64(fd, offset, whence); }

bool cutFile(int fd, int64_t length) {
  const errno_t error = _chsize_s(fd, length);
  if (error != 0) errno = error;
  return error == 0;
}

void writeErrorText(const char* text, size_t length) {
  fflush(stderr);
  while (length > 0) {
    const int written = _write(2, text, static_cast<unsigned>(length));
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}

const char* errorText(int number) { return strerror(number); }

bool createFileBeside(const char* target, char* name, size_t capacity) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const int length = snprintf(name, capacity, "%s.%lu-%u.tmp", target,
                                static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    if (length < 0 || static_cast<size_t>(length) >= capacity) {
      errno = ENAMETOOLONG;
      return false;
    }
    const int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) return _close(fd) == 0;
    if (errno != EEXIST) return false;
  }
  return false;
}

const char kFolderSeparators[] = "/\\:";

bool replaceFile(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
}

void removeFile(const char* path) { DeleteFileA(path); }

}  // namespace recordio::platform
