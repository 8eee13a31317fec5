#include "recordio/freeform_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "recordio/units.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

// Reads `items` from a file holding `content`: 'i' an integer item, 'r' a
// real item, '|' ends one statement and starts the next.  Gives each value
// read ("-" for an item left unchanged, "|" between statements), then the
// first line of a failure report.
std::string readItems(const std::string& content, const std::string& items) {
  const std::string path = makeTempDir() + "/f.txt";
  writeFile(path, content);
  ChildResult r = runInChild([&] {
    prepareLayer();
    connectFileUnit(path, "old");
    FreeFormReader::start(11);
    for (char item : items) {
      int32_t integer = 777;
      float real = -777;
      if (item == '|') {
        FreeFormReader::finish();
        printf("|");
        FreeFormReader::start(11);
      } else if (item == 'i') {
        FreeFormReader::getInteger(integer);
        integer == 777 ? printf(" -") : printf(" %d", integer);
      } else {
        FreeFormReader::getReal(real);
        real == -777 ? printf(" -") : printf(" %.9g", real);
      }
      fflush(stdout);
    }
    FreeFormReader::finish();
  });
  std::string result = r.out;
  if (!r.err.empty()) result += " " + r.err.substr(0, r.err.find('\n'));
  return result;
}

const char kEof[] = " list in: end of file";
const char kStartEof[] = " read start: end of file";
const char kInvalidNumber[] = " invalid number: incomprehensible list input";
const char kInvalidInteger[] = " invalid integer: read unexpected character";
const char kExponent[] = " exponent field: incomprehensible list input";
const char kRepeat[] = " bad repetition count: incomprehensible list input";

TEST(FreeFormReader, IntegerItems) {
  EXPECT_EQ(readItems(" 2000 points of accel data\n", "i"), " 2000");
  EXPECT_EQ(readItems("\n   \n\t2000\n", "i"), " 2000");
  EXPECT_EQ(readItems("2000-1\n", "i"), " 200");
  EXPECT_EQ(readItems("12+2\n", "i"), " 1200");
  EXPECT_EQ(readItems("7-1\n", "i"), " 0");
  EXPECT_EQ(readItems("-2147483648\n", "i"), " -2147483648");
  EXPECT_EQ(readItems("2147483647\n", "i"), " 2147483647");
  EXPECT_EQ(readItems("2147483648\n", "i"), " -2147483648");
  EXPECT_EQ(readItems("1E99999999\n", "i"), kInvalidInteger);
  EXPECT_EQ(readItems("1+99999999\n", "i"), " -2147483648");
  EXPECT_EQ(readItems(" 12abc\n", "i"), " 12");
  EXPECT_EQ(readItems(" 12abc\n", "ii"), std::string(" 12") + kInvalidNumber);
  EXPECT_EQ(readItems("2000.0\n", "i"), kInvalidInteger);
  EXPECT_EQ(readItems("2.0E3\n", "i"), kInvalidInteger);
  EXPECT_EQ(readItems("2e3\n", "i"), kInvalidInteger);
  EXPECT_EQ(readItems(". \n", "i"), kInvalidInteger);
  EXPECT_EQ(readItems("points\n", "i"), kInvalidNumber);
}

