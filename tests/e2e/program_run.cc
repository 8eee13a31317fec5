#include "tests/e2e/program_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/child.h"

const char kOpeningRecords[] =
    " Program for Reading CDMG-TYpe Strong Motion Data\n"
    "\n"
    " Enter 1st File Name of 3 Components\n"
    " Enter 2nd File Name of 3 Components\n"
    " Enter 3rd File Name of 3 Components\n";
const char kOutputPrompt[] = "\n Enter Output Acceleration File Name (CSV format)\n";
const char kWindowsAbortNotice[] = "";

namespace {

std::vector<std::string> launcherWords() {
  std::vector<std::string> words;
  std::istringstream in(getenv("CDMG2CSV_LAUNCHER") ? getenv("CDMG2CSV_LAUNCHER") : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Wine's settings, once per test process: no debug chatter, and a prefix
// set up before the first run, whose standard error would otherwise tell
// of it.
void prepareWine() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  setenv("WINEDEBUG", "-all", 1);
  if (getenv("WINEPREFIX")) return;
  static const std::string prefix = makeTempDir();
  setenv("WINEPREFIX", prefix.c_str(), 1);
  const char* wine = getenv("CDMG2CSV_LAUNCHER");
  const std::string boot =
      std::string(wine && *wine ? wine : "wine") + " wineboot --init >/dev/null 2>&1";
  if (system(boot.c_str()) != 0) ADD_FAILURE() << "cannot set up the wine prefix " << prefix;
  atexit([] {
    (void)!system("wineserver -k 2>/dev/null");
    removeTree(prefix);
  });
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// CR LF line ends become LF; a bare LF fails the test, naming `what`.
void crlfToLf(std::string& text, const std::string& what) {
  std::string lf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      ADD_FAILURE() << what << " has a line feed without a carriage return at byte " << i;
      return;
    }
    lf += text[i];
  }
  text = lf;
}

// A Windows program's result as a Linux program's would be.
void asOnLinux(const ProgramRun& run, ProgramResult& r) {
  if (r.exitCode == 3) {
    std::string& err = run.mergeOutput ? r.out : r.err;
    if (endsWith(err, kWindowsAbortNotice)) {
      err.resize(err.size() - strlen(kWindowsAbortNotice));
      r.exitCode = -1;
      r.signal = SIGABRT;
    } else {
      ADD_FAILURE() << "exit status 3 without the notice of an abnormal end: " << err;
    }
  }
  crlfToLf(r.out, "standard output");
  crlfToLf(r.err, "standard error");
  for (auto& [name, content] : r.files) {
    if (content == "<dir>") continue;
    bool unchanged = false;
    for (const FileEntry& given : run.files)
      unchanged |= given.name == name && given.content == content;
    if (!unchanged) crlfToLf(content, "file " + name);
  }
}

}  // namespace

std::string programUnderTest() {
  const char* program = getenv("CDMG2CSV_PROGRAM");
  if (!program || !*program) return CDMG2CSV_PATH;
  char* absolute = realpath(program, nullptr);
  const std::string path = absolute ? absolute : program;
  free(absolute);
  return path;
}

std::string systemErrorText(int number) { return strerror(number); }

const char* noFullDevice() {
  if (windowsTarget()) return "not on Windows: /dev/full";
  return access("/dev/full", W_OK) == 0 ? nullptr : "this system has no /dev/full";
}

bool windowsTarget() {
  const char* target = getenv("CDMG2CSV_TARGET");
  return target && strcmp(target, "windows") == 0;
}

std::string componentFile(const std::string& title, const std::string& count,
                          const std::string& interval, const std::vector<float>& samples,
                          const std::string& heading) {
  std::string text = title + "\n";
  for (int i = 2; i <= 15; ++i) text += "header record " + std::to_string(i) + "\n";
  text += count + "\n" + interval + "\n";
  for (int i = 18; i <= 45; ++i) text += "header record " + std::to_string(i) + "\n";
  text += heading + "\n";
  char value[32];
  for (size_t i = 0; i < samples.size(); ++i) {
    snprintf(value, sizeof value, "%10.6f", samples[i]);
    text += value;
    if (i % 8 == 7 || i + 1 == samples.size()) text += "\n";
  }
  return text;
}

std::vector<float> wave(int count, int seed) {
  std::vector<float> values(count);
  for (int i = 0; i < count; ++i) {
    values[i] = static_cast<float>(
        std::round(1e6 * (seed + 1) * std::exp(-i / 700.0) * std::sin(i * (0.05 + 0.01 * seed))) /
        1e6);
  }
  return values;
}

// The child's last words when it cannot go on, through a pipe that its
// exec closes.
[[noreturn]] void giveUp(int report, const std::string& what) {
  const std::string message = what + ": " + strerror(errno);
  (void)!write(report, message.data(), message.size());
  _exit(127);
}

