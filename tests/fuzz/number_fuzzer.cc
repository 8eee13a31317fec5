// Feeds arbitrary bytes to the free-form number reader: the first two
// bytes choose the items of each statement, the rest is the file.
#include "recordio/freeform_input.h"
#include "tests/fuzz/fuzz_unit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int items = 1 + data[0] % 9;  // 1 to 9 items, 9 leaves none
  const uint8_t kinds = data[1];      // bit i: item i is an integer
  if (setjmp(failureEscape) == 0) {
    connectInput(data + 2, size - 2);
    for (int statement = 0; statement < 64; ++statement) {
      recordio::FreeFormReader::start(11);
      for (int i = 0; i < items % 9; ++i) {
        int32_t integer = 0;
        float real = 0;
        if (kinds >> (i % 8) & 1) {
          recordio::FreeFormReader::getInteger(integer);
        } else {
          recordio::FreeFormReader::getReal(real);
        }
      }
      recordio::FreeFormReader::finish();
    }
  }
  disconnectInput();
  return 0;
}
