// Requests, limits and standard descriptors against the real executable:
// no hang, no damaged file, nothing written into an input.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

#include "conversion/conversion_run.h"
#include "recordio/fixed_fields.h"
#include "tests/e2e/program_run.h"
#include "tests/support/child.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};
constexpr int kMax = conversion::kMaxSamples;
constexpr size_t kRow = recordio::kRowLength;

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

void placeFiles(const std::string& dir, const std::vector<FileEntry>& files) {
  for (const FileEntry& f : files) writeFile(dir + "/" + f.name, f.content);
}

// A run whose descriptors and timing the test holds itself: the program
// starts in `dir` with `input` as its standard input, standard output and
// error going to files.
struct LiveRun {
  pid_t pid = -1;
  std::string out, err;
};

LiveRun startIn(const std::string& dir, int input, int ignoredSignal = 0) {
  LiveRun run;
  const std::string capture = makeTempDir();
  run.out = capture + "/out";
  run.err = capture + "/err";
  std::vector<std::string> words;
  std::istringstream launcher(getenv("CDMG2CSV_LAUNCHER") ? getenv("CDMG2CSV_LAUNCHER") : "");
  for (std::string word; launcher >> word;) words.push_back(word);
  words.push_back(getenv("CDMG2CSV_PROGRAM") ? getenv("CDMG2CSV_PROGRAM") : CDMG2CSV_PATH);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  run.pid = fork();
  if (run.pid == 0) {
    dup2(input, 0);
    dup2(open(run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 1);
    dup2(open(run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 2);
    if (ignoredSignal) signal(ignoredSignal, SIG_IGN);
    if (chdir(dir.c_str()) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  return run;
}

// Whether `condition` holds within `seconds`.
bool within(double seconds, const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Waits for the end of the run (killing it after `seconds`): the exit
// status, or -1 - signal.
int endOf(const LiveRun& run, double seconds) {
  int status = 0;
  if (!within(seconds, [&] { return waitpid(run.pid, &status, WNOHANG) == run.pid; })) {
    kill(run.pid, SIGKILL);
    waitpid(run.pid, &status, 0);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1 - WTERMSIG(status);
}

// How far process `pid` has read into the file at `path` (an absolute path
// without links), from Linux's /proc; -1 while it holds no descriptor of it.
long long readPosition(pid_t pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  long long position = -1;
  DIR* dir = opendir(fds.c_str());
  if (!dir) return position;
  while (dirent* entry = readdir(dir)) {
    char target[4096];
    const ssize_t length = readlink((fds + "/" + entry->d_name).c_str(), target, sizeof target - 1);
    if (length <= 0 || std::string(target, length) != path) continue;
    const std::string info = readFile("/proc/" + std::to_string(pid) + "/fdinfo/" + entry->d_name);
    const size_t at = info.find("pos:");
    if (at != std::string::npos) position = std::atoll(info.c_str() + at + 4);
  }
  closedir(dir);
  return position;
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
//
// The delays are counted from the first console byte, the first moment the
// test can see.  How much of the run lies after it depends on the build and
// the machine (a sanitizer's start and end of the process, a busy machine),
// so the span they are drawn from follows the runs: a run that ended before
// its request shortens it, an interrupted one lengthens it, and about three
// runs in four are then interrupted on any machine.  A delay of nothing
// always interrupts, so the span cannot drift below what interrupts.
TEST(Requests, RandomRequestsLeaveWholeRows) {
  SKIP_ON_WINDOWS("POSIX signals");
#ifdef CDMG_SANITIZED
  int runs = 60;
#else
  int runs = 300;
#endif
  // Fewer under an emulator, where each conversion takes longer.
  if (const char* wanted = getenv("CDMG_REQUEST_RUNS")) runs = atoi(wanted);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  ProgramRun run;
  run.files = record(kMax);
  // The output file exists and is longer than the table: an ending must
  // never leave new rows followed by its old tail.
  const std::string old(kRow * kMax + 4100, 'o');
  run.files.push_back({"out.csv", old});
  run.input = "out.csv\n";
  // These runs give the table and console text, and the first span, how
  // long a run goes on after its first console byte (the median of five).
  // They send no signal: even one that changes nothing, such as SIGCONT,
  // cancels the stop with which LeakSanitizer's exit-time check suspends
  // the process, and that check then waits for ever.
  run.timedFromOutput = true;
  std::vector<double> durations;
  ProgramResult full;
  for (int i = 0; i < 5; ++i) {
    full = runProgram(run);
    ASSERT_EQ(full.exitCode, 0);
    durations.push_back(full.seconds);
  }
  std::sort(durations.begin(), durations.end());
  const std::string& table = full.files.at("out.csv");
  ASSERT_EQ(table.size(), kRow * kMax);
  double span = 1e6 * durations[2] + 1;
  int interrupted = 0;
  run.timedFromOutput = false;
  for (int i = 0; i < runs; ++i) {
    const int requests[] = {SIGINT, SIGTERM, SIGHUP};
    run.signalAfterOutput = requests[random() % 3];
    run.signalDelayMicros = static_cast<int>(std::uniform_real_distribution<>(0, span)(random));
    run.timeoutSeconds = 5;
    ProgramResult r = runProgram(run);
    const std::string line = run.signalAfterOutput == SIGINT    ? "Interrupt\n"
                             : run.signalAfterOutput == SIGTERM ? "Killed\n"
                                                                : "Hangup\n";
    const std::string written = r.files.count("out.csv") ? r.files["out.csv"] : "";
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << "run " << i << " signal " << r.signal;
    if (r.exitCode == 1) {
      ++interrupted;
      span *= 1.05;
      EXPECT_EQ(r.err, line) << "run " << i;
      EXPECT_TRUE(isPrefix(r.out, full.out)) << "run " << i;
      // Untouched when the request came before the output file was
      // opened; else whole rows and nothing after them.
      EXPECT_TRUE(written == old || (isPrefix(written, table) && written.size() % kRow == 0))
          << "run " << i << " size " << written.size();
    } else {
      span *= 0.85;
      EXPECT_EQ(r.err, "") << "run " << i;
      EXPECT_EQ(r.out, full.out) << "run " << i;
      EXPECT_TRUE(written == table) << "run " << i;
    }
  }
  // Requests reach into the run, not only past its end.  The span settles
  // where about three in four interrupt; a first span ten times too long
  // costs the fourteen runs it takes to shrink to the right one.
  EXPECT_GT(interrupted, runs / 4) << "last span " << span << " us";
}

TEST(Requests, WaitForTheOutputNameEndsAtOnce) {
  SKIP_ON_WINDOWS("POSIX signals");
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ProgramRun run;
    run.files = record(9);
    run.signalAtPrompt = signal;
    run.holdInput = true;  // the pipe stays open: the program waits in its read
    run.timeoutSeconds = 10;
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, signal == SIGINT    ? "Interrupt\n"
                     : signal == SIGTERM ? "Killed\n"
                                         : "Hangup\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_LT(r.seconds, 1.0);
  }
}

// Started with hang-ups ignored (nohup), the program keeps ignoring them.
TEST(Requests, HangupIgnoredAtStartStaysIgnored) {
  SKIP_ON_WINDOWS("SIGHUP");
  const std::string dir = makeTempDir();
  placeFiles(dir, record(9));
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  LiveRun run = startIn(dir, input[0], SIGHUP);
  close(input[0]);
  EXPECT_TRUE(
      within(10, [&] { return readFile(run.out).find(kOutputPrompt) != std::string::npos; }));
  kill(run.pid, SIGHUP);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(write(input[1], "out.csv\n", 8), 8);
  close(input[1]);
  EXPECT_EQ(endOf(run, 10), 0);
  EXPECT_EQ(readFile(run.err), "");
  EXPECT_EQ(readFile(dir + "/out.csv").size(), kRow * 9);
}

// The table of `rows` rows of record(rows), from a plain run.
std::string tableOf(int rows) {
  ProgramRun plain;
  plain.files = record(rows);
  plain.input = "out.csv\n";
  return runProgram(plain).files["out.csv"];
}

// What a descriptor open on a pipe can be read of it now.
std::string drain(int fd) {
  std::string taken;
  char chunk[65536];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) taken.append(chunk, got);
  return taken;
}

// A request while the table's write-out waits on a FIFO whose reader
// never reads: the request's line, and the end with status 1 within a
// second, whatever the reader does; the FIFO holds what it held before
// and whole rows after that.  With the FIFO full and 500 rows the wait is
// at the run's disconnect; with one byte in it and 4000 rows, in the
// middle of the table.
TEST(Requests, StuckFifoEndsWithinASecondWithWholeRows) {
  SKIP_ON_WINDOWS("POSIX signals and FIFOs");
  struct Case {
    int rows;
    size_t prefill;  // bytes in the FIFO at the start; it takes at most its capacity
  } cases[] = {{500, 1 << 20}, {4000, 1}};
  for (const Case& c : cases) {
    const std::string table = tableOf(c.rows);
    ASSERT_EQ(table.size(), kRow * c.rows);
    const std::string dir = makeTempDir();
    placeFiles(dir, record(c.rows));
    const std::string fifo = dir + "/stall.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const int stuck = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(stuck, 0);
    const std::string prefill(c.prefill, 'p');
    const ssize_t held = write(stuck, prefill.data(), prefill.size());
    ASSERT_GT(held, 0) << c.rows;
    writeFile(dir + "/name", "stall.csv\n");
    const int input = open((dir + "/name").c_str(), O_RDONLY);
    LiveRun run = startIn(dir, input);
    close(input);
    // The program waits in its write once what the FIFO holds stops growing.
    EXPECT_TRUE(
        within(10, [&] { return readFile(run.out).find(kOutputPrompt) != std::string::npos; }));
    int before = -1, now = 0;
    EXPECT_TRUE(within(10, [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      const bool still = ioctl(stuck, FIONREAD, &now) == 0 && now == before;
      before = now;
      return still;
    })) << c.rows;
    kill(run.pid, SIGTERM);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(endOf(run, 1), 1) << c.rows;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0);
    EXPECT_EQ(readFile(run.err), "Killed\n") << c.rows;
    const std::string contents = drain(stuck);
    close(stuck);
    EXPECT_EQ(contents.substr(0, held), prefill.substr(0, held)) << c.rows;
    const std::string rows = contents.substr(std::min(contents.size(), size_t(held)));
    EXPECT_TRUE(isPrefix(rows, table) && rows.size() % kRow == 0)
        << c.rows << ": " << rows.size() << " bytes after the prefill";
    if (c.prefill == 1) {
      EXPECT_GT(rows.size(), 0u);
    }
  }
}

// A reader of a small FIFO that reads slowly, before and after a request
// while the table is written to it: the program still ends within a
// second, and the reader gets a prefix of the table in whole rows.  With
// 500 rows the request comes at the run's disconnect; with a maximum record
// during the run.
TEST(Requests, SlowReaderOfAFifoGetsWholeRows) {
  SKIP_ON_WINDOWS("POSIX signals and FIFOs");
  for (int rows : {500, kMax}) {
    const std::string table = tableOf(rows);
    ASSERT_EQ(table.size(), kRow * rows);
    const std::string dir = makeTempDir();
    placeFiles(dir, record(rows));
    const std::string fifo = dir + "/out.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
#ifdef F_SETPIPE_SZ
    fcntl(reader, F_SETPIPE_SZ, 4096);  // a small pipe fills at once
#endif
    writeFile(dir + "/name", "out.fifo\n");
    const int input = open((dir + "/name").c_str(), O_RDONLY);
    LiveRun run = startIn(dir, input);
    close(input);
    std::string received;
    char chunk[1000];
    // 1000 bytes every 5 ms at most: the program waits for the reader.
    const auto readSlowly = [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const ssize_t got = read(reader, chunk, sizeof chunk);
      if (got > 0) received.append(chunk, got);
      return got;
    };
    EXPECT_TRUE(within(10, [&] { return readSlowly() > 0 && received.size() >= 8000; })) << rows;
    kill(run.pid, SIGTERM);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_TRUE(within(5, [&] { return readSlowly() == 0; })) << rows;  // all writers gone
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 1.0)
        << rows;
    close(reader);
    EXPECT_EQ(endOf(run, 1), 1) << rows;
    EXPECT_EQ(readFile(run.err), "Killed\n") << rows;
    EXPECT_TRUE(isPrefix(received, table) && received.size() % kRow == 0)
        << rows << ": " << received.size() << " bytes";
  }
}

// A request inside one very long record (a title line of 4 GiB, a sparse
// file) is carried out within a buffer's worth of reading, not when the
// record has been passed over.
TEST(Requests, InsideAVeryLongRecordEndsAtOnce) {
  SKIP_ON_WINDOWS("POSIX signals");
  const std::string dir = makeTempDir();
  std::vector<FileEntry> files = record(9);
  placeFiles(dir, files);
  const std::string first = dir + "/" + kNames[0];
  const std::string rest = files[0].content.substr(files[0].content.find('\n'));
  const int fd = open(first.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  constexpr off_t kTitle = off_t{4} << 30;
  ASSERT_EQ(ftruncate(fd, kTitle), 0);
  ASSERT_EQ(pwrite(fd, rest.data(), rest.size(), kTitle), static_cast<ssize_t>(rest.size()));
  close(fd);
  const int input = open("/dev/null", O_RDONLY);
  LiveRun run = startIn(dir, input);
  close(input);
  // The request goes once the program is a MiB into the title, so that it
  // is surely inside the record, whatever the machine's speed; where no
  // /proc tells how far it is, half a second after the start.
  char* resolved = realpath(first.c_str(), nullptr);
  const std::string path = resolved ? resolved : first;
  free(resolved);
  if (access("/proc/self/fdinfo", F_OK) == 0) {
    EXPECT_TRUE(within(30, [&] { return readPosition(run.pid, path) > (1 << 20); }));
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  kill(run.pid, SIGTERM);
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_EQ(endOf(run, 60), 1);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count(), 2.0);
  EXPECT_EQ(readFile(run.err), "Killed\n");
  unlink(first.c_str());
}

// Standard input open for writing only cannot be read: its read ends as
// the end of the console input, at once.
TEST(StandardDescriptors, InputOpenForWritingOnlyIsItsEnd) {
  SKIP_ON_WINDOWS("a pipe's write end as standard input");
  const std::string dir = makeTempDir();
  placeFiles(dir, record(9));
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  LiveRun run = startIn(dir, input[1]);
  EXPECT_EQ(endOf(run, 10), -1 - SIGABRT);
  close(input[0]);
  close(input[1]);
  const std::string err = readFile(run.err);
  EXPECT_EQ(err.substr(0, err.find('\n')), "fmt: end of file");
  EXPECT_NE(readFile(run.out).find(kOutputPrompt), std::string::npos);
}

TEST(Limits, FileSizeLimitAndBrokenConsolePipe) {
  SKIP_ON_WINDOWS("RLIMIT_FSIZE and SIGPIPE");
  ProgramRun run;
  run.files = record(2000);
  run.input = "out.csv\n";
  ProgramResult full = runProgram(run);
  ASSERT_EQ(full.files["out.csv"].size(), kRow * 2000);

  run.fileSizeLimit = 10000;
  ProgramResult limited = runProgram(run);
  EXPECT_EQ(limited.err, "close: " + systemErrorText(EFBIG) +
                             "\napparent state: unit 11 named out.csv\n"
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
