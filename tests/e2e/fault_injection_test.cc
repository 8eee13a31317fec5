// Hostile conditions against the real executable: each run must end with a
// correct table or the right failure report, and never with a crash signal
// other than the SIGABRT of a report.
#include <gtest/gtest.h>
#include <signal.h>

#include "conversion/conversion_run.h"
#include "recordio/fixed_fields.h"
#include "tests/e2e/program_run.h"
#include "tests/support/child.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};
constexpr int kMax = conversion::kMaxSamples;
constexpr size_t kRow = recordio::kRowLength;
const std::string kMaxText = std::to_string(kMax);

std::vector<FileEntry> threeFiles(const std::string& first, const std::string& count = "9") {
  const std::vector<float> eight = {1, 2, 3, 4, 5, 6, 7, 8};
  return {{kNames[0], first},
          {kNames[1], componentFile("b", "9", "0.01", eight)},
          {kNames[2], componentFile("c", count, "0.01", std::vector<float>(kMax - 8, 0.5f))}};
}

// Every record of `text` with a NUL and two bytes above 127 after it.
std::string soiled(const std::string& text) {
  std::string result;
  for (char c : text) result += c == '\n' ? std::string("\0\xff\x80\n", 4) : std::string(1, c);
  return result;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(FaultInjection, EndsWithATableOrTheRightReport) {
  const std::vector<float> eight = {1, 2, 3, 4, 5, 6, 7, 8};
  const std::string good = componentFile("a", "9", "0.01", eight);
  const std::string megabyteTitle = std::string(1 << 20, 'T');
  // Ending inside the eighth value ends that value; inside the seventh,
  // the eighth item meets the end of the file.
  const std::string inEighth = good.substr(0, good.size() - 6);
  const std::string inSeventh = good.substr(0, good.size() - 16);
  struct Case {
    std::string what;
    std::vector<FileEntry> files;
    std::string input;
    std::string report;  // first line; empty for a table of `rows` rows
    size_t rows;
    const char* notOnWindows = nullptr;  // why the case cannot apply there
  } cases[] = {
      {"unreadable component", threeFiles(good), "out.csv\n", "open: " + systemErrorText(EACCES),
       0},
      {"folder as output", threeFiles(good), "dir\n", "open: " + systemErrorText(EISDIR), 0},
      {"missing folder in output", threeFiles(good), "no/out.csv\n",
       "open: " + systemErrorText(ENOENT), 0},
      {"full device", threeFiles(good), "/dev/full\n", "close: " + systemErrorText(ENOSPC), 0},
      {"1 MiB title", threeFiles(componentFile(megabyteTitle, "9", "0.01", eight)), "out.csv\n", "",
       9},
      {"NUL and high bytes", threeFiles(soiled(good)), "out.csv\n", "", 9},
      {"count 0", threeFiles(good, "0"), "out.csv\n", "", 0},
      {"negative count", threeFiles(good, "-2147483648"), "out.csv\n", "", 0},
      {"count " + kMaxText, threeFiles(good, kMaxText), "out.csv\n", "", kMax},
      {"count above", threeFiles(good, std::to_string(kMax + 1)), "out.csv\n",
       "sample count above " + kMaxText + ": subscript out of bounds", 0},
      {"end inside the last value", threeFiles(inEighth), "out.csv\n", "", 9},
      {"end inside a value", threeFiles(inSeventh), "out.csv\n", "list in: end of file", 0},
      {"end inside the count", threeFiles(good.substr(0, good.find("9\n0.01") + 1)), "out.csv\n",
       "read start: end of file", 0},
  };
  cases[0].files[0].mode = 0;
  cases[0].notOnWindows = "permission bits";
  cases[1].files.push_back({"dir", "", 0755, true});
  if (windowsTarget()) cases[1].report = "open: " + systemErrorText(EACCES);  // access denied
  const char* const fullDevice = noFullDevice();
  std::string skipped;
  for (const Case& c : cases) {
    std::string reason;
    if (windowsTarget() && c.notOnWindows)
      reason = std::string("not on Windows: ") + c.notOnWindows;
    if (&c == &cases[3] && fullDevice) reason = fullDevice;
    if (!reason.empty()) {
      skipped += (skipped.empty() ? "" : ", ") + std::string(c.what) + " (" + reason + ")";
      continue;
    }
    ProgramRun run;
    run.files = c.files;
    run.input = c.input;
    run.unprivileged = true;
    ProgramResult r = runProgram(run);
    if (c.report.empty()) {
      EXPECT_EQ(r.exitCode, 0) << c.what << r.err;
      EXPECT_EQ(r.err, "") << c.what;
      const std::string& table = r.files["out.csv"];
      EXPECT_EQ(table.size(), kRow * c.rows) << c.what;
      if (c.rows == 9) {
        EXPECT_EQ(table.substr(0, kRow), "  0.000,     1.000,     1.000,     0.500\n") << c.what;
      }
    } else {
      EXPECT_EQ(firstLine(r.err), c.report) << c.what;
      EXPECT_EQ(r.signal, SIGABRT) << c.what;
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST(FaultInjection, SignalsWhileWaitingForTheOutputName) {
  SKIP_ON_WINDOWS("POSIX signals");
  for (int signal : {SIGINT, SIGTERM}) {
    ProgramRun run;
    run.files = threeFiles(componentFile("a", "9", "0.01", {1, 2, 3, 4, 5, 6, 7, 8}));
    run.signalAtPrompt = signal;
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, signal == SIGINT ? "Interrupt\n" : "Killed\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(kOutputPrompt), std::string::npos);
    EXPECT_EQ(r.files.size(), 3u);
  }
  // Started with interrupts ignored, the program keeps ignoring them.
  ProgramRun run;
  run.files = threeFiles(componentFile("a", "9", "0.01", {1, 2, 3, 4, 5, 6, 7, 8}));
  run.signalAtPrompt = SIGINT;
  run.ignoreInterrupt = true;
  run.input = "out.csv\n";
  ProgramResult r = runProgram(run);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.files["out.csv"].size(), kRow * 9);
}

}  // namespace
