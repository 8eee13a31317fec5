// Formatted input: the edit lists parsed from format texts, one field read
// from its columns, and the records of a unit in turn.
#include "recordio/formatted_input.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "recordio/records.h"
#include "recordio/routes.h"
#include "tests/support/child.h"

namespace {

using recordio::FieldOutcome;
using recordio::Route;

TEST(FormattedInput, EditListsFromFormatTexts) {
  const struct {
    const char* text;
    std::string fields;  // start/width/decimals of each field
    const char* error;
  } cases[] = {
      {"(8f10.6)", "0/10/6 10/10/6 20/10/6 30/10/6 40/10/6 50/10/6 60/10/6 70/10/6", nullptr},
      {"(3F10.3)", "0/10/3 10/10/3 20/10/3", nullptr},
      {" ( 2X, 2E15.7 ,g8 )", "2/15/7 17/15/7 32/8/0", nullptr},
      {"(2(F5.1,1X),D9.2)", "0/5/1 6/5/1 12/9/2", nullptr},
      {"8f10.6", "", "the format does not begin with a parenthesis"},
      {"(8f10.6", "", "the format has no closing parenthesis"},
      {"(8i10)", "", "the format holds an item other than F, E, D, G, X or a group"},
      {"(0f10.6)", "", "a repeat count of 0 in the format"},
      {"(8f.6)", "", "a field of the format has no width"},
      {"(8f10.)", "", "a field of the format has a point but no decimals"},
      {"(200f2.1)", "", "the format has too many fields"},
      {"(99f99.1)", "", "the format is too wide"},
      {"(10X)", "", "the format has no field"},
      {"(8f10.6) x", "", "text follows the format's closing parenthesis"},
      {"(2(2(2(f1))))", "", "the format nests groups too deeply"},
  };
  for (const auto& c : cases) {
    const recordio::EditList list = recordio::parseEditList(c.text, strlen(c.text));
    EXPECT_EQ(list.valid, c.error == nullptr) << c.text;
    if (c.error) {
      EXPECT_STREQ(list.error, c.error) << c.text;
      continue;
    }
    std::string fields;
    for (int i = 0; i < list.fields; ++i) {
      const recordio::EditStep f = list.field(i);
      fields += (i ? " " : "") + std::to_string(f.column) + "/" + std::to_string(f.width) + "/" +
                std::to_string(f.decimals);
    }
    EXPECT_EQ(fields, c.fields) << c.text;
  }
}

TEST(FormattedInput, AFieldReadsAsFreeFormReadsItsNumber) {
  // The field's text, its decimals, and the number it stands for
  // (converted here by the C library), or none.
  const struct {
    const char* field;
    int decimals;
    const char* number;
  } cases[] = {
      {"  -.000010", 6, "-0.000010"},
      {"-388.16600", 5, "-388.166"},
      {"   -388166", 3, "-388.166"},  // no point: the format's decimals
      {"      1234", 0, "1234"},
      {"    1.5E-3", 6, "1.5e-3"},
      {"    1.5d-3", 6, "1.5e-3"},
      {"     1.5-3", 6, "1.5e-3"},
      {"     15E-4", 2, "15e-6"},  // no point: decimals, then the exponent
      {"    1.5+02", 6, "150"},
      {"   +.5    ", 6, "0.5"},
      {"-0.0      ", 6, "0"},
      {"0.10000000000000000000000000000000000000000000001", 0, "0.1"},
      {"1E39", 0, "1e39"},  // infinity in a float
      {"1e-50", 0, "0"},
      {"          ", 6, nullptr},
      {"   1.5E   ", 6, nullptr},
      {"  1.5 2   ", 6, nullptr},
      {"  1.2.3   ", 6, nullptr},
      {"    abc   ", 6, nullptr},
      {"   -.     ", 6, nullptr},
      {"   1E100000000", 0, nullptr},
      {"   E5     ", 0, nullptr},
  };
  for (const auto& c : cases) {
    float value = -7;
    const int width = static_cast<int>(strlen(c.field));
    const FieldOutcome outcome =
        recordio::readRealField(c.field, width, 0, width, c.decimals, value);
    if (!c.number) {
      const bool blank = std::string(c.field).find_first_not_of(' ') == std::string::npos;
      EXPECT_EQ(outcome, blank ? FieldOutcome::blank : FieldOutcome::notNumber) << c.field;
      continue;
    }
    EXPECT_EQ(outcome, FieldOutcome::number) << c.field;
    const double wide = strtod(c.number, nullptr);
    const float expected =
        std::fabs(wide) > FLT_MAX
            ? std::copysign(INFINITY, static_cast<float>(std::signbit(wide) ? -1 : 1))
            : static_cast<float>(wide);
    EXPECT_EQ(std::signbit(value), std::signbit(expected)) << c.field;
    EXPECT_EQ(value, expected) << c.field;
  }
  // Columns of a record: the field's own, the rest of a short record blank.
  float value = 0;
  EXPECT_EQ(recordio::readRealField("-100.00000-200.00000", 20, 10, 10, 5, value),
            FieldOutcome::number);
  EXPECT_EQ(value, -200.0f);
  EXPECT_EQ(recordio::readRealField("  1.0  2.5", 10, 5, 10, 5, value), FieldOutcome::number);
  EXPECT_EQ(value, 2.5f);
  EXPECT_EQ(recordio::readRealField("  1.0", 5, 5, 10, 5, value), FieldOutcome::blank);
}

// The quick way of the commonest fields gives what the general scan gives,
// for fields made mostly of its shape and for any mixture of the bytes a
// number is made of.
TEST(FormattedInput, QuickFieldsReadAsTheGeneralScan) {
  std::mt19937 random(27);
  const std::string kinds[] = {"  -.0123456789", " -+.0123456789Ee\t"};
  for (int i = 0; i < 400000; ++i) {
    const std::string& bytes = kinds[i % 2];
    std::string field(1 + random() % 18, ' ');
    for (char& c : field) c = bytes[random() % bytes.size()];
    const int width = static_cast<int>(field.size());
    const int length = static_cast<int>(random() % (field.size() + 1));  // a record cut short
    float quick = -7, general = -7;
    recordio::route = Route::fastest;
    const FieldOutcome q = recordio::readRealField(field.data(), length, 0, width, 3, quick);
    recordio::route = Route::general;
    const FieldOutcome g = recordio::readRealField(field.data(), length, 0, width, 3, general);
    recordio::route = Route::fastest;
    ASSERT_EQ(q, g) << "'" << field << "' " << length;
    if (q == FieldOutcome::number) {
      ASSERT_EQ(std::bit_cast<uint32_t>(quick), std::bit_cast<uint32_t>(general)) << field;
    }
  }
}

// A record read whole by the record scan gives what its fields read one
// by one give: records of eight fields of ten, most in the scan's shape.
TEST(FormattedInput, RecordsReadWholeAsFieldByField) {
  std::mt19937 random(26);
  constexpr recordio::EditList list = recordio::parseEditList("(8F10.6)");
  char buffer[256];
  for (int i = 0; i < 100000; ++i) {
    std::string text;
    for (int f = 0; f < 8; ++f) {
      char field[32];
      const long units = static_cast<long>(random() % 200000000) - 100000000;
      snprintf(field, sizeof field, "%10.6f", units / (i % 3 == 0 ? 1e6 : 1e8));
      std::string t(field);
      if (random() % 16 == 0) t[random() % t.size()] = " -.5E"[random() % 5];
      text += t.substr(t.size() > 10 ? t.size() - 10 : 0);
    }
    text += random() % 2 ? "\r\n" : "\n";
    memset(buffer, ' ', sizeof buffer);
    memcpy(buffer, text.data(), text.size());
    recordio::InputRecord record;
    record.text = buffer;
    record.length = text.find_first_of("\r\n");
    record.held = sizeof buffer;
    const int count = 1 + static_cast<int>(random() % 8);
    float whole[8], single[8];
    FieldOutcome wholeOutcome = FieldOutcome::number, singleOutcome = FieldOutcome::number;
    recordio::route = Route::general;
    const int b = recordio::readFields(record, list, count, single, singleOutcome);
    for (Route scan : {Route::fastest, Route::plain}) {
      recordio::route = scan;
      const int a = recordio::readFields(record, list, count, whole, wholeOutcome);
      ASSERT_EQ(a, b) << text;
      if (a >= 0) {
        ASSERT_EQ(wholeOutcome, singleOutcome) << text;
      }
      for (int f = 0; f < (a < 0 ? count : a); ++f)
        ASSERT_EQ(std::bit_cast<uint32_t>(whole[f]), std::bit_cast<uint32_t>(single[f])) << text;
    }
  }
  recordio::route = Route::fastest;
}

TEST(FormattedInput, RecordsInTurnWithTheirLineEnds) {
  const std::string name = makeTempDir() + "/records";
  writeFile(name, "");
  prepareLayer();
  connectFileUnit(name, "old");
  const std::string text = "one\r\ntwo\n\nlone\rcr\r\n" + std::string(1500, 'x') + "\nlast";
  recordio::RecordUnit& u = recordio::units[11];
  recordio::readFromMemory(u, text.data(), text.size());
  recordio::RecordReader reader(u);
  recordio::InputRecord r;
  const std::string expected[] = {"one", "two", "", "lone\rcr", std::string(1000, 'x'), "last"};
  for (const std::string& e : expected) {
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(std::string(r.text, r.length), e);
  }
  EXPECT_FALSE(reader.next(r));
  EXPECT_EQ(reader.line(), 6);
  EXPECT_EQ(reader.readError(), 0);
}

TEST(FormattedInput, RecordsPassedOverManyAtATime) {
  // Records of random lengths, some empty, through several read windows.
  std::mt19937 random(7);
  std::string text;
  std::vector<std::string> records;
  while (text.size() < 300000) {
    records.push_back(std::string(random() % 3 == 0 ? 0 : random() % 150, 'x'));
    for (char& c : records.back()) c = static_cast<char>('a' + random() % 26);
    text += records.back() + (random() % 4 == 0 ? "\r\n" : "\n");
  }
  const std::string name = makeTempDir() + "/records";
  writeFile(name, text);
  prepareLayer();
  for (const int64_t step : {1, 2, 63, 64, 65, 1000}) {
    connectFileUnit(name, "old");
    recordio::RecordReader reader(recordio::units[11]);
    recordio::InputRecord r;
    int64_t at = 0;
    for (; at + step < static_cast<int64_t>(records.size()); at += step + 1) {
      ASSERT_TRUE(reader.skip(step)) << step;
      ASSERT_TRUE(reader.next(r));
      ASSERT_EQ(reader.line(), at + step + 1) << step;
      ASSERT_EQ(std::string(r.text, r.length), records[at + step]) << step;
    }
    EXPECT_FALSE(reader.skip(static_cast<int64_t>(records.size()) - at + 1)) << step;
    recordio::DisconnectRequest done;
    done.unit = 11;
    ASSERT_EQ(recordio::disconnectUnit(done), 0);
  }
}

}  // namespace
