#include "recordio/fixed_fields.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <bit>
#include <cmath>

#include "recordio/freeform_output.h"
#include "recordio/records.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

std::string field(float value, int width, int decimals = 3) {
  outputRecord.position = 0;
  formatFixed(value, width, decimals);
  std::string text(outputRecord.chars, outputRecord.position);
  outputRecord.position = 0;
  return text;
}

TEST(FormatFixed, WidthSeven) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "  0.000"},
      {-0.0f, "  0.000"},
      {0.005f, "  0.005"},
      {0.0005f, "  0.001"},
      {-0.0004f, "  0.000"},
      {-0.0005f, " -0.001"},
      {0.5f, "  0.500"},
      {-0.5f, " -0.500"},
      {1.2345f, "  1.235"},
      {-12.3456f, "-12.346"},
      {59.99f, " 59.990"},
      {999.9994f, "999.999"},
      {999.9996f, "*******"},
      {1000.0f, "*******"},
      {-99.999f, "-99.999"},
      {-99.9996f, "*******"},
      {INFINITY, "    inf"},
      {-INFINITY, "   -inf"},
      // 0 times an infinite interval: a NaN, with its sign bit set here.
      {0.0f * INFINITY, "    nan"},
      {std::bit_cast<float>(0x7fc00000u), "    nan"},
  };
  for (const Case& c : cases) EXPECT_EQ(field(c.value, 7), c.text) << c.value;
}

TEST(FormatFixed, WidthTenAndNarrow) {
  struct Case {
    float value;
    int width;
    const char* text;
  } cases[] = {
      {0.0f, 10, "     0.000"},
      {0.1f, 10, "     0.100"},
      {-0.25f, 10, "    -0.250"},
      {-0.0004f, 10, "     0.000"},
      {12.5f, 10, "    12.500"},
      {-12345.678f, 10, "-12345.678"},
      {99999.99f, 10, " 99999.992"},
      {123456.789f, 10, "123456.789"},
      {-123456.7f, 10, "**********"},
      {999999.94f, 10, "999999.938"},
      {1000000.0f, 10, "**********"},
      {-99999.99f, 10, "-99999.992"},
      {-99999.999f, 10, "**********"},
      {0.5f, 4, ".500"},
      {-0.5f, 4, "****"},
      {0.5f, 5, "0.500"},
      {-0.5f, 5, "-.500"},
      {-0.0004f, 4, ".000"},
  };
  for (const Case& c : cases) EXPECT_EQ(field(c.value, c.width), c.text) << c.value;
}

TEST(FixedRowWriter, CompleteRows) {
  ChildResult r = runInChild([] {
    prepareLayer();
    const float rows[][4] = {{0.0f, 0.005f, -0.0004f, 12.5f},
                             {0.01f, -1.2345f, 0.0f, -0.25f},
                             {0.02f, 123456.789f, -123456.7f, 99999.99f}};
    for (const auto& row : rows) {
      FixedRowWriter::start(6);
      for (float value : row) FixedRowWriter::putReal(value);
      FixedRowWriter::finish();
      printf("%s|", statementState.lastFormat ? "format kept" : "");
    }
  });
  EXPECT_EQ(r.out,
            "  0.000,     0.005,     0.000,    12.500\n|"
            "  0.010,    -1.235,     0.000,    -0.250\n|"
            "  0.020,123456.789,**********, 99999.992\n|");
  EXPECT_EQ(formatLength(kRowFormat), 19);
}

// The row's edit list as the compiler parses it, and edit lists parsed in
// a run, as a format given by a file's heading would be.
TEST(EditList, ParsedAtCompileTimeAndInARun) {
  EXPECT_TRUE(kRowEditList.fields == 4 && kRowEditList.columns == 40 && kRowLength == 41);
  const std::string heading = "(8f10.6)";
  const EditList eight = parseEditList(heading.c_str());
  EXPECT_TRUE(eight.valid && eight.fields == 8 && eight.columns == 80 && eight.everyField(10, 6));
  const std::string row = "(F7.3,3(',',F10.3))";
  const EditList parsed = parseEditList(row.c_str());
  std::string steps;
  for (int i = 0; i < parsed.length; ++i) {
    const EditStep& s = parsed.steps[i];
    const EditStep& k = kRowEditList.steps[i];
    steps += s.isField ? "F" + std::to_string(s.width) + "." + std::to_string(s.decimals) : "'";
    EXPECT_TRUE(s.isField == k.isField && s.width == k.width && s.decimals == k.decimals &&
                s.text == k.text);
  }
  EXPECT_EQ(steps, "F7.3'F10.3'F10.3'F10.3");
  EXPECT_TRUE(parseEditList("(2(F3.1,2('ab')))").valid);
  // What a file's heading may give besides: Fw, E, D and G fields, skips.
  const EditList read = parseEditList(" (f7, 2x,E9.2 ,d9.1,G8.3)");
  EXPECT_TRUE(read.valid && read.fields == 4 && read.columns == 35 && !read.everyField(0, 0) &&
              read.field(0).decimals == 0 && read.field(1).column == 9 &&
              read.field(3).letter == 'G');
  for (const std::string bad : {"", "F7.3", "(F7.3", "(F7.3))", "(2'a')", "(X7.3)", "(F7.100)",
                                "((((F1.0))))", "(0F7.3)", "(F7.3,)"}) {
    EXPECT_FALSE(parseEditList(bad.c_str()).valid) << bad;
  }
}

}  // namespace
