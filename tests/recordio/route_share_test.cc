// The shipped formats take their fast paths: a whole conversion of the
// maximum record (made from its description, as bench/ makes it) and of the
// bundled sample, counting what each route takes.  At least 99% of the rows
// must be placed whole and 95% of the reals taken from records read whole;
// a change of a format that its fast path no longer covers fails here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "conversion/conversion_run.h"
#include "conversion/todays_files.h"
#include "recordio/fixed_fields.h"
#include "recordio/record_scan.h"
#include "recordio/routes.h"
#include "tests/support/child.h"
#include "tests/support/v2_files.h"

namespace {

const char* const kNames[] = {"SCSe-N11E.txt", "SCSe-N79W.txt", "SCSe-UP.txt"};

// A component file of `count` samples in records of `shape`, values drawn
// as bench/make_record.py draws them, each with a blank before it.
std::string componentFile(const recordio::EditList& shape, int count, std::mt19937& random) {
  std::string text = "Benchmark record (generated)\n";
  for (int n = 2; n < 16; ++n) text += "  header record\n";
  text += "  " + std::to_string(count) + " points of accel data equally spaced at .005 sec\n";
  text += "   0.005 sec interval, accel in cm/sec/sec\n";
  for (int n = 18; n < 46; ++n) text += "  header record\n";
  text += "Accel data (cm/sec/sec)\n";
  const recordio::EditStep field = shape.field(0);
  float amplitude = 0.999f;
  for (int i = 3; i < field.width - field.decimals; ++i) amplitude *= 10;
  std::uniform_real_distribution<float> value(-amplitude, amplitude), share(0, 1);
  for (int i = 0; i < count; ++i) {
    const float s = share(random);
    char number[64];
    snprintf(number, sizeof number, "%*.*f", field.width, field.decimals, value(random) * s * s);
    text += number;
    if (i % shape.fields == shape.fields - 1 || i == count - 1) text += '\n';
  }
  return text;
}

// Converts the three files in `dir` by the dialogue, or today's file
// `todays` there to out.csv: the route counts, or the failure.
recordio::RouteCounts convert(const std::string& dir, const char* todays = nullptr) {
  const ChildResult r = runInChild(
      [&] {
        if (chdir(dir.c_str()) != 0) abort();
        prepareLayer();
        recordio::routeCounts = {};  // what tests before this one counted
        atexit([] {
          const recordio::RouteCounts& c = recordio::routeCounts;
          fprintf(stderr, "%ld %ld %ld %ld\n", c.scannedReals, c.otherReals, c.wholeRows,
                  c.walkedRows);
        });
        if (!todays) conversion::conversionRun();
        conversion::Options options;
        options.output = "out.csv";
        options.files = {todays};
        conversion::convertTodaysFiles(options);
      },
      "out.csv\n");
  recordio::RouteCounts c;
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(sscanf(r.err.c_str(), "%ld %ld %ld %ld", &c.scannedReals, &c.otherReals, &c.wholeRows,
                   &c.walkedRows),
            4)
      << r.err;
  return c;
}

void expectFastPaths(const recordio::RouteCounts& c, long rows) {
  printf("rows placed whole %ld, walked %ld; reals scanned %ld, by the general path %ld\n",
         c.wholeRows, c.walkedRows, c.scannedReals, c.otherReals);
  EXPECT_EQ(c.wholeRows + c.walkedRows, rows);
  EXPECT_GE(c.wholeRows, rows * 99 / 100) << c.walkedRows << " rows walked";
  const long reals = c.scannedReals + c.otherReals;
  EXPECT_GE(c.scannedReals, reals * 95 / 100) << c.otherReals << " of " << reals << " reals";
}

TEST(RouteShare, TheMaximumRecordTakesTheFastPaths) {
  const std::string dir = makeTempDir();
  std::mt19937 random(1);
  for (const char* name : kNames) {
    writeFile(dir + "/" + name,
              componentFile(recordio::kBenchmarkRecord, conversion::kMaxSamples, random));
  }
  expectFastPaths(convert(dir), conversion::kMaxSamples);
  const std::string table = readFile(dir + "/out.csv");
  EXPECT_EQ(table.size(), static_cast<size_t>(recordio::kRowLength) * conversion::kMaxSamples);
}

TEST(RouteShare, TheSampleTakesTheFastPaths) {
  const std::string dir = makeTempDir();
  for (const char* name : kNames) {
    writeFile(dir + "/" + name, readFile(std::string(CDMG_SAMPLE_DIR) + "/" + name));
  }
  // The count on record 16 of the third file, and the first sample record
  // (record 47), which has the shape of the sample's description.
  const std::string third = readFile(dir + "/" + kNames[2]);
  size_t at = 0;
  const auto record = [&](int n) {
    for (at = 0; --n > 0;) at = third.find('\n', at) + 1;
    return third.substr(at, third.find('\n', at) - at);
  };
  const long rows = atol(record(16).c_str());
  ASSERT_GT(rows, 0);
  EXPECT_EQ(record(47).size(), static_cast<size_t>(recordio::kSampleRecord.columns));
  expectFastPaths(convert(dir), rows);
}

// Today's files, with and without formats: three channels of 12000 points
// in plain fixed fields with a blank before each value.  (A value that
// fills its field, which the record scan does not take, sends its record
// to the fields one by one.)
TEST(RouteShare, TodaysFilesTakeTheFastPaths) {
  for (bool formats : {true, false}) {
    V2Options o;
    o.counts = {12000, 12000, 12000};
    o.formats = o.crlf = formats;
    o.upperCase = !formats;
    o.mixedForms = false;
    o.largest = formats ? 9999999 : 999999;  // below 10 and 1000
    if (!formats) o.decimals[0] = o.decimals[1] = o.decimals[2] = 3;
    const std::string dir = makeTempDir();
    writeFile(dir + "/x.V2", makeV2File(o).text);
    expectFastPaths(convert(dir, "x.V2"), 12000);
  }
}

}  // namespace
