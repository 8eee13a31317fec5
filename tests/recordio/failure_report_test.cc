#include "recordio/failure_report.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstring>

#include "recordio/process.h"
#include "recordio/records.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

// The C library's own text for a system error, as the report gives it.
std::string text(int number) { return std::string(strerror(number)) + "\n"; }

ChildResult reportIn(int32_t number, const char* context, bool prepare = true) {
  return runInChild([=] {
    if (prepare) prepareLayer();
    reportFailure(number, context);
  });
}

TEST(FailureReport, FirstLineByRangeOfNumber) {
  const std::string state =
      "apparent state: internal I/O\nlately writing direct unformatted internal IO\n";
  struct Case {
    int32_t number;
    const char* context;
    std::string line;
  } cases[] = {
      {-1, "fmt", "fmt: end of file\n"},
      {2, "open", "open: " + text(2)},
      {13, "open", "open: " + text(13)},
      {0, "x", "x: " + text(0)},
      {100, "x", "x: error in format\n"},
      {107, "open", "open: null file name\n"},
      {114, "sfe", "sfe: unit not connected\n"},
      {131, "I/O recursion", "I/O recursion: I/O started while already doing I/O\n"},
      {132, "x", "x: Temporary file name (TMPDIR?) too long\n"},
      {-2, "x", "x: illegal error number -2\n"},
      {133, "x", "x: illegal error number 133\n"},
      {-2147483647 - 1, "x", "x: illegal error number -2147483648\n"},
  };
  for (const Case& c : cases) {
    ChildResult r = reportIn(c.number, c.context);
    EXPECT_EQ(r.err, c.line + state) << c.number;
    EXPECT_EQ(r.signal, SIGABRT);
  }
  EXPECT_STREQ(kFailureMessages[121 - 100], "variable count incorrect");
  EXPECT_STREQ(kFailureMessages[125 - 100], "subscript out of bounds");
}

TEST(FailureReport, SystemErrorsPrintTheSystemsText) {
  struct Case {
    int32_t number;
    bool system;
    std::string line;
  } cases[] = {
      {ENOENT, true, "ctx: " + text(ENOENT)},
      {EACCES, true, "ctx: " + text(EACCES)},
      {ENOSPC, true, "ctx: " + text(ENOSPC)},
      {ESTALE, true, "ctx: " + text(ESTALE)},  // 116 on Linux, above the layer's first
      {EDQUOT, true, "ctx: " + text(EDQUOT)},  // 122 on Linux
      {107, false, "ctx: null file name\n"},
      {112, false, "ctx: incomprehensible list input\n"},
      {125, false, "ctx: subscript out of bounds\n"},
      {127, false, "ctx: can't write file\n"},
  };
  for (const Case& c : cases) {
    ChildResult r = runInChild(
        [&] { c.system ? reportSystemFailure(c.number, "ctx") : reportFailure(c.number, "ctx"); });
    EXPECT_EQ(r.err, c.line + " IO\n") << c.number;
    EXPECT_EQ(r.signal, SIGABRT);
  }
}

TEST(FailureReport, StateLines) {
  struct Case {
    int unit;
    const char* name;
    const char* format;
    bool reading;
    std::string lines;
  } cases[] = {
      {11, "out.csv", "(F7.3,3(\x02,\x02,F10.3))", false,
       "apparent state: unit 11 named out.csv\nlast format: (F7.3,3(\x02,\x02,F10.3))\n"
       "lately writing sequential formatted external IO\n"},
      {5, nullptr, "(a80)", true,
       "apparent state: unit 5 (unnamed)\nlast format: (a80)\n"
       "lately reading sequential formatted external IO\n"},
      {11, "", nullptr, true,
       "apparent state: unit 11 named \nlately reading sequential formatted external IO\n"},
      {-1, nullptr, "list io", true,
       "apparent state: internal I/O\nlast format: list io\n"
       "lately reading sequential formatted external IO\n"},
  };
  for (const Case& c : cases) {
    ChildResult r = runInChild([&] {
      prepareLayer();
      statementState = {};
      if (c.unit >= 0) {
        statementState.currentUnit = &units[c.unit];
        if (c.name) units[c.unit].fileName = strdup(c.name);
      }
      if (c.format) {
        statementState.lastFormat = c.format;
        statementState.lastFormatLength = formatLength(c.format);
      }
      statementState.reading = c.reading;
      statementState.sequential = statementState.formatted = statementState.external = true;
      statementInProgress = true;
      reportFailure(-1, "ctx");
    });
    EXPECT_EQ(r.err, "ctx: end of file\n" + c.lines);
    EXPECT_EQ(r.signal, SIGABRT);
  }
}