TEST(FreeFormReader, RealItems) {
  for (const char* text : {"1.5E-3\n", "1.5e-3\n", "1.5D-3\n", "1.5d-3\n", "1.5-3\n"}) {
    EXPECT_EQ(readItems(text, "r"), " 0.00150000001") << text;
  }
  EXPECT_EQ(readItems("1.5+3\n", "r"), " 1500");
  EXPECT_EQ(readItems("1.5-2.5\n", "rr"), " 0.0149999997 0.5");
  EXPECT_EQ(readItems("1.5.3\n", "rr"), " 1.5 0.300000012");
  EXPECT_EQ(readItems("1.0\t2.0\n", "rr"), " 1 2");
  EXPECT_EQ(readItems("-0.0\n-0\n", "r|r"), " 0| 0");
  EXPECT_EQ(readItems("0.000125 -.5 00012.50\n", "rrr"), " 0.000125000006 -0.5 12.5");
  EXPECT_EQ(readItems("1E99999999 -1E99999999 1E-99999999\n", "rrr"), " inf -inf 0");
  EXPECT_EQ(readItems("3.5e38 3.4028235e38\n", "rr"), " inf 3.40282347e+38");
  // Digits beyond the 40 retained are dropped, before and after the point.
  EXPECT_EQ(readItems("12345678901234567890.1234567890123456789012345\n", "r"), " 1.23456794e+19");
  EXPECT_EQ(readItems("0." + std::string(30, '0') + "1" + std::string(45, '7') + "\n", "r"),
            " 1.77777781e-31");
  EXPECT_EQ(readItems("1E100000000\n", "r"), kExponent);
  for (const char* text : {"1.5E \n", "1.5E+\n", "1.5+ \n", "1.5- 2\n", "+-\n"}) {
    EXPECT_EQ(readItems(text, "r"), kExponent) << text;
  }
  for (const char* text : {"+ \n", "- \n", ". \n", "a\n", "\x80\n", "\x01\n", "2**\n", "2*"}) {
    EXPECT_EQ(readItems(text, "r"), kInvalidNumber) << text;
  }
  EXPECT_EQ(readItems("+,\n.,\n", "r|r"), " -| -");
}

TEST(FreeFormReader, EightItemStatements) {
  const std::string eight = "rrrrrrrr";
  struct Case {
    std::string content;
    std::string items;
    std::string values;
  } cases[] = {
      {"3*1.5 4*2.0 9.0\n", eight, " 1.5 1.5 1.5 2 2 2 2 9"},
      {"8*0.0\n", eight, " 0 0 0 0 0 0 0 0"},
      {"10*0.0\n5\n", eight + "|r", " 0 0 0 0 0 0 0 0| 5"},
      {"3*1.5,4\n", "rrrr", " 1.5 1.5 1.5 4"},
      {"3* 5.0 6 7 8 9\n", eight, " - - - 5 6 7 8 9"},
      {"1.0,,3.0 4 5 6 7 8\n", eight, " 1 - 3 4 5 6 7 8"},
      {",1.0 2 3 4 5 6 7\n", eight, " - 1 2 3 4 5 6 7"},
      {"1.0\n,2.0 3 4 5 6 7\n", eight, " 1 - 2 3 4 5 6 7"},
      {"1.0,\n2.0 3 4 5 6 7 8\n", eight, " 1 2 3 4 5 6 7 8"},
      {"1.0 2.0 / 3.0\n4\n", eight + "|r", " 1 2 - - - - - -| 4"},
      {"1 2 3 4 5\n\n6 7 8 9 10 11 12 13\n14\n", eight + "|r", " 1 2 3 4 5 6 7 8| 14"},
      {"1 2 3 4 5 6 7 8 9 10\n11\n", eight + "|r", " 1 2 3 4 5 6 7 8| 11"},
      {"1 2 3 4 5 6\n7 8 9 10 11 12\n13\n", eight + "|r", " 1 2 3 4 5 6 7 8| 13"},
  };
  for (const Case& c : cases) EXPECT_EQ(readItems(c.content, c.items), c.values) << c.content;

  for (const char* text : {"0*1.5\n", "*1.5\n", "-2*1.5\n", "3000000000*1\n"}) {
    EXPECT_EQ(readItems(text, "r"), kRepeat) << text;
  }
  EXPECT_EQ(readItems(std::string(41, '1') + "*1\n", "r"), kRepeat);
}

