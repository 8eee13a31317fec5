// Feeds arbitrary bytes to the fast conversions and to the C library's,
// and traps on any difference.  Byte 0 chooses: even, a float pattern, its
// decimals and a field width; odd, a decimal number's sign, digits and
// exponent.
#include <bit>
#include <cstring>
#include <string>

#include "tests/support/reference_conversions.h"

namespace {

template <typename T>
T take(const uint8_t*& data, size_t& size) {
  T value{};
  const size_t n = size < sizeof value ? size : sizeof value;
  memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

void checkFixed(const uint8_t* data, size_t size) {
  const float value = std::bit_cast<float>(take<uint32_t>(data, size));
  const int decimals = take<uint8_t>(data, size) % 13;
  const int width = 1 + take<uint8_t>(data, size) % 24;
  char text[recordio::kFixedTextSize];
  const int length = recordio::fixedPointText(value, decimals, text);
  if (std::string(text, length) != referenceFixedText(value, decimals)) __builtin_trap();
  if (fixedField(value, width, decimals) != referenceFixedField(value, width, decimals)) {
    __builtin_trap();
  }
}

void checkDecimal(const uint8_t* data, size_t size) {
  const uint8_t shape = take<uint8_t>(data, size);
  const int64_t exponent = take<int64_t>(data, size) >> (shape & 63);
  char digits[40];
  int count = 0;
  while (size > 0 && count < 40)
    digits[count++] = static_cast<char>('0' + take<uint8_t>(data, size) % 10);
  if (count == 0 || digits[0] == '0' || digits[count - 1] == '0')
    return;  // not what the reader passes
  const bool negative = shape & 64;
  const double fast = recordio::decimalToDouble(negative, digits, count, exponent);
  const double reference = referenceDecimal(negative, digits, count, exponent);
  if (std::bit_cast<uint64_t>(fast) != std::bit_cast<uint64_t>(reference)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    checkFixed(data + 1, size - 1);
  } else {
    checkDecimal(data + 1, size - 1);
  }
  return 0;
}
