// The start of the process and every way it ends.
#pragma once

#include <csignal>
#include <cstdint>

namespace recordio {

/// The process entry: binds the signals, prepares the units, registers the
/// exit-time close and calls `run`; exits 0 should `run` return.
int runProcess(int argc, char** argv, void (*run)());

/// Keeps the command line for later retrieval (nothing retrieves it).
void recordArguments(int argc, char** argv);

/// Opens /dev/null on any of the descriptors 0, 1 and 2 that is not open,
/// so that no file the run opens can take the place of a standard stream.
void openStandardDescriptors();

/// Binds SIGFPE, SIGABRT, SIGINT (unless ignored at start) and SIGTERM
/// without restarting interrupted calls, and ignores SIGPIPE and SIGXFSZ,
/// so that a console that went away or a file-size limit is a failed
/// write like any other.
void installSignalHandlers();

/// The signal of a request that has come from outside (another process or
/// the terminal) and has not been carried out; 0 when none.  Only the
/// handlers set it.
extern volatile sig_atomic_t pendingRequest;

/// Carries out a pending request with its ending ("Interrupt" or "Killed",
/// exit status 1; "Floating Exception" or "IOT Trap", abnormal end),
/// unless an ending is already under way; then it returns.
void carryOutRequest();

/// Called where no stream operation is under way: carries out a request
/// that came during the operation just ended.  A flag test, no system call.
inline void serviceRequests() {
  if (pendingRequest != 0) [[unlikely]]
    carryOutRequest();
}

/// Waits until descriptor `fd` can be read without blocking; a request
/// that comes while it waits is carried out at once.
void awaitInput(int fd);

/// Writes `line` and a newline to standard error, then either closes all
/// units and aborts, or exits with status 1.  Marks an ending under way.
[[noreturn]] void terminateWithMessage(const char* line, bool abortAfter);

/// Disconnects every unit once, ignoring failures.  Registered with atexit.
void closeAllUnitsAtExit();

/// Normal end: writes "STOP text statement executed" when `length` > 0,
/// then exits with status 0.  Marks an ending under way.
[[noreturn]] void stopRun(const char* text, int32_t length);

#ifdef CDMG_FUZZING
/// Fuzz builds only: when set, called in place of the abnormal end of a
/// reported failure, so that the fuzzing harness regains control.
extern void (*failureInterceptor)();
#endif

/// Set once an ending has begun (normal, failure report or request); a
/// request that comes after that is not carried out.
extern bool endingUnderWay;

/// Writes standard output out, so console records precede anything on
/// standard error and every prompt is visible before input is awaited.
void flushConsole();

}  // namespace recordio
