// Runs the built cdmg2csv in a fresh temporary folder and collects all
// that it leaves: standard output, standard error, how it ended and the
// files of the folder.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

struct FileEntry {
  std::string name;
  std::string content;
  mode_t mode = 0644;
  bool directory = false;
};

struct ProgramRun {
  std::string program = CDMG2CSV_PATH;  ///< The executable to run.
  std::vector<std::string> arguments;   ///< After the program's name.
  std::vector<FileEntry> files;
  std::string input;  ///< Standard input, closed after it.
  /// Run as nobody, so permission bits bite.  The child runs a copy of the
  /// program in a folder it can reach, wherever the build lies.
  bool unprivileged = false;
  bool ignoreInterrupt = false;
  int signalAtPrompt = 0;    ///< Sent once the output prompt is shown.
  bool mergeOutput = false;  ///< Standard error goes where standard output goes.
  /// Sent `signalDelayMicros` after the first byte of standard output.
  int signalAfterOutput = 0;
  int signalDelayMicros = 0;
  bool holdInput = false;         ///< Standard input stays open until the end.
  int closedDescriptors = 0;      ///< Bit n: descriptor n is closed at start.
  bool brokenOutputPipe = false;  ///< Standard output is a pipe nobody reads.
  long fileSizeLimit = 0;         ///< RLIMIT_FSIZE in bytes, when not 0.
  double timeoutSeconds = 30;     ///< Killed (SIGKILL) after this long.
};

struct ProgramResult {
  std::string out;
  std::string err;
  int exitCode = -1;  ///< -1 when ended by a signal.
  int signal = 0;
  std::map<std::string, std::string> files;  ///< Folders show as "<dir>".
  double seconds = 0;                        ///< From the start, or from the signal, to the end.
  std::string startError;                    ///< Why the child could not start the program.
};

/// Runs the program as `run` describes and waits for it.  A child that
/// cannot start it fails the calling test, naming the path and the error.
ProgramResult runProgram(const ProgramRun& run);

/// A component file in the CDMG-type layout: the title, 14 header records,
/// the count record, the interval record, 28 header records, the heading
/// and `samples` eight to a record.
std::string componentFile(const std::string& title, const std::string& count,
                          const std::string& interval, const std::vector<float>& samples,
                          const std::string& heading = "Points of accel data equally spaced");

/// `count` samples of a decaying wave, distinct for each `seed`.
std::vector<float> wave(int count, int seed);

/// The console records that every run writes before the first file is read.
extern const char kOpeningRecords[];
/// The empty record and the output prompt.
extern const char kOutputPrompt[];
