// The fast conversions against the C library's, value for value: the
// fixed-point text and field against "%#.*f", the decimal reader's
// conversion against strtod.  Over a million values of each per run, drawn
// to reach every exponent range, the exact ties, the field boundaries,
// powers of ten, subnormals and the non-finite values.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "recordio/records.h"
#include "recordio/routes.h"
#include "recordio/units.h"
#include "tests/support/reference_conversions.h"

namespace {

std::vector<float> fixedPointValues() {
  std::vector<float> values = {0.0f,  -0.0f,         INFINITY,     -INFINITY,       NAN,
                               -NAN,  999.9995f,     999999.9375f, -99999.9921875f, 0.0625f,
                               1e10f, 9999999999.0f, 1e-45f,       1.17549435e-38f};
  std::mt19937_64 random(20261209);
  // Every bit pattern is as likely as any other: all exponents, subnormals, NaNs.
  for (int i = 0; i < 500000; ++i)
    values.push_back(std::bit_cast<float>(static_cast<uint32_t>(random())));
  // Values the table meets: below 10^7 in magnitude, with their neighbours.
  std::uniform_real_distribution<float> moderate(-1e7f, 1e7f);
  for (int i = 0; i < 400000; ++i) values.push_back(moderate(random) / std::pow(10.0f, i % 8));
  // Exact ties of three decimals: odd sixteenths, and odd 2^-k for more.
  for (int k = 1; k < 200000; k += 2) values.push_back(k / 16.0f);
  for (int k = 1; k < 40000; k += 2) values.push_back(k / 128.0f);
  // Powers of ten and the field boundaries, a few steps either way.
  std::vector<float> anchors = {999.9995f, 999999.9375f, -99999.9921875f, 999.9994f, -99.9996f};
  for (int e = -45; e <= 38; ++e) anchors.push_back(std::pow(10.0f, static_cast<float>(e)));
  for (float anchor : anchors) {
    float up = anchor, down = anchor;
    for (int step = 0; step < 200; ++step) {
      values.push_back(up = std::nextafter(up, INFINITY));
      values.push_back(down = std::nextafter(down, -INFINITY));
      values.push_back(-up);
    }
  }
  return values;
}

TEST(ConversionEquality, FixedPointTextAndFieldEqualTheCLibrary) {
  const std::vector<float> values = fixedPointValues();
  ASSERT_GE(values.size(), 1000000u);
  int differences = 0;
  for (size_t i = 0; i < values.size() && differences < 10; ++i) {
    const float v = values[i];
    char text[recordio::kFixedTextSize];
    const int decimals = i % 4 == 0 ? static_cast<int>(i / 4 % 11) : 3;
    const std::string fastText(text, recordio::fixedPointText(v, decimals, text));
    // The table's widths most often, and the narrower and wider ones
    // where the short fields cut or pad their text.
    constexpr int kWidths[] = {7, 10, 7, 10, 5, 6, 8, 16};
    const int width = kWidths[i % 8];
    const std::string field = fixedField(v, width, 3);
    if (fastText != referenceFixedText(v, decimals) || field != referenceFixedField(v, width, 3)) {
      ++differences;
      ADD_FAILURE() << std::hexfloat << v << " with " << decimals << " decimals: " << fastText
                    << " != " << referenceFixedText(v, decimals) << "; width " << width << ": ["
                    << field << "] != [" << referenceFixedField(v, width, 3) << "]";
    }
  }
}

// The rows of the table writer, whose fields take the tables' quick way
// (the row placed whole, its texts made four at once or one at a time)
// and fall back to the walk, against the rows built from the C
// library's fields: the same values in every column.
TEST(ConversionEquality, TableRowsEqualTheCLibrary) {
  const std::vector<float> values = fixedPointValues();
  constexpr size_t kFields = recordio::kRowFieldCount;
  const size_t rows = values.size() / kFields;
  // The rows go to a file of the working folder through unit 12, as the
  // table does, and are read back whole.
  const std::string name = "cdmg2csv-rows-" + std::to_string(values.size()) + ".tmp";
  std::remove(name.c_str());
  recordio::prepareRecordIO();
  recordio::ConnectRequest connect;
  connect.unit = 12;
  connect.file = name.c_str();
  connect.filelen = static_cast<int32_t>(name.size());
  connect.stat = "unknown";
  ASSERT_EQ(recordio::connectUnit(connect), 0);
  // Every other row has its four field texts made one at a time.
  for (size_t row = 0; row < rows; ++row) {
    recordio::route = row % 2 == 0 ? recordio::Route::fastest : recordio::Route::plain;
    recordio::FixedRowWriter::start(12);
    for (size_t i = kFields * row; i < kFields * (row + 1); ++i)
      recordio::FixedRowWriter::putReal(values[i]);
    recordio::FixedRowWriter::finish();
  }
  recordio::route = recordio::Route::fastest;
  recordio::DisconnectRequest disconnect;
  disconnect.unit = 12;
  ASSERT_EQ(recordio::disconnectUnit(disconnect), 0);
  std::string written;
  if (FILE* file = std::fopen(name.c_str(), "rb")) {
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
      written.append(chunk, got);
    std::fclose(file);
  }
  std::remove(name.c_str());
  // Where lines end in CR LF, as on Windows, they are compared as LF.
  if (written.find('\r') != std::string::npos) {
    std::string plain;
    for (size_t at = 0; at < written.size(); ++at) {
      if (!(written[at] == '\r' && at + 1 < written.size() && written[at + 1] == '\n'))
        plain += written[at];
    }
    written = plain;
  }
  std::string expected;
  const recordio::EditList& list = recordio::kRowEditList;
  for (size_t row = 0, i = 0; row < rows; ++row) {
    for (int step = 0; step < list.length; ++step) {
      const recordio::EditStep& s = list.steps[step];
      expected += s.isField ? referenceFixedField(values[i++], s.width, s.decimals)
                            : std::string(1, s.text);
    }
    expected += "\n";
  }
  ASSERT_EQ(written.size(), expected.size());
  constexpr size_t kRow = recordio::kRowLength;
  for (size_t at = 0; at < expected.size(); at += kRow) {
    if (written.compare(at, kRow, expected, at, kRow) != 0) {
      ADD_FAILURE() << "row " << at / kRow << ": [" << written.substr(at, kRow - 1) << "] != ["
                    << expected.substr(at, kRow - 1) << "]";
      break;
    }
  }
}

TEST(ConversionEquality, DecimalToDoubleEqualsStrtod) {
  std::mt19937_64 random(99);
  // Exponent ranges: the exact-power path, its edges, the double range's
  // edges, and the clamp of the text.
  const int64_t centres[] = {0,   22,   -22,  15,   -30,       290,
                             308, -308, -324, -345, 999999999, -999999999};
  int checked = 0, differences = 0;
  char digits[40];
  for (int i = 0; i < 1000000 && differences < 10; ++i) {
    const int count =
        i % 3 == 0 ? 1 + static_cast<int>(random() % 40) : 1 + static_cast<int>(random() % 17);
    for (int d = 0; d < count; ++d) digits[d] = static_cast<char>('0' + random() % 10);
    digits[0] = static_cast<char>('1' + random() % 9);
    if (digits[count - 1] == '0') digits[count - 1] = '1';  // the reader drops trailing zeros
    const int64_t centre = centres[random() % std::size(centres)];
    int64_t exponent =
        centre + static_cast<int64_t>(random() % 61) - 30 - (centre > 300 ? count : 0);
    if (i % 1000 == 0) exponent = static_cast<int64_t>(random()) >> (random() % 64);  // anything
    const bool negative = random() & 1;
    const double fast = recordio::decimalToDouble(negative, digits, count, exponent);
    const double reference = referenceDecimal(negative, digits, count, exponent);
    ++checked;
    if (std::bit_cast<uint64_t>(fast) != std::bit_cast<uint64_t>(reference)) {
      ++differences;
      char text[64];
      recordio::decimalText(negative, digits, count, exponent, text);
      ADD_FAILURE() << text << ": " << std::hexfloat << fast << " != " << reference;
    }
  }
  EXPECT_EQ(checked, 1000000);
}

}  // namespace
