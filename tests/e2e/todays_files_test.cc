// Today's files from the command line: the generator's files of every
// variant against a table computed here from the values the generator
// wrote, each error with its line, status and the files left, -d, and an
// interrupt while a table is written.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "recordio/fixed_fields.h"
#include "tests/e2e/program_run.h"
#include "tests/support/reference_conversions.h"
#include "tests/support/v2_files.h"

namespace {

const char kHint[] = "Try 'cdmg2csv --help' for more information.\n";

// The table of the channels of `files` in turn, each with the columns of
// `quantities` (0 acc, 1 vel, 2 dis): the time in F7.3, the values in
// F10.3, or in g in F10.6; empty fields past a channel's end.
std::string expectedTable(const std::vector<V2File>& files, const std::vector<int>& quantities,
                          const std::string& interval, bool inG, bool header) {
  const float dt = static_cast<float>(strtod(interval.c_str(), nullptr));
  struct Column {
    std::vector<float> values;
    int decimals;
  };
  std::vector<Column> columns;
  std::string table = header ? "time (s)" : "";
  size_t rows = 0;
  for (const V2File& file : files) {
    for (const V2Channel& channel : file.channels) {
      for (int q : quantities) {
        static const char* const kNames[] = {" acc (cm/s2)", " vel (cm/s)", " dis (cm)"};
        const bool g = inG && q == 0;
        if (header) table += "," + channel.label + (g ? " acc (g)" : kNames[q]);
        Column c{{}, g ? 6 : 3};
        for (int64_t units : channel.units[q]) {
          const float v = v2Value(units, channel.decimals[q]);
          c.values.push_back(g ? static_cast<float>(v / 980.665) : v);
        }
        rows = std::max(rows, c.values.size());
        columns.push_back(std::move(c));
      }
    }
  }
  if (header) table += "\n";
  for (size_t i = 0; i < rows; ++i) {
    table += referenceFixedField(static_cast<float>(i) * dt, 7, 3);
    for (const Column& c : columns)
      table += "," + (i < c.values.size() ? referenceFixedField(c.values[i], 10, c.decimals) : "");
    table += "\n";
  }
  return table;
}

struct Variant {
  const char* name;
  V2Options options;
  std::vector<std::string> arguments;  // before the file operands
  std::vector<int> quantities;
  int files = 1;
};

V2Options with(std::vector<int> counts, bool crlf, bool upper, bool formats, bool mixed = true) {
  V2Options o;
  o.counts = counts;
  o.crlf = crlf;
  o.upperCase = upper;
  o.formats = formats;
  o.mixedForms = mixed;
  o.endMarks = upper;
  if (!formats) o.decimals[0] = o.decimals[1] = o.decimals[2] = 3;
  return o;
}

TEST(TodaysFiles, EveryVariantGivesTheTableOfItsValues) {
  const std::vector<Variant> variants = {
      {"one channel", with({37}, false, false, true), {}, {0}},
      {"three channels", with({120, 120, 120}, false, false, true), {}, {0}},
      {"CR LF", with({65, 65, 65}, true, false, true), {}, {0}},
      {"upper case, no formats", with({33, 33, 33}, true, true, false), {}, {0}},
      {"unequal N", with({3251, 3250, 3249}, false, true, false), {}, {0}},
      {"points only", with({16, 17}, false, false, true, false), {}, {0}},
      {"each quantity", with({20, 21}, false, false, true), {"-q", "vel,dis,acc"}, {1, 2, 0}},
      {"displacement only", with({9}, true, false, true), {"--quantity=dis"}, {2}},
      {"in g with a header",
       with({24, 24, 24}, false, false, true),
       {"--units=g", "--header"},
       {0}},
      {"two files in one table", with({12, 12}, false, false, true), {"-o", "-"}, {0}, 2},
  };
  for (const Variant& v : variants) {
    ProgramRun run;
    run.arguments = v.arguments;
    std::vector<V2File> files;
    for (int f = 0; f < v.files; ++f) {
      V2Options o = v.options;
      o.seed = 17 + f;
      files.push_back(makeV2File(o));
      const std::string name = "file" + std::to_string(f) + ".V2";
      run.files.push_back({name, files.back().text});
      run.arguments.push_back(name);
    }
    const bool inG =
        std::find(v.arguments.begin(), v.arguments.end(), "--units=g") != v.arguments.end();
    const bool header =
        std::find(v.arguments.begin(), v.arguments.end(), "--header") != v.arguments.end();
    const ProgramResult r = runProgram(run);
    EXPECT_EQ(r.exitCode, 0) << v.name << ": " << r.err;
    EXPECT_EQ(r.err, "") << v.name;
    EXPECT_EQ(r.out, expectedTable(files, v.quantities, ".005", inG, header)) << v.name;
    EXPECT_EQ(r.files.size(), run.files.size()) << v.name;
  }
}

// Three channels of accelerations in one file give the rows of the
// dialogue's table for three component files of the same values (up to
// the rows the dialogue reads).
TEST(TodaysFiles, ThreeAccelerationChannelsGiveTheDialoguesRows) {
  // Values of one digit before the point, which the dialogue's free-form
  // reading separates.
  V2Options options = with({801, 801, 801}, false, false, true, false);
  options.largest = 9999999;
  const V2File v2 = makeV2File(options);
  ProgramRun dialogue;
  const char* const names[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};
  for (int k = 0; k < 3; ++k) {
    std::vector<float> samples;
    for (int64_t units : v2.channels[k].units[0]) samples.push_back(v2Value(units, 6));
    dialogue.files.push_back({names[k], componentFile("component", "801", "0.005", samples)});
  }
  dialogue.input = "table.csv\n";
  const ProgramResult d = runProgram(dialogue);
  ASSERT_EQ(d.exitCode, 0) << d.err;
  ProgramRun run;
  run.files = {{"a.V2", v2.text}};
  run.arguments = {"a.V2"};
  const ProgramResult r = runProgram(run);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string rows = d.files.at("table.csv");
  const size_t read =
      800 * recordio::kRowLength;  // the dialogue reads 8 * trunc((801 - 1) / 8) samples
  EXPECT_EQ(r.out.substr(0, read), rows.substr(0, read));
  EXPECT_EQ(r.out.size(), rows.size());

  // And a file of the dialogue's own layout reads as the dialogue reads it.
  ProgramRun own;
  own.files = dialogue.files;
  own.arguments = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};
  const ProgramResult o = runProgram(own);
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, read), rows.substr(0, read));
}

