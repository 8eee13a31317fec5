// Runs a piece of the layer in a forked child, so that failures which end
// the process can be observed from outside: its standard output, standard
// error and how it ended.
#pragma once

#include <functional>
#include <string>

struct ChildResult {
  std::string out;
  std::string err;
  int exitCode = -1;  ///< -1 when the child died by a signal.
  int signal = 0;     ///< The signal that ended the child, or 0.
};

/// Runs `body` in a child with `input` as standard input; a body that
/// returns ends the child with status 0 after flushing its streams.
ChildResult runInChild(const std::function<void()>& body, const std::string& input = "");

/// Prepares the layer in a child, with the console records written out as
/// each is complete, so that they keep their place among the child's
/// printf output (which runInChild leaves unbuffered).
void prepareLayer();

/// `err` without the line that qemu-user writes to standard error when its
/// guest dies of `signal` ("qemu: uncaught target signal 6 (Aborted) - core
/// dumped"): that line is the emulator's, not the program's.
std::string withoutEmulatorLine(const std::string& err, int signal);

/// A fresh empty folder under the system's temporary folder, removed with
/// all under it when the test process exits.
std::string makeTempDir();

/// Removes a folder and all under it, never following a symbolic link out
/// of it (a wine prefix links to the root).
void removeTree(const std::string& path);

/// Writes `content` to `path`, replacing what was there.
void writeFile(const std::string& path, const std::string& content);

/// The whole content of a file; "<missing>" when it cannot be read.
std::string readFile(const std::string& path);

/// Connects unit 11 to the file `name` with the status `stat` ("old" or
/// "unknown"), passing the name as an 80-character field.
void connectFileUnit(const std::string& name, const char* stat);

/// `text` followed by blanks up to `width` characters.
std::string padded(const std::string& text, size_t width = 80);
