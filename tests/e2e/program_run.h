// Runs the built cdmg2csv in a fresh temporary folder and collects all
// that it leaves: standard output, standard error, how it ended and the
// files of the folder.
//
// The environment can point the runs at a program built for another
// target:
//   CDMG2CSV_PROGRAM   the program to run instead of the built one;
//   CDMG2CSV_LAUNCHER  a command that runs it, words split on blanks, such
//                      as "qemu-s390x" or "/usr/lib/wine/wine64": the
//                      program's path and its arguments follow them;
//   CDMG2CSV_TARGET    "windows" for a Windows program; unset for POSIX.
// For a Windows program wine runs with WINEDEBUG=-all and the WINEPREFIX
// of the environment, or one made for the test process.
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

/// CDMG2CSV_PROGRAM, or else the program of this build.
std::string programUnderTest();

/// Whether the program under test is a Windows program.
bool windowsTarget();

/// Skips the rest of a test that cannot apply to a Windows program, saying why.
#define SKIP_ON_WINDOWS(reason)                                          \
  do {                                                                   \
    if (windowsTarget()) GTEST_SKIP() << "not on Windows: " << (reason); \
  } while (0)

/// The C library's text for a system error number: the program's own, as
/// the tests run where it runs (a Windows program's texts for the numbers
/// used are the same).
std::string systemErrorText(int number);

/// Why /dev/full (a device on which every write fails with ENOSPC) cannot
/// serve here; null when it can.
const char* noFullDevice();

/// What a Windows program's C library adds to standard error when it ends
/// abnormally (with status 3).  Under wine 8 it adds nothing.
extern const char kWindowsAbortNotice[];

struct ProgramRun {
  std::string program = programUnderTest();  ///< The executable to run.
  std::vector<std::string> arguments;        ///< After the program's name.
  std::vector<FileEntry> files;
  std::string input;  ///< Standard input, closed after it.
  /// Run as nobody, so permission bits bite.  The child runs a copy of the
  /// program in a folder it can reach, wherever the build lies.  A Windows
  /// program runs as the caller: wine keeps to its prefix's owner.
  bool unprivileged = false;
  bool ignoreInterrupt = false;
  int signalAtPrompt = 0;    ///< Sent once the output prompt is shown.
  bool mergeOutput = false;  ///< Standard error goes where standard output goes.
  /// Sent `signalDelayMicros` after the first byte of standard output.
  int signalAfterOutput = 0;
  int signalDelayMicros = 0;
  /// The run's `seconds` count from the first byte of standard output,
  /// with no signal sent.
  bool timedFromOutput = false;
  /// Sent once a file whose name ends in `signalFileSuffix` appears in the folder.
  int signalOnFile = 0;
  std::string signalFileSuffix;
  bool holdInput = false;         ///< Standard input stays open until the end.
  int closedDescriptors = 0;      ///< Bit n: descriptor n is closed at start.
  bool brokenOutputPipe = false;  ///< Standard output is a pipe nobody reads.
  std::string outputPath;         ///< Standard output opened on this path instead.
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
/// A Windows program's result is given as a Linux program's would be: CR LF
/// line ends, which standard output, standard error and every file it
/// created or changed must have, become LF, and an abnormal end, status 3
/// with the C library's notice, becomes SIGABRT without the notice.
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
