// The start of the process and every way it ends.
#pragma once

#include <cstdint>

namespace recordio {

/// The process entry: binds the signals, prepares the units, registers the
/// exit-time close and calls `run`; exits 0 should `run` return.
int runProcess(int argc, char** argv, void (*run)());

/// Keeps the command line for later retrieval (nothing retrieves it).
void recordArguments(int argc, char** argv);

/// Binds SIGFPE, SIGABRT, SIGINT (unless ignored at start) and SIGTERM.
void installSignalHandlers();

/// Writes `line` and a newline to standard error, then either closes all
/// units and aborts, or exits with status 1.
[[noreturn]] void terminateWithMessage(const char* line, bool abortAfter);

/// Disconnects every unit once, ignoring failures.  Registered with atexit.
void closeAllUnitsAtExit();

/// Normal end: writes "STOP text statement executed" when `length` > 0,
/// then exits with status 0.
[[noreturn]] void stopRun(const char* text, int32_t length);

#ifdef CDMG_FUZZING
/// Fuzz builds only: when set, called in place of the abnormal end of a
/// reported failure, so that the fuzzing harness regains control.
extern void (*failureInterceptor)();
#endif

/// Writes standard output out, so console records precede anything on
/// standard error and every prompt is visible before input is awaited.
void flushConsole();

}  // namespace recordio
