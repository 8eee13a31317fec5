// Every real of the records' own shapes, read with the record scan (by
// bit masks where the processor has them, and byte by byte) and with the
// general path alone: the same value, bit for bit, and the same read
// position after each statement.  The shapes are the maximum record's and
// the sample record's descriptions (F10.5, magnitudes below 100, and
// F10.3, below 10000), each number with both signs.  Then records
// of fixed columns of every width the record scan takes, with either line
// end, some spoilt by a byte, read every way in a child: the same values,
// the same positions and the same end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "recordio/freeform_input.h"
#include "recordio/records.h"
#include "recordio/routes.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

// Fields of `shape` for the numbers first to last - 1, each once positive
// and once negative, as many to a record as the shape has.
std::string records(int64_t first, int64_t last, const EditList& shape) {
  const int decimals = shape.field(0).decimals, width = shape.field(0).width;
  std::string text;
  int64_t power = 1;
  for (int i = 0; i < decimals; ++i) power *= 10;
  int placed = 0;
  for (int64_t n = first; n < last; ++n) {
    std::string fraction = std::to_string(n % power);
    fraction.insert(0, decimals - fraction.size(), '0');
    for (const char* sign : {"", "-"}) {
      const std::string number = sign + std::to_string(n / power) + "." + fraction;
      text += std::string(width - number.size(), ' ') + number;
      if (++placed % shape.fields == 0) text += '\n';
    }
  }
  return text;
}

// Every number a field of `shape` holds with a blank and a minus sign
// before it, up to ten million.
int64_t numbersOf(const EditList& shape) {
  int64_t count = 1;
  for (int i = 3; i < shape.field(0).width && count < 10000000; ++i) count *= 10;
  return count;
}

// Reads `text` through unit 11 in statements of a record's real items:
// the bits of every item, then the read position after each statement.
std::vector<uint32_t> readBack(const std::string& text, Route way, const EditList& shape) {
  route = way;
  readFromMemory(units[11], text.data(), text.size());
  std::vector<uint32_t> seen;
  for (size_t record = 0; record < text.size() / (shape.columns + 1); ++record) {
    FreeFormReader::start(11);
    for (int i = 0; i < shape.fields; ++i) {
      float item = -1;
      FreeFormReader::getReal(item);
      seen.push_back(std::bit_cast<uint32_t>(item));
    }
    FreeFormReader::finish();
    seen.push_back(static_cast<uint32_t>(readPosition(units[11])));
  }
  return seen;
}

TEST(ShapedScan, EveryValueOfTheRecordShapesReadsAsTheGeneralPath) {
  const std::string dir = makeTempDir();
  const std::string empty = dir + "/empty.txt";
  writeFile(empty, "");
  ChildResult r = runInChild([&] {
    prepareLayer();
    connectFileUnit(empty, "old");
    long long values = 0, differences = 0;
    for (const EditList& shape : {kBenchmarkRecord, kSampleRecord}) {
      const int64_t count = numbersOf(shape);
      const int64_t chunk = 4000 * shape.fields;  // numbers a piece, whole records
      for (int64_t first = 0; first < count; first += chunk) {
        const std::string text = records(first, std::min(count, first + chunk), shape);
        const std::vector<uint32_t> general = readBack(text, Route::general, shape);
        values += 2 * (std::min(count, first + chunk) - first);
        for (const Route way : {Route::fastest, Route::plain}) {
          const std::vector<uint32_t> scanned = readBack(text, way, shape);
          if (scanned != general && differences++ < 5) {
            size_t at = 0;
            while (at < scanned.size() && scanned[at] == general[at]) ++at;
            printf("numbers from %lld, %d decimals, route %d: entry %zu differs\n",
                   static_cast<long long>(first), shape.field(0).decimals, static_cast<int>(way),
                   at);
          }
        }
      }
    }
    printf("%lld values, %lld readings differ\n", values, differences);
  });
  unlink(empty.c_str());
  rmdir(dir.c_str());
  const int64_t values = 2 * (numbersOf(kBenchmarkRecord) + numbersOf(kSampleRecord));
  EXPECT_EQ(r.out, std::to_string(values) + " values, 0 readings differ\n") << r.err;
}

