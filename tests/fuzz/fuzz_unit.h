// What the fuzzing harnesses share: a file unit connected to the bytes of
// one input, and a failure report that returns instead of ending the process.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

/// Where a reported failure returns to (setjmp gives 1).
extern jmp_buf failureEscape;

/// Writes `data` to a scratch file, connects unit 11 to it with the status
/// "old" and arms the failure escape.  Call before the first statement.
void connectInput(const uint8_t* data, size_t size);

/// Ends the statement in progress, if any, and disconnects unit 11.
void disconnectInput();
