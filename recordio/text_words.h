// Eight bytes of text held in one 64-bit word, and the decimal digits read
// from such a word, the same on machines of either byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace recordio {

/// Eight bytes of text as one word, the first byte in the lowest bits.
inline uint64_t loadText(const void* p) {
  uint64_t word;
  memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

/// The value of the eight decimal digits in a word of text, the first in
/// the lowest byte; only the low four bits of each byte count, so a byte 0
/// is the digit 0.  Pairs, fours, then the eight at once, each step one
/// multiplication.
inline uint64_t eightDigitValue(uint64_t text) {
  uint64_t v = ((text & 0x0f0f0f0f0f0f0f0f) * (10 * 256 + 1)) >> 8;
  v = ((v & 0x00ff00ff00ff00ff) * (100 * 65536 + 1)) >> 16;
  return ((v & 0x0000ffff0000ffff) * (10000 * (uint64_t{1} << 32) + 1)) >> 32;
}

}  // namespace recordio
