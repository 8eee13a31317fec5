// Feeds arbitrary bytes as a component file through the real reader.
#include "conversion/component_reader.h"
#include "tests/fuzz/fuzz_unit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (setjmp(failureEscape) == 0) {
    connectInput(data, size);
    conversion::readComponent(conversion::x);
  }
  disconnectInput();
  return 0;
}
