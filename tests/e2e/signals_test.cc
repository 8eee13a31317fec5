// Requests, limits and standard descriptors against the real executable:
// no hang, no damaged file, nothing written into an input.
#include <gtest/gtest.h>
#include <signal.h>

#include <random>

#include "tests/e2e/program_run.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};

std::vector<FileEntry> record(int count) {
  std::vector<FileEntry> files;
  for (int c = 0; c < 3; ++c) {
    files.push_back(
        {kNames[c], componentFile(kNames[c], std::to_string(count), "0.005", wave(count, c))});
  }
  return files;
}

bool isPrefix(const std::string& part, const std::string& whole) {
  return whole.compare(0, part.size(), part) == 0 && part.size() <= whole.size();
}

TEST(StandardDescriptors, ClosedOnesLeaveTheInputsAlone) {
  std::vector<FileEntry> files = record(100);
  files[2].content.resize(files[2].content.size() - 100);  // ends inside the samples
  const std::string report =
      "list in: end of file\napparent state: unit 11 named SCSe-UP.txt\nlast format: list io\n"
      "lately reading sequential formatted external IO\n";
  struct Case {
    int closed;
    std::string err;
  } cases[] = {{1 << 0, report}, {1 << 1, report}, {1 << 2, ""}};
  for (const Case& c : cases) {
    ProgramRun run;
    run.files = files;
    run.input = "out.csv\n";
    run.closedDescriptors = c.closed;
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, c.err) << c.closed;
    EXPECT_EQ(r.signal, SIGABRT) << c.closed;
    for (const FileEntry& f : files) EXPECT_EQ(r.files[f.name], f.content) << c.closed << f.name;
    EXPECT_EQ(r.files.size(), 3u) << c.closed;
  }
}

// Requests at random moments of a conversion of the largest record: every
// run ends within 5 s with whole rows, a prefix of the console text and the
// request's line, or completely when the request came during the end.
TEST(Requests, RandomRequestsLeaveWholeRows) {
#ifdef CDMG_SANITIZED
  const int runs = 60;
#else
  const int runs = 300;
#endif
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  ProgramRun run;
  run.files = record(33000);
  run.input = "out.csv\n";
  // SIGCONT changes nothing: this run tells how long the program goes on
  // after its first console byte, and the requests come within that time
  // and a little past it.
  run.signalAfterOutput = SIGCONT;
  const ProgramResult full = runProgram(run);
  ASSERT_EQ(full.exitCode, 0);
  const std::string& table = full.files.at("out.csv");
  ASSERT_EQ(table.size(), 41u * 33000);
  const int span = static_cast<int>(1.25e6 * full.seconds) + 1;
  int interrupted = 0;
  for (int i = 0; i < runs; ++i) {
    run.signalAfterOutput = random() % 2 ? SIGINT : SIGTERM;
    run.signalDelayMicros = static_cast<int>(random() % span);
    run.timeoutSeconds = 5;
    ProgramResult r = runProgram(run);
    const std::string line = run.signalAfterOutput == SIGINT ? "Interrupt\n" : "Killed\n";
    const std::string written = r.files.count("out.csv") ? r.files["out.csv"] : "";
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << "run " << i << " signal " << r.signal;
    if (r.exitCode == 1) {
      ++interrupted;
      EXPECT_EQ(r.err, line) << "run " << i;
      EXPECT_TRUE(isPrefix(r.out, full.out)) << "run " << i;
      EXPECT_TRUE(isPrefix(written, table) && written.size() % 41 == 0)
          << "run " << i << " size " << written.size();
    } else {
      EXPECT_EQ(r.err, "") << "run " << i;
      EXPECT_EQ(r.out, full.out) << "run " << i;
      EXPECT_TRUE(written == table) << "run " << i;
    }
  }
  EXPECT_GT(interrupted, runs / 4);  // the delays reach into the run, not only past its end
}

TEST(Requests, WaitForTheOutputNameEndsAtOnce) {
  for (int signal : {SIGINT, SIGTERM}) {
    ProgramRun run;
    run.files = record(9);
    run.signalAtPrompt = signal;
    run.holdInput = true;  // the pipe stays open: the program waits in its read
    run.timeoutSeconds = 10;
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, signal == SIGINT ? "Interrupt\n" : "Killed\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_LT(r.seconds, 1.0);
  }
}

TEST(Limits, FileSizeLimitAndBrokenConsolePipe) {
  ProgramRun run;
  run.files = record(2000);
  run.input = "out.csv\n";
  ProgramResult full = runProgram(run);
  ASSERT_EQ(full.files["out.csv"].size(), 41u * 2000);

  run.fileSizeLimit = 10000;
  ProgramResult limited = runProgram(run);
  EXPECT_EQ(limited.err,
            "close: File too large\napparent state: unit 11 named out.csv\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(limited.signal, SIGABRT);
  EXPECT_LE(limited.files["out.csv"].size(), 10000u);
  EXPECT_TRUE(isPrefix(limited.files["out.csv"], full.files["out.csv"]));

  run.fileSizeLimit = 0;
  run.brokenOutputPipe = true;
  ProgramResult broken = runProgram(run);
  EXPECT_EQ(broken.exitCode, 0);
  EXPECT_EQ(broken.err, "");
  EXPECT_EQ(broken.files["out.csv"], full.files["out.csv"]);
}

}  // namespace