// Reals read from a full buffer (a first item and its comma fill it, a
// record of blanks follows so that the record scan has its 128 bytes) by
// every route: every way gives the same values.
TEST(FreeFormReader, RoutesAgreeWithTheGeneralPath) {
  struct Case {
    std::string text;
    std::string items;
    std::string values;
  } cases[] = {
      {"  -0.12345", "r", " -0.123450004"},
      {"52.46300,  -2.5", "rr", " 52.4630013 -2.5"},
      {"-.5  5.  +3.25\t\t,7", "rrrr", " -0.5 5 3.25 7"},
      {"-0.000 0.0", "rr", " 0 0"},
      {"12345678.1234567 ", "r", " 12345678"},   // 15 digits
      {"12345678.12345678 ", "r", " 12345678"},  // 16 digits
      {"123456789.5 ", "r", " 123456792"},       // nine before the point
      {"0.000000001 ", "r", " 9.99999972e-10"},  // nine after it
      {", 5", "rr", " - 5"},
      {"1.5\r\n", "r", " 1.5"},
      {"              1.25", "r", " 1.25"},  // beyond the first 16 bytes
      {"1.5/ 7", "rr", " 1.5 -"},
      {"3*2.5", "rr", " 2.5 2.5"},
      {"1e3 -", "rr", std::string(" 1000") + kInvalidNumber},
      // The edges of an older scan of plain reals: eight digits in all, seven blanks
      // either side, the byte that ends the number or the blanks after it.
      {"       -12.34567       8.5", "rr", " -12.3456697 8.5"},
      {"        -12.34567        8.5", "rr", " -12.3456697 8.5"},
      {"1234567.8 1.2345678 ", "rr", " 1234567.75 1.23456776"},
      {"1234567.89 1.23456789 ", "rr", " 1234567.88 1.23456788"},
      {"-0.00000 00.00001,2.5 ,3.5\t4.5 \t5.5", "rrrrrr", " 0 9.99999975e-06 2.5 3.5 4.5 5.5"},
      {"1.5 /", "rr", " 1.5 -"},
      {"1.5  ,,2", "rrr", " 1.5 - 2"},
      {"1.5E1 1.5D1 1.5+1 1.5-1 1.5*2", "rrrrr", " 15 15 15 0.150000006 1.5"},
      {"1.5\r\n2.5 3.5\rX", "rrr", " 1.5 2.5 3.5"},
      {"1.5x", "rr", std::string(" 1.5") + kInvalidNumber},
      {"5. .5 -.5", "rrr", " 5 0.5 -0.5"},
  };
  const std::string tail = "\n" + std::string(130, ' ') + "\n";
  for (const Route way : {Route::fastest, Route::plain, Route::general}) {
    route = way;
    for (const Case& c : cases) {
      EXPECT_EQ(readItems("9," + c.text + tail, "r" + c.items), " 9" + c.values)
          << c.text << " route " << static_cast<int>(way);
    }
  }
  route = Route::fastest;
}

TEST(FreeFormReader, EndOfFileInEachPlace) {
  EXPECT_EQ(readItems("1 2 3 4 5 6 7\n", "rrrrrrrr"), std::string(" 1 2 3 4 5 6 7") + kEof);
  EXPECT_EQ(readItems("1 2 3 4 5 6 7", "rrrrrrrr"), std::string(" 1 2 3 4 5 6 7") + kEof);
  EXPECT_EQ(readItems("1 2 3 4 5 6 7 8", "rrrrrrrr|r"),
            std::string(" 1 2 3 4 5 6 7 8|") + kStartEof);
  EXPECT_EQ(readItems("3*1.5", "rrr"), std::string(" 1.5") + kEof);
  EXPECT_EQ(readItems("3*1.5\n", "rrr"), " 1.5 1.5 1.5");
  EXPECT_EQ(readItems("12\n", "i|i"), std::string(" 12|") + kEof);
  EXPECT_EQ(readItems("12", "i|i"), std::string(" 12|") + kStartEof);
  EXPECT_EQ(readItems("skip\n", "|i"), std::string("|") + kEof);
  EXPECT_EQ(readItems("skip", "|i"), std::string("|") + kStartEof);
  EXPECT_EQ(readItems("", "|"), std::string("|") + kStartEof);
  EXPECT_EQ(readItems("\n\n", "i"), kEof);
}

TEST(FreeFormReader, Conversions) {
  EXPECT_EQ(toInteger(2147483647.9), 2147483647);
  EXPECT_EQ(toInteger(-2147483648.9), -2147483647 - 1);
  EXPECT_EQ(toInteger(-2147483649.0), -2147483647 - 1);
  EXPECT_EQ(toInteger(-0.9), 0);
  EXPECT_EQ(toInteger(INFINITY), -2147483647 - 1);
  EXPECT_EQ(toReal(0x1.fffffefffffffp127), 0x1.fffffep127f);
  EXPECT_EQ(toReal(0x1.ffffffp127), INFINITY);
  EXPECT_EQ(toReal(-1e300), -INFINITY);
  EXPECT_EQ(toReal(1.0000000596046448), 1.0f);  // a tie goes to even
}

}  // namespace
