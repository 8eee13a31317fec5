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

namespace {

void removeTree(const std::string& path) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") removeTree(path + "/" + name);
    }
    closedir(dir);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace

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
  if (run.unprivileged) {
    // The build may lie under a folder that nobody cannot enter.
    chmod(capture.c_str(), 0755);
    const std::string copy = capture + "/cdmg2csv";
    writeFile(copy, readFile(program));
    chmod(copy.c_str(), 0755);
    if (access(program.c_str(), F_OK) == 0) program = copy;
  }
  std::vector<char*> argv = {const_cast<char*>("cdmg2csv")};
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
      if (run.unprivileged) chown(path.c_str(), 65534, 65534);
    }
  }
  const std::string out = capture + "/out", err = capture + "/err";
  int input[2], output[2], report[2];
  if (pipe(input) != 0 || pipe(output) != 0 || pipe2(report, O_CLOEXEC) != 0) abort();
  const auto began = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(input[0], 0);
    close(input[0]);
    close(input[1]);
    if (run.brokenOutputPipe) {
      close(output[0]);
      dup2(output[1], 1);
    } else {
      dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 1);
    }
    close(output[1]);
    dup2(run.mergeOutput ? 1 : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 2);
    close(report[0]);
    if (chdir(work.c_str()) != 0) giveUp(report[1], "cannot enter " + work);
    signal(SIGINT, run.ignoreInterrupt ? SIG_IGN : SIG_DFL);
    if (run.unprivileged &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
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
    execv(program.c_str(), argv.data());
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
  if (run.signalAfterOutput) {
    struct stat info;
    for (int tries = 0; tries < 100000; ++tries) {
      if (stat(out.c_str(), &info) == 0 && info.st_size > 0) break;
      siginfo_t ended = {};
      if (waitid(P_PID, pid, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0) break;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(run.signalDelayMicros));
    kill(pid, run.signalAfterOutput);
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
  result.seconds = std::chrono::duration<double>(
                       ended - (run.signalAtPrompt || run.signalAfterOutput ? signalled : began))
                       .count();
  result.out = readFile(out);
  result.err = readFile(err);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
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
  return result;
}