ProgramResult runProgram(const ProgramRun& run) {
  const std::string work = makeTempDir(), capture = makeTempDir();
  chmod(work.c_str(), 0777);
  std::string program = run.program;
  const bool windows = windowsTarget(), unprivileged = run.unprivileged && !windows;
  if (windows) prepareWine();
  if (unprivileged) {
    // The build may lie under a folder that nobody cannot enter.
    chmod(capture.c_str(), 0755);
    const std::string copy = capture + "/cdmg2csv";
    writeFile(copy, readFile(program));
    chmod(copy.c_str(), 0755);
    if (access(program.c_str(), F_OK) == 0) program = copy;
  }
  // The launcher's words, then the program's path; or the program alone.
  const std::vector<std::string> launcher = launcherWords();
  std::vector<char*> argv;
  for (const std::string& word : launcher) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(const_cast<char*>(launcher.empty() ? "cdmg2csv" : program.c_str()));
  for (const std::string& argument : run.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  for (const FileEntry& file : run.files) {
    const std::string path = work + "/" + file.name;
    if (file.directory) {
      mkdir(path.c_str(), file.mode | 0700);
    } else {
      writeFile(path, file.content);
      chmod(path.c_str(), file.mode);
      if (unprivileged) chown(path.c_str(), 65534, 65534);
    }
  }
  const std::string out = capture + "/out", err = capture + "/err";
  int input[2], output[2], report[2];
  if (pipe(input) != 0 || pipe(output) != 0 || pipe(report) != 0 ||
      fcntl(report[1], F_SETFD, FD_CLOEXEC) != 0)
    abort();
  const auto began = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(input[0], 0);
    close(input[0]);
    close(input[1]);
    if (run.brokenOutputPipe) {
      close(output[0]);
      dup2(output[1], 1);
    } else if (!run.outputPath.empty()) {
      dup2(open(run.outputPath.c_str(), O_WRONLY), 1);
    } else {
      dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 1);
    }
    close(output[1]);
    dup2(run.mergeOutput ? 1 : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 2);
    close(report[0]);
    if (chdir(work.c_str()) != 0) giveUp(report[1], "cannot enter " + work);
    // The program starts with the default dispositions, whatever the test
    // inherited (a suite run under nohup ignores hang-ups).
    signal(SIGINT, run.ignoreInterrupt ? SIG_IGN : SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    if (unprivileged && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      giveUp(report[1], "cannot become nobody");
    }
    if (run.fileSizeLimit > 0) {
      const rlimit limit = {static_cast<rlim_t>(run.fileSizeLimit),
                            static_cast<rlim_t>(run.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (int fd = 0; fd < 3; ++fd) {
      if (run.closedDescriptors >> fd & 1) close(fd);
    }
    if (launcher.empty()) {
      execv(program.c_str(), argv.data());
    } else if (access(program.c_str(), R_OK) == 0) {
      execvp(argv[0], argv.data());
      giveUp(report[1], "cannot start " + launcher[0]);
    }
    giveUp(report[1], "cannot start " + program);
  }
  close(report[1]);
  close(input[0]);
  close(output[0]);
  close(output[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!run.signalAtPrompt) (void)!write(input[1], run.input.data(), run.input.size());
  if (run.signalAtPrompt) {
    for (int tries = 0; tries < 1000; ++tries) {
      if (readFile(out).find(kOutputPrompt) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, run.signalAtPrompt);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    (void)!write(input[1], run.input.data(), run.input.size());
  }
  const bool fromOutput = run.signalAfterOutput || run.timedFromOutput;
  if (fromOutput) {
    struct stat info;
    for (int tries = 0; tries < 100000; ++tries) {
      if (stat(out.c_str(), &info) == 0 && info.st_size > 0) break;
      siginfo_t ended = {};
      if (waitid(P_PID, pid, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0) break;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(run.signalDelayMicros));
    if (run.signalAfterOutput) kill(pid, run.signalAfterOutput);
  }
  if (run.signalOnFile) {
    // Once a file of the folder has a name that ends in the suffix.
    bool seen = false;
    for (int tries = 0; tries < 100000 && !seen; ++tries) {
      if (DIR* folder = opendir(work.c_str())) {
        while (dirent* entry = readdir(folder)) {
          const std::string name = entry->d_name;
          const std::string& suffix = run.signalFileSuffix;
          seen = seen || (name.size() > suffix.size() &&
                          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
        }
        closedir(folder);
      }
      siginfo_t ended = {};
      if (waitid(P_PID, pid, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0) break;
      if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    kill(pid, run.signalOnFile);
  }
  const auto signalled = std::chrono::steady_clock::now();
  if (!run.holdInput) close(input[1]);

  int status = 0;
  const auto deadline = began + std::chrono::duration<double>(run.timeoutSeconds);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const auto ended = std::chrono::steady_clock::now();
  if (run.holdInput) close(input[1]);
  ProgramResult result;
  char message[512];
  const ssize_t length = read(report[0], message, sizeof message);
  close(report[0]);
  if (length > 0) {
    result.startError.assign(message, length);
    ADD_FAILURE() << result.startError;
  }
  result.seconds =
      std::chrono::duration<double>(ended - (run.signalAtPrompt || fromOutput ? signalled : began))
          .count();
  result.out = readFile(out);
  result.err = readFile(err);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  std::string& stderrText = run.mergeOutput ? result.out : result.err;
  stderrText = withoutEmulatorLine(stderrText, result.signal);
  if (DIR* dir = opendir(work.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat info;
      stat((work + "/" + name).c_str(), &info);
      result.files[name] = S_ISDIR(info.st_mode) ? "<dir>" : readFile(work + "/" + name);
    }
    closedir(dir);
  }
  removeTree(work);
  removeTree(capture);
  if (windows) asOnLinux(run, result);
  return result;
}
