// End-to-end runs of the console dialogue and the reading of the three
// component files.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>

#include "conversion/conversion_run.h"
#include "tests/e2e/program_run.h"
#include "tests/support/child.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};
const char kHeading[] = "Points of accel data equally spaced";

// Three small component files; the third has no samples, so no rows.
std::vector<FileEntry> threeFiles() {
  return {{kNames[0], componentFile("N11E title", "   3 points", " .010 sec", {})},
          {kNames[1], componentFile("N79W title", "   3 points", " .010 sec", {})},
          {kNames[2], componentFile("UP title", "   0 points", " .010 sec", {})}};
}

// The three console records that reading one component file writes.
std::string echo(const std::string& title, const std::string& interval, const std::string& count,
                 const std::string& heading = kHeading) {
  return " " + padded(title) + "\n  dt & nt=" + interval + " " + count + "\n " + padded(heading) +
         "\n";
}

std::string threeEchoes() {
  return echo("N11E title", "  0.00999999978", "3") + echo("N79W title", "  0.00999999978", "3") +
         echo("UP title", "  0.00999999978", "0");
}

std::string report(const std::string& first, const std::string& unit, const std::string& format,
                   const std::string& direction) {
  return first + "\napparent state: unit " + unit + "\n" +
         (format.empty() ? "" : "last format: " + format + "\n") + "lately " + direction +
         " sequential formatted external IO\n";
}

TEST(ConversionRun, Transcript) {
  ProgramRun run;
  run.files = threeFiles();
  run.input = "out.csv\n";
  ProgramResult r = runProgram(run);
  EXPECT_EQ(r.out, kOpeningRecords + threeEchoes() + kOutputPrompt);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.files.count("out.csv"), 1u);
  EXPECT_EQ(r.files["out.csv"], "");
}

TEST(ConversionRun, MissingComponentFile) {
  const std::string echoes[] = {"", echo("N11E title", "  0.00999999978", "3"),
                                echo("N79W title", "  0.00999999978", "3")};
  for (int missing = 0; missing < 3; ++missing) {
    ProgramRun run;
    run.files = threeFiles();
    run.files.erase(run.files.begin() + missing);
    run.input = "out.csv\n";
    ProgramResult r = runProgram(run);
    std::string before = kOpeningRecords;
    for (int i = 0; i <= missing; ++i) before += echoes[i];
    EXPECT_EQ(r.out, before);
    EXPECT_EQ(r.err, report("open: " + systemErrorText(ENOENT),
                            std::string("11 named ") + kNames[missing], "list io", "writing"));
    EXPECT_EQ(r.signal, SIGABRT);
    EXPECT_EQ(r.files.size(), 2u);
  }
}

TEST(ConversionRun, ConsoleRecordsPrecedeTheReportInOneFile) {
  ProgramRun run;
  run.files = threeFiles();
  run.files.pop_back();
  run.mergeOutput = true;
  ProgramResult r = runProgram(run);
  EXPECT_EQ(r.out, kOpeningRecords + echo("N11E title", "  0.00999999978", "3") +
                       echo("N79W title", "  0.00999999978", "3") +
                       report("open: " + systemErrorText(ENOENT), "11 named SCSe-UP.txt", "list io",
                              "writing"));
}

