#include "tests/support/child.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "recordio/process.h"
#include "recordio/units.h"

std::string withoutEmulatorLine(const std::string& err, int signal) {
  const std::string start = "qemu: uncaught target signal " + std::to_string(signal) + " (";
  const std::string end = ") - core dumped\n";
  const size_t line = err.rfind(start);
  if (signal == 0 || line == std::string::npos || err.size() < end.size() ||
      err.compare(err.size() - end.size(), end.size(), end) != 0 ||
      err.find('\n', line) != err.size() - 1) {
    return err;
  }
  return err.substr(0, line);
}

void removeTree(const std::string& path) {
  nftw(
      path.c_str(), [](const char* name, const struct stat*, int, FTW*) { return remove(name); },
      16, FTW_DEPTH | FTW_PHYS);
}

namespace {

// The folders this test process made, removed when it exits (and not by
// a forked child that happens to exit normally).
std::vector<std::string>& madeFolders() {
  static std::vector<std::string> folders;
  static const pid_t owner = getpid();
  static const bool registered = atexit([] {
    if (getpid() != owner) return;
    for (const std::string& dir : madeFolders()) removeTree(dir);
  }) == 0;
  (void)registered;
  return folders;
}

}  // namespace

std::string makeTempDir() {
  char pattern[] = "/tmp/cdmg2csv-test-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir) abort();
  madeFolders().push_back(dir);
  return dir;
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string padded(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void prepareLayer() {
  recordio::prepareRecordIO();
  recordio::units[6].writeThrough = true;
}

void connectFileUnit(const std::string& name, const char* stat) {
  const std::string field = padded(name);
  recordio::ConnectRequest request;
  request.unit = 11;
  request.file = field.data();
  request.filelen = 80;
  request.stat = stat;
  recordio::connectUnit(request);
}

ChildResult runInChild(const std::function<void()>& body, const std::string& input) {
  const std::string dir = makeTempDir();
  const std::string in = dir + "/in", out = dir + "/out", err = dir + "/err";
  writeFile(in, input);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int fds[3] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT, 0600),
                  open(err.c_str(), O_WRONLY | O_CREAT, 0600)};
    for (int i = 0; i < 3; ++i) dup2(fds[i], i);
    setvbuf(stdout, nullptr, _IONBF, 0);
    body();
    recordio::flushConsole();
    fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ChildResult result;
  result.out = readFile(out);
  result.err = readFile(err);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.err = withoutEmulatorLine(result.err, result.signal);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  rmdir(dir.c_str());
  return result;
}
