#include "recordio/process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "recordio/platform.h"
#include "recordio/records.h"
#include "recordio/units.h"

namespace recordio {

#ifdef CDMG_FUZZING
void (*failureInterceptor)() = nullptr;
#endif

namespace {

bool exitCloseDone = false;
const char* volatile fileToRemove = nullptr;

struct EndingText {
  const char* line;
  bool abortAfter;
};
constexpr EndingText kEndingTexts[] = {{"", false},        {"Floating Exception", true},
                                       {"IOT Trap", true}, {"Interrupt", false},
                                       {"Killed", false},  {"Hangup", false}};

}  // namespace

volatile sig_atomic_t pendingRequest = kNoEnding;
volatile sig_atomic_t requestUnderWay = 0;
volatile sig_atomic_t furtherRequest = 0;
volatile sig_atomic_t raisingHere = 0;
bool endingUnderWay = false;

void endWith(int ending) {
  const EndingText& e = kEndingTexts[ending > 0 && ending <= kHangup ? ending : 1];
  terminateWithMessage(e.line, e.abortAfter);
}

void carryOutRequest() {
  // The request's line is out; what is still being written out is given up.
  if (furtherRequest) _Exit(1);
  if (endingUnderWay || pendingRequest == kNoEnding) return;
  requestUnderWay = 1;
  endWith(pendingRequest);
}

void flushConsole() { flushUnit(units[6]); }

void terminateWithMessage(const char* line, bool abortAfter) {
  endingUnderWay = true;
  // The handlers of a fault come here too, so the line goes out with a
  // plain write.
  flushConsole();
  platform::writeErrorText(line, strlen(line));
  platform::writeErrorText("\n", 1);
  if (!abortAfter) exit(1);
#ifdef CDMG_FUZZING
  if (failureInterceptor) failureInterceptor();
#endif
  fflush(stderr);
  closeAllUnitsAtExit();
  fflush(stderr);
  platform::restoreAbortDefault();
  abort();
}

void closeAllUnitsAtExit() {
  if (!prepared) return;
  statementInProgress = false;
  if (!exitCloseDone) {
    exitCloseDone = true;
    for (int unit = 0; unit < kUnitCount; ++unit) disconnectUnit({.err = true, .unit = unit});
  }
  if (const char* path = fileToRemove) {
    fileToRemove = nullptr;
    platform::removeFile(path);
  }
}

void removeAtEnding(const char* path) { fileToRemove = path; }

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

int runProcess(int, char**, void (*run)()) {
  platform::prepareStandardStreams();
  platform::installSignalHandlers();
  prepareRecordIO();
  atexit(closeAllUnitsAtExit);
  run();
  serviceRequests();
  exit(0);
}

}  // namespace recordio