TEST(ConversionRun, OutputFileName) {
  const std::string eighty = "n" + std::string(78, 'x') + "e";
  struct Case {
    std::string input;
    std::string created;  // empty: the run fails with `err`
    std::string err;
  } cases[] = {
      {"out.csv\n", "out.csv", ""},
      {"out.csv\r\n", "out.csv", ""},
      {"out.csv", "", report("fmt: end of file", "5 (unnamed)", "(a80)", "reading")},
      {"", "", report("fmt: end of file", "5 (unnamed)", "(a80)", "reading")},
      {"\n", "", report("open: null file name", "11 named ", "", "reading")},
      {"     \n", "", report("open: null file name", "11 named ", "", "reading")},
      {"  lead and inner   \n", "  lead and inner", ""},
      {eighty + "cut off\n", eighty, ""},
      {"first.csv\nsecond.csv\n", "first.csv", ""},
  };
  for (const Case& c : cases) {
    ProgramRun run;
    run.files = threeFiles();
    run.input = c.input;
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.out, kOpeningRecords + threeEchoes() + kOutputPrompt) << c.input;
    EXPECT_EQ(r.err, c.err) << c.input;
    EXPECT_EQ(r.signal, c.err.empty() ? 0 : SIGABRT);
    EXPECT_EQ(r.files.size(), c.created.empty() ? 3u : 4u) << c.input;
    if (!c.created.empty()) {
      EXPECT_EQ(r.files.count(c.created), 1u) << c.input;
    }
  }
}

TEST(ComponentReader, EchoRecords) {
  const std::string longTitle = std::string(80, 't') + " and more";
  ProgramRun run;
  run.files = threeFiles();
  run.files[0].content =
      componentFile(longTitle, "  2000 points of accel data", " .005 sec", wave(1992, 0));
  std::string crlf;
  for (char c : componentFile("CR LF title", "3", "0.0001", {}, "CR LF heading")) {
    crlf += c == '\n' ? "\r\n" : std::string(1, c);
  }
  run.files[1].content = crlf;
  run.files[2].content =
      componentFile("UP title", "\n\n   -4  count after blank records", " -.01", {});
  run.input = "out.csv\n";
  ProgramResult r = runProgram(run);
  // The count is taken from the first record after the blank ones.
  EXPECT_EQ(r.out, kOpeningRecords + echo(std::string(80, 't'), "  0.00499999989", "2000") +
                       echo("CR LF title", "  9.99999975E-05", "3", "CR LF heading") +
                       echo("UP title", " -0.00999999978", "-4") + kOutputPrompt);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitCode, 0);
}

TEST(ComponentReader, SampleStatementsAndTheirFailures) {
  // nt = 2000 reads 249 records of eight; the 250th is never read.
  std::vector<float> samples = wave(1992, 1);
  std::string full = componentFile("T", "2000", "0.01", samples) + "never read\n";
  std::string last = componentFile("T", "2000", "0.01", samples);
  std::string shortOne = componentFile("T", "2000", "0.01", wave(1990, 1));
  std::string header = componentFile("T", "9", "0.01", {});
  header.resize(header.find("header record 30"));
  const std::string state = "11 named SCSe-N11E.txt";
  constexpr int kMax = conversion::kMaxSamples;
  const std::string kMaxText = std::to_string(kMax);
  struct Case {
    std::string content;
    std::string err;
  } cases[] = {
      {full, ""},
      {last, ""},
      {componentFile("T", "8", "0.01", {}), ""},
      {componentFile("T", kMaxText, "0.01", wave(kMax - 8, 2)), ""},
      {shortOne, report("list in: end of file", state, "list io", "reading")},
      {header, report("read start: end of file", state, "list io", "reading")},
      {"", report("fmt: end of file", state, "(a80)", "reading")},
      {componentFile("T", "12.5", "0.01", {}),
       report("invalid integer: read unexpected character", state, "list io", "reading")},
      {componentFile("T", "points", "0.01", {}),
       report("invalid number: incomprehensible list input", state, "list io", "reading")},
      {componentFile("T", std::to_string(kMax + 1), "0.01", wave(kMax, 2)),
       report("sample count above " + kMaxText + ": subscript out of bounds", state, "list io",
              "reading")},
  };
  for (const Case& c : cases) {
    ProgramRun run;
    run.files = threeFiles();
    run.files[0].content = c.content;
    run.input = "out.csv\n";
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, c.err) << c.content.substr(0, 2000);
    EXPECT_EQ(r.signal, c.err.empty() ? 0 : SIGABRT);
  }
}

}  // namespace
