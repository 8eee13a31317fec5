#include "recordio/process.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "recordio/units.h"

namespace recordio {

#ifdef CDMG_FUZZING
void (*failureInterceptor)() = nullptr;
#endif

namespace {

int argumentCount = 0;
char** argumentVector = nullptr;
bool exitCloseDone = false;

void writeAll(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t written = write(STDERR_FILENO, text, length);
    if (written < 0 && errno == EINTR) continue;  // a later request: the line still goes out
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}

// The line and the kind of ending of each bound signal.
struct Ending {
  int signal;
  const char* line;
  bool abortAfter;
};
constexpr Ending kEndings[] = {{SIGFPE, "Floating Exception", true},
                               {SIGABRT, "IOT Trap", true},
                               {SIGINT, "Interrupt", false},
                               {SIGTERM, "Killed", false}};

const Ending& endingOf(int signal) {
  for (const Ending& e : kEndings) {
    if (e.signal == signal) return e;
  }
  return kEndings[0];
}

// A signal that comes from outside (another process, the terminal) can
// come in the middle of any operation, so it only records the request: the
// run carries it out between stream operations.  One the process raises
// itself (raise, abort) or a fault comes where the process stands, which
// is never inside a stream operation; the fault cannot even be returned
// to.  Its ending is carried out here.
void onSignal(int signal, siginfo_t* info, void*) {
  const int code = info->si_code;
  const bool raisedHere = (code == SI_TKILL && info->si_pid == getpid()) || code > 0;
  if (code == SI_KERNEL || !raisedHere) {
    if (pendingRequest == 0) pendingRequest = signal;
    return;
  }
  const Ending& e = endingOf(signal);
  terminateWithMessage(e.line, e.abortAfter);
}

void bind(int signal) {
  struct sigaction action = {};
  action.sa_sigaction = onSignal;
  action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read or write returns
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void ignore(int signal) {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

volatile sig_atomic_t pendingRequest = 0;
bool endingUnderWay = false;

void openStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free descriptor is this one, as those below are open.
      open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
  }
}

void recordArguments(int argc, char** argv) {
  argumentCount = argc;
  argumentVector = argv;
}

void installSignalHandlers() {
  bind(SIGFPE);
  bind(SIGABRT);
  struct sigaction previous;
  if (sigaction(SIGINT, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) bind(SIGINT);
  bind(SIGTERM);
  ignore(SIGPIPE);
  ignore(SIGXFSZ);
}

void carryOutRequest() {
  if (endingUnderWay || pendingRequest == 0) return;
  const Ending& e = endingOf(pendingRequest);
  terminateWithMessage(e.line, e.abortAfter);
}

void awaitInput(int fd) {
  // The requests stay blocked from the test of the flag to the wait, and
  // ppoll opens them atomically, so none can come in between unseen.
  sigset_t requests, previous;
  sigemptyset(&requests);
  for (const Ending& e : kEndings) sigaddset(&requests, e.signal);
  sigprocmask(SIG_BLOCK, &requests, &previous);
  pollfd descriptor = {fd, POLLIN, 0};
  while (!endingUnderWay && pendingRequest == 0) {
    if (ppoll(&descriptor, 1, nullptr, &previous) >= 0 || errno != EINTR) break;
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  serviceRequests();
}

void flushConsole() { fflush(stdout); }

void terminateWithMessage(const char* line, bool abortAfter) {
  endingUnderWay = true;
  // The handlers of a fault come here too, so the line goes out with write(2).
  flushConsole();
  writeAll(line, strlen(line));
  writeAll("\n", 1);
  if (!abortAfter) exit(1);
#ifdef CDMG_FUZZING
  if (failureInterceptor) failureInterceptor();
#endif
  fflush(stderr);
  closeAllUnitsAtExit();
  fflush(stderr);
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(SIGABRT, &action, nullptr);
  abort();
}

void closeAllUnitsAtExit() {
  if (!prepared) return;
  statementInProgress = false;
  if (exitCloseDone) return;
  exitCloseDone = true;
  for (int unit = 0; unit < kUnitCount; ++unit) {
    DisconnectRequest request;
    request.err = true;
    request.unit = unit;
    disconnectUnit(request);
  }
}

void stopRun(const char* text, int32_t length) {
  endingUnderWay = true;
  if (length > 0) {
    flushConsole();
    fputs("STOP ", stderr);
    for (int32_t i = 0; i < length; ++i) fputc(text[i], stderr);
    fputs(" statement executed\n", stderr);
  }
  exit(0);
}

int runProcess(int argc, char** argv, void (*run)()) {
  openStandardDescriptors();
  recordArguments(argc, argv);
  installSignalHandlers();
  prepareRecordIO();
  atexit(closeAllUnitsAtExit);
  run();
  exit(0);
}

}  // namespace recordio
