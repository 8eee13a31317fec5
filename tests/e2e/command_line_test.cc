// The command line: the two words of a Linux tool, the dialogue for no
// argument; and the runner's own word when the program cannot start.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/e2e/program_run.h"

namespace {

std::vector<FileEntry> sampleFiles() {
  const std::vector<float> eight = {1, 2, 3, 4, 5, 6, 7, 8};
  return {{"SCSe-N11E.txt", componentFile("a", "9", "0.01", eight)},
          {"SCSe-N79W.txt", componentFile("b", "9", "0.01", eight)},
          {"SCSe-UP.txt", componentFile("c", "9", "0.01", eight)}};
}

TEST(CommandLine, HelpAndVersionTouchNoFile) {
  for (const char* word : {"--help", "--version"}) {
    ProgramRun run;
    run.files = sampleFiles();
    run.arguments = {word};
    run.input = "out.csv\n";
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.exitCode, 0) << word;
    EXPECT_EQ(r.err, "") << word;
    EXPECT_EQ(r.files.size(), 3u) << word;  // no table, nothing else
    if (std::string(word) == "--version") {
      EXPECT_EQ(r.out, "cdmg2csv " CDMG2CSV_VERSION "\n");
    } else {
      EXPECT_EQ(r.out.rfind("Usage: cdmg2csv\n", 0), 0u) << r.out;
      EXPECT_NE(r.out.find("SCSe-N11E.txt, SCSe-N79W.txt and SCSe-UP.txt"), std::string::npos);
      EXPECT_NE(r.out.find("See cdmg2csv(1).\n"), std::string::npos);
    }
  }
}

TEST(CommandLine, HelpAndVersionReportAFailedWrite) {
  for (const char* word : {"--help", "--version"}) {
    // Standard output closed at start: the write finds no descriptor.
    ProgramRun closed;
    closed.files = sampleFiles();
    closed.arguments = {word};
    closed.closedDescriptors = 1 << 1;
    ProgramResult r = runProgram(closed);
    EXPECT_EQ(r.exitCode, 1) << word;
    EXPECT_EQ(r.err, std::string("cdmg2csv: write error: ") + strerror(EBADF) + "\n") << word;
    EXPECT_EQ(r.out, "") << word;
    EXPECT_EQ(r.files.size(), 3u) << word;

    // Standard output on /dev/full: every write fails with ENOSPC.
    if (noFullDevice()) continue;
    ProgramRun full;
    full.arguments = {word};
    full.outputPath = "/dev/full";
    full.files = sampleFiles();
    r = runProgram(full);
    EXPECT_EQ(r.exitCode, 1) << word;
    EXPECT_EQ(r.err, std::string("cdmg2csv: write error: ") + strerror(ENOSPC) + "\n") << word;
    EXPECT_EQ(r.files.size(), 3u) << word;
  }
  if (const char* reason = noFullDevice()) GTEST_SKIP() << "the cases of a full device: " << reason;
}

// Only a command line without arguments is the dialogue: the words that
// it once ignored are now options and file operands (see todays_files_test).
TEST(CommandLine, OnlyNoArgumentIsTheDialogue) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string err;
  } commandLines[] = {
      {{"--helpx"}, 2, "cdmg2csv: unknown option '--helpx'\n"},
      {{"-h"}, 2, "cdmg2csv: unknown option '-h'\n"},
      {{"SCSe-UP.txt", "out.csv"},
       1,
       "cdmg2csv: SCSe-UP.txt:47: the file ends here, within the acceleration block of channel "
       "1: 8 of 9 values\n"},
      {{""}, 1, "cdmg2csv: : cannot open: null file name\n"},
  };
  for (const auto& c : commandLines) {
    ProgramRun run;
    run.files = sampleFiles();
    run.input = "out.csv\n";
    run.arguments = c.arguments;
    ProgramResult r = runProgram(run);
    const std::string hint = c.status == 2 ? "Try 'cdmg2csv --help' for more information.\n" : "";
    EXPECT_EQ(r.out, "") << c.arguments[0];
    EXPECT_EQ(r.err, c.err + hint) << c.arguments[0];
    EXPECT_EQ(r.exitCode, c.status) << c.arguments[0];
    EXPECT_EQ(r.files.size(), 3u) << c.arguments[0];
  }
}

TEST(ProgramRunner, AChildThatCannotStartFailsTheTestAndSaysWhy) {
  EXPECT_NONFATAL_FAILURE(
      {
        ProgramRun run;
        run.program = "/nonexistent/cdmg2csv";
        run.unprivileged = true;
        runProgram(run);
      },
      "cannot start /nonexistent/cdmg2csv: " + systemErrorText(ENOENT));
}

}  // namespace
