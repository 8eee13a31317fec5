// Feeds arbitrary bytes to the free-form number reader: the first two
// bytes choose the items of each statement, the rest is the file.  Each
// input is read by every route: the record scan by bit masks where the
// processor has them, the record scan byte by byte, and the general path
// alone.  Any difference in the values, in where a failure came or in
// how far the file was read traps.
#include <bit>
#include <cstdio>
#include <vector>

#include "recordio/freeform_input.h"
#include "recordio/records.h"
#include "recordio/routes.h"
#include "tests/fuzz/fuzz_unit.h"

namespace {

struct Outcome {
  std::vector<uint32_t> items;  // every item after its read, as bits
  bool failed = false;
  long position = -1;  // where the reader stood at the end (or the failure)

  bool operator==(const Outcome&) const = default;
};

Outcome readAll(const uint8_t* data, size_t size, recordio::Route route) {
  const int items = 1 + data[0] % 9;  // 1 to 9 items, 9 leaves none
  const uint8_t kinds = data[1];      // bit i: item i is an integer
  recordio::route = route;
  // Kept outside the jump: what is read before a failure counts too.
  static Outcome outcome;
  outcome = Outcome{};
  if (setjmp(failureEscape) == 0) {
    connectInput(data + 2, size - 2);
    for (int statement = 0; statement < 64; ++statement) {
      recordio::FreeFormReader::start(11);
      for (int i = 0; i < items % 9; ++i) {
        int32_t integer = 0x5a5a5a5a;
        float real = -1.25f;
        if (kinds >> (i % 8) & 1) {
          recordio::FreeFormReader::getInteger(integer);
          outcome.items.push_back(static_cast<uint32_t>(integer));
        } else {
          recordio::FreeFormReader::getReal(real);
          outcome.items.push_back(std::bit_cast<uint32_t>(real));
        }
      }
      recordio::FreeFormReader::finish();
    }
  } else {
    outcome.failed = true;
  }
  const recordio::RecordUnit& unit = recordio::units[11];
  outcome.position = recordio::readPosition(unit);
  disconnectInput();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const Outcome general = readAll(data, size, recordio::Route::general);
  for (const recordio::Route way : {recordio::Route::fastest, recordio::Route::plain}) {
    if (!(readAll(data, size, way) == general)) __builtin_trap();
  }
  return 0;
}
