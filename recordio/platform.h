// What differs between the systems the program runs on, behind one set of
// functions: the standard descriptors, the requests that come from outside
// (interrupt, termination, hang-up) and the wait for input that they end,
// the raw reads and writes under a unit's buffer, the cut of a file, and
// the texts of system errors.  platform_posix.cc serves every POSIX system,
// platform_win32.cc serves Windows; the build picks one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace recordio::platform {

/// Each line feed written to a file or the console is stored as a carriage
/// return and a line feed (Windows); else as the line feed alone.
extern const bool kCrLfLineEnds;

/// Opens the null device on any standard descriptor that is not open, so
/// that no file the run opens can take the place of a standard stream, and
/// lets the layer see the bytes of standard input and output unchanged.
void prepareStandardStreams();

/// Binds the arithmetic fault and abort signals to their endings and the
/// interrupt, termination and hang-up signals to requests (an interrupt or
/// hang-up ignored at start stays ignored); writes to a console or pipe
/// that went away fail instead of ending the process.
void installSignalHandlers();

/// Gives the abort signal back its default action, so that `abort` ends
/// the process without entering the program's own handler.
void restoreAbortDefault();

/// Opens a file in one of the modes "r+", "r" and "w" so that its bytes
/// are read and written unchanged.  A folder counts as not openable.
/// Null with errno set on failure.
FILE* openFile(const char* name, const char* mode);

/// The same on `stream`, which is closed first; null on failure.
FILE* reopenFile(const char* name, const char* mode, FILE* stream);

/// Whether a path exists; errno set when it does not.
bool pathExists(const char* name);

/// The descriptor under a stream.
int descriptorOf(FILE* stream);

/// Whether the descriptor is a terminal.
bool isTerminal(int fd);

/// Whether a read of the descriptor may have to wait (a terminal, a pipe,
/// a FIFO).  False for a regular file, and for a descriptor that is not
/// open for reading, whose read fails at once.
bool mayBlock(int fd);

/// Waits until `fd` can be read without blocking or a request is pending.
/// Only returns: the caller carries the request out.
void awaitInput(int fd);

/// Reads up to `size` bytes: the count, 0 at the end, -1 with errno (EINTR
/// when a request interrupted the wait).
long readSome(int fd, void* data, size_t size);

/// Writes up to `size` bytes: the count written, or -1 with errno.
long writeSome(int fd, const void* data, size_t size);

/// The most bytes that one write to a pipe or FIFO takes whole or not at
/// all (PIPE_BUF).
extern const size_t kPipeAtomicWrite;

/// Whether the descriptor is a pipe or FIFO whose writes are written whole
/// up to kPipeAtomicWrite bytes, and which `writeWithoutWaiting` serves.
/// Always false on Windows, whose pipes have neither.
bool isPipe(int fd);

/// Writes up to `size` bytes to a pipe or FIFO without waiting for its
/// reader: the count written, or -1 with errno (EAGAIN when it takes
/// nothing now).
long writeWithoutWaiting(int fd, const void* data, size_t size);

/// Moves the descriptor's position (SEEK_SET, SEEK_CUR, SEEK_END); the new
/// position, or -1.
int64_t seekTo(int fd, int64_t offset, int whence);

/// Cuts the file under `fd` to `length` bytes; false with errno on failure.
bool cutFile(int fd, int64_t length);

/// Writes text to standard error whole, also when a request interrupts it.
void writeErrorText(const char* text, size_t length);

/// The C library's text for a system error number.
const char* errorText(int number);

/// Creates a new empty file beside `target` (same folder, a name of its
/// own that no file has yet) for a table that replaces `target` when it
/// is complete; its name goes to `name` (`capacity` bytes).  False with
/// errno on failure.
bool createFileBeside(const char* target, char* name, size_t capacity);

/// The characters that end a folder's name in a path.
extern const char kFolderSeparators[];

/// Gives file `from` the name `to`, replacing a file of that name in one
/// step; false with errno on failure.
bool replaceFile(const char* from, const char* to);

/// Removes file `path`, ignoring failure; safe in a signal handler.
void removeFile(const char* path);

}  // namespace recordio::platform