TEST(FailureReport, BeforePreparationAndOnReentry) {
  ChildResult early = reportIn(107, "open", false);
  EXPECT_EQ(early.err, "open: null file name\n IO\n");
  EXPECT_EQ(early.signal, SIGABRT);

  ChildResult again = runInChild([] {
    prepareLayer();
    failureReportStarted = true;
    reportFailure(112, "invalid number");
  });
  EXPECT_EQ(again.err,
            "invalid number: incomprehensible list input\n"
            "(the failure report was already under way; aborting)");
  EXPECT_EQ(again.signal, SIGABRT);
}

// Runs the process entry in a child with `run` as the program's run.
ChildResult processWith(void (*run)(), bool ignoreInterrupt = false) {
  return runInChild([=] {
    if (ignoreInterrupt) signal(SIGINT, SIG_IGN);
    char name[] = "cdmg2csv";
    char* argv[] = {name, nullptr};
    runProcess(1, argv, run);
  });
}

TEST(Process, Endings) {
  struct Case {
    void (*run)();
    bool ignoreInterrupt;
    std::string out;
    std::string err;
    int exitCode;
    int signal;
  } cases[] = {
      {[] { stopRun("", 0); }, false, "", "", 0, 0},
      {[] {}, false, "", "", 0, 0},
      {[] { stopRun("done", 4); }, false, "", "STOP done statement executed\n", 0, 0},
      {[] {
         printf("kept\n");
         raise(SIGINT);
       },
       false, "kept\n", "Interrupt\n", 1, 0},
      {[] {
         raise(SIGINT);
         stopRun("", 0);
       },
       true, "", "", 0, 0},
      {[] { raise(SIGTERM); }, false, "", "Killed\n", 1, 0},
      // A further request while the first is carried out (here, in an
      // exit-time handler that runs before the close) ends at once.
      {[] {
         atexit([] {
           raise(SIGTERM);
           serviceRequests();
           printf("not ended\n");
         });
         raise(SIGTERM);
       },
       false, "", "Killed\n", 1, 0},
      {[] { raise(SIGFPE); }, false, "", "Floating Exception\n", -1, SIGABRT},
      {[] { raise(SIGABRT); }, false, "", "IOT Trap\n", -1, SIGABRT},
      // The C library's own abort does not return to the run: at once.
      {[] { abort(); }, false, "", "IOT Trap\n", -1, SIGABRT},
      {[] {
         printf("kept\n");
         reportFailure(-1, "fmt");
       },
       false, "kept\n",
       "fmt: end of file\napparent state: internal I/O\n"
       "lately writing direct unformatted internal IO\n",
       -1, SIGABRT},
  };
  for (const Case& c : cases) {
    ChildResult r = processWith(c.run, c.ignoreInterrupt);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
    EXPECT_EQ(r.signal, c.signal) << c.err;
  }
}

// An integer division by zero, past the sanitizer's own check.
__attribute__((no_sanitize("undefined"))) int divideByZero() {
  volatile int one = 1, zero = 0;
  return one / zero;
}

// An arithmetic fault cannot be returned to: its ending comes at once,
// where a request would wait for the run.
TEST(Process, ArithmeticFaultEndsAtOnce) {
  ChildResult r = processWith([] {
    printf("%d\n", divideByZero());
    fflush(stdout);
  });
  if (r.exitCode == 0) GTEST_SKIP() << "a division by zero does not trap on this processor";
  EXPECT_EQ(r.err, "Floating Exception\n");
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.out, "");
}

TEST(Process, EveryEndingClosesAndCutsWrittenFiles) {
  void (*endings[])() = {[] { stopRun("", 0); }, [] { raise(SIGTERM); },
                         [] { reportFailure(112, "invalid number"); }};
  for (auto ending : endings) {
    const std::string path = makeTempDir() + "/out.csv";
    writeFile(path, "old contents, longer than the new\n");
    static std::string name;
    static void (*end)();
    name = path;
    end = ending;
    processWith([] {
      connectFileUnit(name, "unknown");
      switchToWriting(units[11]);
      emitRecord(units[11], "row\n", 4);
      end();
    });
    EXPECT_EQ(readFile(path), "row\n");
  }
}

}  // namespace
