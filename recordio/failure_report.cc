#include "recordio/failure_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "recordio/platform.h"
#include "recordio/process.h"
#include "recordio/units.h"

namespace recordio {

const char* const kFailureMessages[33] = {
    "error in format",                         // 100
    "illegal unit number",                     // 101
    "formatted io not allowed",                // 102
    "unformatted io not allowed",              // 103
    "direct io not allowed",                   // 104
    "sequential io not allowed",               // 105
    "can't backspace file",                    // 106
    "null file name",                          // 107
    "can't stat file",                         // 108
    "unit not connected",                      // 109
    "off end of record",                       // 110
    "truncation failed in endfile",            // 111
    "incomprehensible list input",             // 112
    "out of free space",                       // 113
    "unit not connected",                      // 114
    "read unexpected character",               // 115
    "bad logical input field",                 // 116
    "bad variable type",                       // 117
    "bad namelist name",                       // 118
    "variable not in namelist",                // 119
    "no end record",                           // 120
    "variable count incorrect",                // 121
    "subscript for scalar variable",           // 122
    "invalid array section",                   // 123
    "substring out of bounds",                 // 124
    "subscript out of bounds",                 // 125
    "can't read file",                         // 126
    "can't write file",                        // 127
    "'new' file exists",                       // 128
    "can't append to file",                    // 129
    "non-positive record number",              // 130
    "I/O started while already doing I/O",     // 131
    "Temporary file name (TMPDIR?) too long",  // 132
};

bool failureReportStarted = false;

namespace {

// System error numbers run past 99 on Linux and overlap the layer's own,
// so a system error is told as such; the range decides for the rest.
void writeFirstLine(int32_t number, const char* context, bool systemError) {
  if (systemError || (number >= 0 && number <= 99)) {
    fprintf(stderr, "%s: %s\n", context, platform::errorText(number));
  } else if (number == -1) {
    fprintf(stderr, "%s: end of file\n", context);
  } else if (number >= 100 && number <= 132) {
    fprintf(stderr, "%s: %s\n", context, kFailureMessages[number - 100]);
  } else {
    fprintf(stderr, "%s: illegal error number %d\n", context, number);
  }
}

void writeStateLines() {
  const StatementState& s = statementState;
  if (s.currentUnit) {
    fprintf(stderr, "apparent state: unit %d ", static_cast<int>(s.currentUnit - units.data()));
    if (s.currentUnit->fileName) {
      fprintf(stderr, "named %s\n", s.currentUnit->fileName);
    } else {
      fputs("(unnamed)\n", stderr);
    }
  } else {
    fputs("apparent state: internal I/O\n", stderr);
  }
  if (s.lastFormat) fprintf(stderr, "last format: %.*s\n", s.lastFormatLength, s.lastFormat);
  fprintf(stderr, "lately %s %s %s %s", s.reading ? "reading" : "writing",
          s.sequential ? "sequential" : "direct", s.formatted ? "formatted" : "unformatted",
          s.external ? "external" : "internal");
}

[[noreturn]] void report(int32_t number, const char* context, bool systemError) {
  endingUnderWay = true;
  flushConsole();
  writeFirstLine(number, context, systemError);
  if (failureReportStarted) {
    fputs("(the failure report was already under way; aborting)", stderr);
    fflush(stderr);
    raisingHere = 1;  // through the abort handler, when it is still bound
    abort();
  }
  failureReportStarted = true;
  if (prepared) writeStateLines();
  statementInProgress = false;
  terminateWithMessage(" IO", true);
}

}  // namespace

void reportFailure(int32_t number, const char* context) { report(number, context, false); }

void reportSystemFailure(int errnum, const char* context) { report(errnum, context, true); }

}  // namespace recordio
