// End-to-end runs that write the acceleration table.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "tests/e2e/program_run.h"
#include "tests/support/child.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};

std::vector<FileEntry> threeFiles(const std::string& count, const std::string& interval,
                                  const std::vector<float>& samples) {
  std::vector<FileEntry> files;
  for (const char* name : kNames) {
    files.push_back({name, componentFile(name, count, interval, samples)});
  }
  return files;
}

std::vector<std::string> rows(const std::string& table) {
  std::vector<std::string> result;
  std::istringstream in(table);
  for (std::string row; std::getline(in, row);) result.push_back(row);
  return result;
}

TEST(Table, RowLayoutAndTimeColumn) {
  ProgramRun run;
  run.files = threeFiles("2010", "0.5", wave(2008, 3));
  run.input = "out.csv\n";
  ProgramResult r = runProgram(run);
  ASSERT_EQ(r.exitCode, 0);
  std::vector<std::string> table = rows(r.files["out.csv"]);
  ASSERT_EQ(table.size(), 2010u);
  EXPECT_EQ(r.files["out.csv"].back(), '\n');
  for (const std::string& row : table) {
    ASSERT_EQ(row.size(), 40u) << row;
    EXPECT_TRUE(row[7] == ',' && row[18] == ',' && row[29] == ',') << row;
  }
  EXPECT_EQ(table[0].substr(0, 8), "  0.000,");
  EXPECT_EQ(table[1999].substr(0, 8), "999.500,");
  EXPECT_EQ(table[2000].substr(0, 8), "*******,");
  EXPECT_EQ(table[2009].substr(0, 8), "*******,");
  EXPECT_EQ(table[2000].find('*', 8), std::string::npos);
}

TEST(Table, ThirdFileDecidesCountAndInterval) {
  ProgramRun run;
  run.files = {{kNames[0], componentFile("a", "9", "0.5", {1, 2, 3, 4, 5, 6, 7, 8, 9})},
               {kNames[1], componentFile("b", "17", "0.25", std::vector<float>(16, -1.5f))},
               {kNames[2], componentFile("c", "18", "0.01", std::vector<float>(17, 0.1f))}};
  run.input = "out.csv\n";
  ProgramResult r = runProgram(run);
  std::vector<std::string> table = rows(r.files["out.csv"]);
  ASSERT_EQ(table.size(), 18u);
  EXPECT_EQ(table[0], "  0.000,     1.000,    -1.500,     0.100");
  EXPECT_EQ(table[7], "  0.070,     8.000,    -1.500,     0.100");
  EXPECT_EQ(table[8], "  0.080,     0.000,    -1.500,     0.100");
  EXPECT_EQ(table[15], "  0.150,     0.000,    -1.500,     0.100");
  EXPECT_EQ(table[16], "  0.160,     0.000,     0.000,     0.000");
  EXPECT_EQ(table[17], "  0.170,     0.000,     0.000,     0.000");
}

TEST(Table, ExistingOutputFiles) {
  const std::string old = std::string(3000, 'o') + "\nold tail\n";
  struct Case {
    std::string count;
    bool exists;
    mode_t mode;
    std::string after;  // "<table>": the new table, two rows
    std::string err;
  } cases[] = {
      {"0", false, 0644, "", ""},
      {"-5", true, 0644, old, ""},
      {"0", true, 0444, old, ""},
      {"2", false, 0644, "<table>", ""},
      {"2", true, 0644, "<table>", ""},
      {"2", true, 0444, old,
       "write start: can't write file\napparent state: unit 11 named out.csv\n"
       "last format: (F7.3,3(\x02,\x02,F10.3))\n"
       "lately writing sequential formatted external IO\n"},
  };
  const std::string table =
      "  0.000,     0.000,     0.000,     0.000\n"
      "  0.010,     0.000,     0.000,     0.000\n";
  int readOnly = 0;
  for (const Case& c : cases) {
    // A read-only file needs a run as nobody, which wine cannot make.
    if (windowsTarget() && c.mode == 0444) {
      ++readOnly;
      continue;
    }
    ProgramRun run;
    run.files = threeFiles(c.count, "0.01", {});
    if (c.exists) run.files.push_back({"out.csv", old, c.mode});
    run.unprivileged = true;
    run.input = "out.csv\n";
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.files["out.csv"], c.after == "<table>" ? table : c.after) << c.count << c.mode;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.signal, c.err.empty() ? 0 : SIGABRT);
  }
  if (readOnly) GTEST_SKIP() << "not on Windows: " << readOnly << " cases of permission bits";
}

TEST(Table, FullDeviceIsReported) {
  if (const char* reason = noFullDevice()) GTEST_SKIP() << reason;
  // Two rows fail when the disconnect writes them out; 2000 rows already
  // fail while they are handed over.
  for (int count : {2, 2000}) {
    ProgramRun run;
    run.files = threeFiles(std::to_string(count), "0.01", wave(count, 4));
    run.input = "/dev/full\n";
    ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, "close: " + systemErrorText(ENOSPC) +
                         "\napparent state: unit 11 named /dev/full\n"
                         "lately writing sequential formatted external IO\n");
    EXPECT_EQ(r.signal, SIGABRT);
  }
}

// The sample's values carry three decimals in fields of ten, so each table
// field is the sample's own text, but for a negative zero.
TEST(Table, BundledSample) {
  ProgramRun run;
  std::vector<std::vector<std::string>> fields(3);
  for (int c = 0; c < 3; ++c) {
    const std::string text = readFile(std::string(CDMG_SAMPLE_DIR "/") + kNames[c]);
    run.files.push_back({kNames[c], text});
    std::istringstream in(text);
    std::string record;
    for (int n = 0; n < 46; ++n) std::getline(in, record);
    while (std::getline(in, record)) {
      for (size_t at = 0; at + 10 <= record.size(); at += 10) {
        std::string value = record.substr(at, 10);
        fields[c].push_back(value == "    -0.000" ? "     0.000" : value);
      }
    }
  }
  run.input = "sample.csv\n";
  ProgramResult r = runProgram(run);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, strlen(kOpeningRecords)), kOpeningRecords);
  EXPECT_EQ(r.out.substr(r.out.size() - strlen(kOutputPrompt)), kOutputPrompt);
  EXPECT_NE(r.out.find("  dt & nt=  0.00999999978 4000\n"), std::string::npos);

  const size_t count = 4000, read = 8 * ((count - 1) / 8);
  std::string expected;
  for (size_t i = 0; i < count; ++i) {
    char time[16];
    snprintf(time, sizeof time, "%7.3f", static_cast<float>(i) * 0.01f);
    expected += time;
    for (int c = 0; c < 3; ++c) expected += "," + (i < read ? fields[c][i] : "     0.000");
    expected += "\n";
  }
  EXPECT_EQ(r.files["sample.csv"], expected);
}

}  // namespace
