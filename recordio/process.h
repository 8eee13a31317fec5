// The start of the process and every way it ends.
#pragma once

#include <csignal>
#include <cstdint>

namespace recordio {

/// The process entry: binds the signals, prepares the units, registers the
/// exit-time close and calls `run`; exits 0 should `run` return.  The
/// command line is not used.
int runProcess(int argc, char** argv, void (*run)());

/// The endings other than the failure report and the normal end, each
/// with its line on standard error.
enum Ending : int {
  kNoEnding,
  kFloatingException,  ///< "Floating Exception", abnormal end
  kIotTrap,            ///< "IOT Trap", abnormal end
  kInterrupt,          ///< "Interrupt", exit status 1
  kKilled,             ///< "Killed", exit status 1
  kHangup,             ///< "Hangup", exit status 1
};

/// The ending of a request that has come from outside (another process,
/// the terminal) and has not been carried out; kNoEnding when none.  Only
/// the signal handlers set it.
extern volatile sig_atomic_t pendingRequest;

/// Set once a request is being carried out: the write-out of the records
/// held then waits for no reader (a pipe or FIFO takes what it can at
/// once), and a further request ends the process at once.
extern volatile sig_atomic_t requestUnderWay;

/// A request came while one was being carried out.  Only the signal
/// handlers set it.
extern volatile sig_atomic_t furtherRequest;

/// Set just before the process aborts itself while its own abort handler
/// may still be bound, so that the handler carries the ending out at once
/// instead of taking the signal for a request.
extern volatile sig_atomic_t raisingHere;

/// What a signal handler does with a request from outside: records it, or
/// notes a further one while a request is being carried out.
inline void recordRequest(Ending ending) {
  if (requestUnderWay) {
    furtherRequest = 1;
  } else if (pendingRequest == kNoEnding) {
    pendingRequest = ending;
  }
}

/// Writes the line of `ending` and ends the process as it says.
[[noreturn]] void endWith(int ending);

/// Carries out a pending request, unless an ending is already under way;
/// then it returns.  A further request while one is being carried out
/// ends the process at once with status 1.
void carryOutRequest();

/// Called where no stream operation is under way: carries out a request
/// that came during the operation just ended.  A flag test, no system call.
inline void serviceRequests() {
  if (pendingRequest != kNoEnding) [[unlikely]]
    carryOutRequest();
}

/// Writes `line` and a newline to standard error, then either closes all
/// units and aborts, or exits with status 1.  Marks an ending under way.
[[noreturn]] void terminateWithMessage(const char* line, bool abortAfter);

/// Disconnects every unit once, ignoring failures, then removes the file
/// of removeAtEnding.  Registered with atexit; every ending comes here.
void closeAllUnitsAtExit();

/// Names a file that any ending from now on removes once the units are
/// closed (a table written beside its target), or none with nullptr.  The
/// name's storage must outlive the setting.
void removeAtEnding(const char* path);

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

/// Writes out the console records held back, so that they precede
/// anything on standard error and every prompt is visible before input is
/// awaited.
void flushConsole();

}  // namespace recordio
