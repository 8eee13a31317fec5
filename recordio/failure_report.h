// The run-time failure report that ends every failed statement.
#pragma once

#include <cstdint>

namespace recordio {

/// Texts of the layer's own error numbers 100 to 132; row n - 100.
extern const char* const kFailureMessages[33];

/// Set once the first report is under way; a second report then aborts at once.
extern bool failureReportStarted;

/// Writes the failure report for error number `number` (-1 end of file,
/// 0 to 99 a system errno, 100 to 132 the layer's own) to standard error,
/// closes all units and ends the process abnormally.
[[noreturn]] void reportFailure(int32_t number, const char* context);

/// The same report for a failure of a system call: its first line is the
/// context and the C library's text for `errnum`, whatever the number.
[[noreturn]] void reportSystemFailure(int errnum, const char* context);

}  // namespace recordio
