// The platform functions on a POSIX system (Linux, macOS, the BSDs): POSIX
// calls only.
#include <fcntl.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recordio/platform.h"
#include "recordio/process.h"

namespace recordio::platform {

const bool kCrLfLineEnds = false;

namespace {

struct Binding {
  int signal;
  Ending ending;
};
constexpr Binding kBindings[] = {{SIGFPE, kFloatingException},
                                 {SIGABRT, kIotTrap},
                                 {SIGINT, kInterrupt},
                                 {SIGTERM, kKilled},
                                 {SIGHUP, kHangup}};

Ending endingOf(int signal) {
  for (const Binding& b : kBindings) {
    if (b.signal == signal) return b.ending;
  }
  return kFloatingException;
}

// Whether a signal was sent by this process itself (raise, abort) or by
// the kernel for a fault of this process.  Such a signal comes where the
// process stands, never inside a stream operation, and a fault cannot
// even be returned to: its ending is carried out at once.  Anything else
// (another process, the terminal) is a request from outside.
bool raisedHere(const siginfo_t* info) {
  const int code = info->si_code;
#ifdef SI_KERNEL
  if (code == SI_KERNEL) return false;  // Linux: sent by the terminal
#endif
#ifdef SI_TKILL
  if (code == SI_TKILL) return info->si_pid == getpid();  // Linux: raise
#endif
  if (code == SI_USER) return info->si_pid == getpid();
  return code > 0;
}

void onSignal(int signal, siginfo_t* info, void*) {
  if (!raisedHere(info)) {
    if (pendingRequest == kNoEnding) pendingRequest = endingOf(signal);
    return;
  }
  endWith(endingOf(signal));
}

void bind(int signal) {
  struct sigaction action = {};
  action.sa_sigaction = onSignal;
  action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read or write returns
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void setAction(int signal, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

bool ignoredAtStart(int signal) {
  struct sigaction previous;
  return sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN;
}

}  // namespace

void prepareStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free descriptor is this one, as those below are open.
      open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
  }
}

void installSignalHandlers() {
  for (const Binding& b : kBindings) {
    // Started with interrupts or hang-ups ignored (nohup, a background
    // job), the program keeps ignoring them.
    if ((b.signal == SIGINT || b.signal == SIGHUP) && ignoredAtStart(b.signal)) continue;
    bind(b.signal);
  }
  setAction(SIGPIPE, SIG_IGN);
  setAction(SIGXFSZ, SIG_IGN);
}

void restoreAbortDefault() { setAction(SIGABRT, SIG_DFL); }

namespace {

// A folder opens for reading on POSIX systems; as a unit's file it counts
// as not openable.
FILE* refuseFolder(FILE* stream) {
  struct stat info;
  if (stream && fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode)) {
    fclose(stream);
    errno = EISDIR;
    return nullptr;
  }
  return stream;
}

}  // namespace

FILE* openFile(const char* name, const char* mode) { return refuseFolder(fopen(name, mode)); }

FILE* reopenFile(const char* name, const char* mode, FILE* stream) {
  return refuseFolder(freopen(name, mode, stream));
}

bool pathExists(const char* name) { return access(name, F_OK) == 0; }

int descriptorOf(FILE* stream) { return fileno(stream); }

bool isTerminal(int fd) { return isatty(fd) != 0; }

bool mayBlock(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags == -1 || (flags & O_ACCMODE) == O_WRONLY) return false;
  struct stat info;
  return fstat(fd, &info) != 0 || !S_ISREG(info.st_mode);
}

void awaitInput(int fd) {
  if (fd < 0 || fd >= FD_SETSIZE) return;
  // The requests stay blocked from the test of the flag to the wait, and
  // pselect opens them atomically, so none can come in between unseen.
  sigset_t requests, previous;
  sigemptyset(&requests);
  for (const Binding& b : kBindings) sigaddset(&requests, b.signal);
  sigprocmask(SIG_BLOCK, &requests, &previous);
  while (pendingRequest == kNoEnding) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    if (pselect(fd + 1, &readable, nullptr, nullptr, nullptr, &previous) >= 0 || errno != EINTR)
      break;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

long readSome(int fd, void* data, size_t size) { return read(fd, data, size); }

long writeSome(int fd, const void* data, size_t size) { return write(fd, data, size); }

int64_t seekTo(int fd, int64_t offset, int whence) {
  return lseek(fd, static_cast<off_t>(offset), whence);
}

bool cutFile(int fd, int64_t length) { return ftruncate(fd, static_cast<off_t>(length)) == 0; }

void writeErrorText(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t written = write(STDERR_FILENO, text, length);
    if (written < 0 && errno == EINTR) continue;  // a later request: the line still goes out
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}

const char* errorText(int number) { return strerror(number); }

bool createFileBeside(const char* target, char* name, size_t capacity) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const int length =
        snprintf(name, capacity, "%s.%ld-%u.tmp", target, static_cast<long>(getpid()), attempt);
    if (length < 0 || static_cast<size_t>(length) >= capacity) {
      errno = ENAMETOOLONG;
      return false;
    }
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) return close(fd) == 0;
    if (errno != EEXIST) return false;
  }
  return false;
}

const char kFolderSeparators[] = "/";

bool replaceFile(const char* from, const char* to) { return rename(from, to) == 0; }

void removeFile(const char* path) { unlink(path); }

}  // namespace recordio::platform
