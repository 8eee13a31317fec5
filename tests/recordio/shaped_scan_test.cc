// Every real of the records' own shapes, read with the shaped scan (by
// bit masks where the processor has them, and by words) and with the
// general path alone: the same value, bit for bit, and the same read
// position after each statement.  The shapes are the maximum
// record's (F10.5 fields, magnitudes below 100) and the sample record's
// (F10.3, below 1000), each number with both signs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recordio/freeform_input.h"
#include "recordio/records.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

constexpr int kFieldWidth = 10;
constexpr int kPerRecord = 8;

// Fields for the numbers first to last - 1 with `decimals` digits after
// the point, each once positive and once negative, eight to a record.
std::string records(int64_t first, int64_t last, int decimals) {
  std::string text;
  int64_t power = 1;
  for (int i = 0; i < decimals; ++i) power *= 10;
  int placed = 0;
  for (int64_t n = first; n < last; ++n) {
    std::string fraction = std::to_string(n % power);
    fraction.insert(0, decimals - fraction.size(), '0');
    for (const char* sign : {"", "-"}) {
      const std::string number = sign + std::to_string(n / power) + "." + fraction;
      text += std::string(kFieldWidth - number.size(), ' ') + number;
      if (++placed % kPerRecord == 0) text += '\n';
    }
  }
  return text;
}

// Reads `text` through unit 11 in statements of eight real items: the
// bits of every item, then the read position after each statement.
std::vector<uint32_t> readBack(const std::string& text, bool shaped, bool masks) {
  FreeFormReader::useBufferScan = FreeFormReader::useShapedScan = shaped;
  FreeFormReader::useShortScan = masks;
  readFromMemory(units[11], text.data(), text.size());
  std::vector<uint32_t> seen;
  for (size_t record = 0; record < text.size() / (kPerRecord * kFieldWidth + 1); ++record) {
    FreeFormReader::start(11);
    for (int i = 0; i < kPerRecord; ++i) {
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
    const struct {
      int64_t count;
      int decimals;
    } shapes[] = {{10000000, 5}, {1000000, 3}};
    long long values = 0, differences = 0;
    for (const auto& shape : shapes) {
      constexpr int64_t kChunk = 40000;  // numbers a piece, a whole number of records
      for (int64_t first = 0; first < shape.count; first += kChunk) {
        const std::string text = records(first, first + kChunk, shape.decimals);
        const std::vector<uint32_t> general = readBack(text, false, false);
        values += 2 * kChunk;
        for (const bool masks : {true, false}) {
          const std::vector<uint32_t> shaped = readBack(text, true, masks);
          if (shaped != general && differences++ < 5) {
            size_t at = 0;
            while (at < shaped.size() && shaped[at] == general[at]) ++at;
            printf("numbers from %lld, %d decimals, masks %d: entry %zu differs\n",
                   static_cast<long long>(first), shape.decimals, masks, at);
          }
        }
      }
    }
    printf("%lld values, %lld readings differ\n", values, differences);
  });
  unlink(empty.c_str());
  rmdir(dir.c_str());
  EXPECT_EQ(r.out, "22000000 values, 0 readings differ\n") << r.err;
}

}  // namespace