int pick(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

// A record of `count` fields of `width` characters with `decimals`
// digits after the point: a blank, then blanks, a minus sign or none and
// digits, the point and the decimals, then `lineEnd`; now and then one
// byte spoilt.
std::string columnRecord(std::mt19937& random, int width, int decimals, int count,
                         const std::string& lineEnd) {
  std::string text;
  for (int f = 0; f < count; ++f) {
    const int room = width - decimals - 2;
    const int digits = pick(random, 0, room);
    const bool minus = digits < room && pick(random, 0, 1) == 1;
    text += std::string(1 + room - digits - minus, ' ');
    if (minus) text += '-';
    for (int i = 0; i < digits; ++i) text += static_cast<char>('0' + pick(random, 0, 9));
    text += '.';
    for (int i = 0; i < decimals; ++i) text += static_cast<char>('0' + pick(random, 0, 9));
  }
  if (pick(random, 0, 29) == 0) {
    // Mostly bytes that any place takes; those that may end the reading
    // in some places, now and then.
    static const std::string kSpoilers = "09\t,\n/";
    static const std::string kEnders = " -+.\rex*";
    const std::string& from = pick(random, 0, 9) == 0 ? kEnders : kSpoilers;
    text[pick(random, 0, static_cast<int>(text.size()) - 1)] =
        from[pick(random, 0, static_cast<int>(from.size()) - 1)];
  }
  return text + lineEnd;
}

TEST(RecordScan, RecordsOfFixedColumnsReadAsTheGeneralPath) {
  const std::string dir = makeTempDir();
  const std::string empty = dir + "/empty.txt";
  writeFile(empty, "");
  std::mt19937 random(20261210);
  int compared = 0;
  size_t statements = 0;
  for (int trial = 0; trial < 300; ++trial) {
    // Runs of records of one layout and line end, as files have them; now
    // and then a width, count or decimals that the record scan does not
    // take.
    std::string text;
    while (text.size() < 20000) {
      const int width = pick(random, 3, pick(random, 0, 9) == 0 ? 12 : 10);
      const int decimals = pick(random, 1, width - 2);
      const int count = pick(random, 1, pick(random, 0, 9) == 0 ? 17 : 16);
      const std::string lineEnd = pick(random, 0, 2) == 0 ? "\r\n" : "\n";
      for (int run = pick(random, 1, 40); run > 0; --run)
        text += columnRecord(random, width, decimals, count, lineEnd);
    }
    // Statements of 0 to 12 real items, as many as the text holds.
    const unsigned itemsSeed = random();
    const auto readEveryWay = [&](Route way) {
      return runInChild([&] {
        prepareLayer();
        connectFileUnit(empty, "old");
        route = way;
        readFromMemory(units[11], text.data(), text.size());
        std::mt19937 items(itemsSeed);
        for (int statement = 0; statement < 40000; ++statement) {
          FreeFormReader::start(11);
          for (int i = std::uniform_int_distribution<int>(0, 12)(items); i > 0; --i) {
            float item = -1;
            FreeFormReader::getReal(item);
            printf("%08x ", std::bit_cast<uint32_t>(item));
          }
          FreeFormReader::finish();
          printf("@%lld\n", static_cast<long long>(readPosition(units[11])));
        }
      });
    };
    const ChildResult general = readEveryWay(Route::general);
    for (const Route way : {Route::fastest, Route::plain}) {
      const ChildResult other = readEveryWay(way);
      ++compared;
      statements += std::count(other.out.begin(), other.out.end(), '@');
      EXPECT_TRUE(other.out == general.out && other.err == general.err &&
                  other.exitCode == general.exitCode && other.signal == general.signal)
          << "trial " << trial << ", route " << static_cast<int>(way) << ": " << other.err;
    }
  }
  EXPECT_EQ(compared, 600);
  EXPECT_GT(statements, 100000u);  // a spoilt byte ends a text early only now and then
  unlink(empty.c_str());
  rmdir(dir.c_str());
}

}  // namespace
