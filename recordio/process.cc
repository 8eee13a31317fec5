#include "recordio/process.h"

#include <unistd.h>

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
    ssize_t written = write(STDERR_FILENO, text, length);
    if (written <= 0) return;
    text += written;
    length -= static_cast<size_t>(written);
  }
}

void onArithmeticFault(int) { terminateWithMessage("Floating Exception", true); }
void onAbort(int) { terminateWithMessage("IOT Trap", true); }
void onInterrupt(int) { terminateWithMessage("Interrupt", false); }
void onTermination(int) { terminateWithMessage("Killed", false); }

}  // namespace

void recordArguments(int argc, char** argv) {
  argumentCount = argc;
  argumentVector = argv;
}

void installSignalHandlers() {
  signal(SIGFPE, onArithmeticFault);
  signal(SIGABRT, onAbort);
  if (signal(SIGINT, onInterrupt) == SIG_IGN) signal(SIGINT, SIG_IGN);
  signal(SIGTERM, onTermination);
}

void flushConsole() { fflush(stdout); }

void terminateWithMessage(const char* line, bool abortAfter) {
  // The signal handlers come here too, so the line goes out with write(2).
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
  signal(SIGABRT, SIG_DFL);
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
  if (length > 0) {
    flushConsole();
    fputs("STOP ", stderr);
    for (int32_t i = 0; i < length; ++i) fputc(text[i], stderr);
    fputs(" statement executed\n", stderr);
  }
  exit(0);
}

int runProcess(int argc, char** argv, void (*run)()) {
  recordArguments(argc, argv);
  installSignalHandlers();
  prepareRecordIO();
  atexit(closeAllUnitsAtExit);
  run();
  exit(0);
}

}  // namespace recordio