// A file whose text is that of a good one with one record changed.
std::string changed(const std::string& text, int line, const std::string& record) {
  size_t start = 0;
  for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
  const size_t end = text.find('\n', start);
  return text.substr(0, start) + record + text.substr(end);
}

std::string firstLines(const std::string& text, int lines) {
  size_t end = 0;
  for (int i = 0; i < lines; ++i) end = text.find('\n', end) + 1;
  return text.substr(0, end);
}

TEST(TodaysFiles, EachErrorIsOneLineAndLeavesTheOldTable) {
  const std::string good = makeV2File(with({20}, false, false, true, false)).text;
  V2Options other = with({20}, false, false, true, false);
  other.interval = ".010";
  const std::string heading = " 20 points of accel data equally spaced at  .005 sec, in cm/sec2.";
  const struct {
    const char* name;
    std::string text;
    std::string err;
    std::vector<std::string> extra = {};  // more operands
  } cases[] = {
      {"no such file", "", "cdmg2csv: none.V2: cannot open: " + std::string(strerror(ENOENT))},
      {"empty", "", "cdmg2csv: x.V2:1: the file is empty"},
      {"ends in the header", firstLines(good, 30),
       "cdmg2csv: x.V2:30: the file ends here, within the header of channel 1"},
      {"ends in the block", firstLines(good, 48),
       "cdmg2csv: x.V2:48: the file ends here, within the acceleration block of channel 1: 16 "
       "of 20 values"},
      {"not a number", changed(good, 47, "  1.000000  2.0x0000"),
       "cdmg2csv: x.V2:47: columns 11-20: '  2.0x0000' is not a number"},
      {"bad exponent", changed(good, 47, "  1.000000   1.5E+"),
       "cdmg2csv: x.V2:47: columns 11-20: '   1.5E+' is not a number"},
      {"fewer values", changed(good, 47, "  1.000000"),
       "cdmg2csv: x.V2:47: columns 11-20: no value, where value 2 of 20 of the acceleration "
       "block of channel 1 is due"},
      {"count of 0", changed(good, 46, " 0 points of accel data equally spaced at .005 sec"),
       "cdmg2csv: x.V2:46: the heading gives a count of 0 points"},
      {"count too large",
       changed(good, 46, " 100000001 points of accel data equally spaced at .005 sec"),
       "cdmg2csv: x.V2:46: 100000001 points: counts above 100000000 are refused"},
      {"interval", changed(good, 46, " 20 points of accel data equally spaced at  x05 sec"),
       "cdmg2csv: x.V2:46: the interval 'x05' is not a number above 0"},
      {"format", changed(good, 46, heading + " (8q10.6)    "),
       "cdmg2csv: x.V2:46: the format '(8q10.6)': the format holds an item other than F, E, D, "
       "G, X or a group"},
      {"no heading", changed(good, 46, "Accel data"),
       "cdmg2csv: x.V2:46: not the heading of an acceleration block: 'Accel data'"},
      {"no velocity block", firstLines(good, 49) + "/& end\n",
       "cdmg2csv: x.V2:50: not the heading of a velocity block: '/& end'"},
      {"intervals differ",
       good,
       "cdmg2csv: y.V2:46: the interval .010 s of channel 2 differs from .005 s of channel 1 "
       "(x.V2:46)",
       {"y.V2"}},
  };
  for (const auto& c : cases) {
    ProgramRun run;
    run.files = {{"out.csv", "old table\n"}};
    if (std::string(c.name) != "no such file") run.files.push_back({"x.V2", c.text});
    run.files.push_back({"y.V2", makeV2File(other).text});
    run.arguments = {"-o", "out.csv", std::string(c.name) == "no such file" ? "none.V2" : "x.V2"};
    for (const std::string& e : c.extra) run.arguments.push_back(e);
    const ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, c.err + "\n") << c.name;
    EXPECT_EQ(r.exitCode, 1) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.files.at("out.csv"), "old table\n") << c.name;
    EXPECT_EQ(r.files.size(), run.files.size()) << c.name;  // no file left beside
  }
}

