// What the fuzzing harnesses share: the file unit reading the bytes of one
// input straight from memory, and a failure report that returns instead of
// ending the process.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

/// Where a reported failure returns to (setjmp gives 1).
extern jmp_buf failureEscape;

/// Has unit 11 read `data` as a whole file and arms the failure escape.
/// The first call connects the unit, with the status "old", to an empty
/// scratch file, which stays connected: each input is read from memory
/// and then meets the end of that file.  Call before the first statement.
void connectInput(const uint8_t* data, size_t size);

/// Ends the statement in progress, if any, after an input.
void disconnectInput();
