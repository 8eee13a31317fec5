// The platform functions on a POSIX system (Linux, macOS, the BSDs): POSIX
// calls only.  The system calls, all named by POSIX: fcntl, open, fstat,
// sigaction, sigprocmask, pselect, read, write, lseek, ftruncate, access,
// isatty; and through the C library fopen, freopen, fileno, fclose,
// strerror.
#include <fcntl.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

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
  const auto b = std::ranges::find(kBindings, signal, &Binding::signal);
  return b != std::end(kBindings) ? b->ending : kFloatingException;
}

// The codes with which the system reports an arithmetic fault of this
// process (POSIX names them; their values are each system's).
constexpr int kFaultCodes[] = {FPE_INTDIV, FPE_INTOVF, FPE_FLTDIV, FPE_FLTOVF,
                               FPE_FLTUND, FPE_FLTRES, FPE_FLTINV, FPE_FLTSUB};

// The codes of a signal that was sent (by a process, the terminal, a timer,
// a message queue), as far as the headers define them.  Sent signals carry
// no fault code on any system (checked here against each build's headers):
// a fault cannot be sent.
constexpr int kSentCodes[] = {
    SI_USER,   SI_QUEUE, SI_TIMER, SI_ASYNCIO, SI_MESGQ,
#ifdef SI_KERNEL
    SI_KERNEL,
#endif
#ifdef SI_TKILL
    SI_TKILL,
#endif
#ifdef SI_SIGIO
    SI_SIGIO,
#endif
#ifdef SI_LWP
    SI_LWP,
#endif
#ifdef SI_NOINFO
    SI_NOINFO,
#endif
};

static_assert(std::ranges::find_first_of(kFaultCodes, kSentCodes) == std::end(kFaultCodes),
              "a code of a sent signal equals an arithmetic fault's");

// The codes of a signal sent by a process, which then names itself in
// si_pid: kill and sigqueue everywhere, and what raise and abort give where
// they send to a thread (Linux's tkill, OpenBSD's thread signal).
constexpr int kProcessSentCodes[] = {
    SI_USER,
    SI_QUEUE,
#ifdef SI_TKILL
    SI_TKILL,
#endif
#ifdef SI_LWP
    SI_LWP,
#endif
};

// Whether this process sent the signal to itself.
bool sentHere(const siginfo_t* info) {
  return std::ranges::find(kProcessSentCodes, info->si_code) != std::end(kProcessSentCodes) &&
         info->si_pid == getpid();
}

// Whether a signal's ending is carried out where it comes, at once: the
// process is aborting itself (raisingHere, set just before the layer's own
// abort; or an abort of the C library, which does not return to the
// run), or the signal reports an arithmetic fault of this process, which
// cannot be returned to.  Anything else (another process, the terminal, a
// raise of another signal) is a request, carried out between stream
// operations.
bool atOnce(int signal, const siginfo_t* info) {
  if (raisingHere) return true;
  if (signal == SIGABRT) return sentHere(info);
  return signal == SIGFPE && std::ranges::find(kFaultCodes, info->si_code) != std::end(kFaultCodes);
}

void onSignal(int signal, siginfo_t* info, void*) {
  if (atOnce(signal, info)) endWith(endingOf(signal));
  recordRequest(endingOf(signal));
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

const size_t kPipeAtomicWrite = PIPE_BUF;

bool isPipe(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
}

long writeWithoutWaiting(int fd, const void* data, size_t size) {
  // The descriptor's flags may be shared with other processes (a pipe
  // inherited as standard output), so they are put back at once.
  const int flags = fcntl(fd, F_GETFL);
  if (flags == -1) return -1;
  if (!(flags & O_NONBLOCK) && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == -1) return -1;
  const ssize_t written = write(fd, data, size);
  const int error = errno;
  if (!(flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags);
  errno = error == EWOULDBLOCK ? EAGAIN : error;
  return written;
}

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