TEST(TodaysFiles, ATableThatCannotBeWrittenIsOneLine) {
  const std::string good = makeV2File(with({20}, false, false, true, false)).text;
  ProgramRun folder;
  folder.files = {{"x.V2", good}};
  folder.arguments = {"-o", "none/out.csv", "x.V2"};
  ProgramResult r = runProgram(folder);
  EXPECT_EQ(r.err, "cdmg2csv: none/out.csv: cannot create the table: " +
                       std::string(strerror(ENOENT)) + "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.files.size(), 1u);

  SKIP_ON_WINDOWS("/dev/full, where wine's writes do not fail");
  ProgramRun full;
  full.files = {{"x.V2", good}};
  full.arguments = {"x.V2"};
  full.outputPath = "/dev/full";
  r = runProgram(full);
  EXPECT_EQ(r.err, "cdmg2csv: standard output: cannot write the table: " +
                       std::string(strerror(ENOSPC)) + "\n");
  EXPECT_EQ(r.exitCode, 1);
}

TEST(TodaysFiles, ATableCutShortLeavesTheOldOne) {
  SKIP_ON_WINDOWS("RLIMIT_FSIZE");
  // A file size limit below the table's size: the old table stays.
  const std::string good = makeV2File(with({20}, false, false, true, false)).text;
  ProgramRun limited;
  limited.files = {{"x.V2", good}, {"out.csv", "old table\n"}};
  limited.arguments = {"-o", "out.csv", "x.V2"};
  limited.fileSizeLimit = 200;
  const ProgramResult r = runProgram(limited);
  EXPECT_EQ(r.err,
            "cdmg2csv: out.csv: cannot write the table: " + std::string(strerror(EFBIG)) + "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.files.at("out.csv"), "old table\n");
  EXPECT_EQ(r.files.size(), 2u);
}

TEST(TodaysFiles, DirectoryGoesOnPastABadFile) {
  const V2File a = makeV2File(with({10, 10}, false, false, true));
  V2Options second = with({15}, true, false, true);
  second.seed = 5;
  const V2File b = makeV2File(second);
  ProgramRun run;
  run.files = {{"a.V2", a.text}, {"bad.V2", firstLines(a.text, 40)}, {"b.v2", b.text}};
  run.arguments = {"-d", ".", "a.V2", "bad.V2", "b.v2"};
  const ProgramResult r = runProgram(run);
  EXPECT_EQ(r.err, "cdmg2csv: bad.V2:40: the file ends here, within the header of channel 1\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.files.at("a.csv"), expectedTable({a}, {0}, ".005", false, false));
  EXPECT_EQ(r.files.at("b.csv"), expectedTable({b}, {0}, ".005", false, false));
  EXPECT_EQ(r.files.count("bad.csv"), 0u);
  EXPECT_EQ(r.files.size(), 5u);
}

TEST(TodaysFiles, AnEndingWhileWritingLeavesTheOldTable) {
  SKIP_ON_WINDOWS("the signal is sent by a POSIX kill");
  // A file of the dialogue's layout with two million samples: its table
  // takes long enough to write that the signal comes while it is.  An
  // interrupt and a termination request exit; a floating exception ends
  // abnormally, past the exit-time handlers.
  ProgramRun run;
  run.files = {{"big.txt", componentFile("big", "2000000", "0.001", wave(2000000, 1))},
               {"out.csv", "old table\n"}};
  run.arguments = {"-o", "out.csv", "big.txt"};
  const struct {
    int signal;
    const char* err;
    int exitCode, endSignal;
  } cases[] = {{SIGINT, "Interrupt\n", 1, 0},
               {SIGTERM, "Killed\n", 1, 0},
               {SIGFPE, "Floating Exception\n", -1, SIGABRT}};
  for (const auto& c : cases) {
    run.signalOnFile = c.signal;
    run.signalFileSuffix = ".tmp";
    const ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.signal, c.endSignal);
    EXPECT_EQ(r.files.at("out.csv"), "old table\n");
    EXPECT_EQ(r.files.size(), 2u) << c.err;  // the new table's file is gone
  }
}

TEST(TodaysFiles, UsageErrorsAreOneLineAndTheHint) {
  const struct {
    std::vector<std::string> arguments;
    std::string err;
  } cases[] = {
      {{"--frobnicate", "x.V2"}, "cdmg2csv: unknown option '--frobnicate'\n"},
      {{"-x", "x.V2"}, "cdmg2csv: unknown option '-x'\n"},
      {{"--header"}, "cdmg2csv: no FILE given\n"},
      {{"x.V2", "-o"}, "cdmg2csv: option '-o' needs an argument\n"},
      {{"x.V2", "--directory"}, "cdmg2csv: option '--directory' needs an argument\n"},
      {{"-q", "acc,foo", "x.V2"},
       "cdmg2csv: --quantity: 'acc,foo' is not a comma list of acc, vel and dis\n"},
      {{"--units=m", "x.V2"}, "cdmg2csv: --units: 'm' is not g\n"},
      {{"-o", "a", "-d", "b", "x.V2"}, "cdmg2csv: -o and -d cannot be given together\n"},
  };
  for (const auto& c : cases) {
    ProgramRun run;
    run.arguments = c.arguments;
    const ProgramResult r = runProgram(run);
    EXPECT_EQ(r.err, c.err + kHint) << c.arguments[0];
    EXPECT_EQ(r.exitCode, 2) << c.arguments[0];
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.files.empty());
  }
}

}  // namespace
