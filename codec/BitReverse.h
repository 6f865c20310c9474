#pragma once

#include <array>
#include <cstdint>

namespace tarnwell {

// Each byte with its bit order reversed (bit 0 becomes bit 7): turns data stored lowest bit
// first into the highest-bit-first order the decoders read, and back.
inline constexpr std::array<uint8_t, 256> kBitReverse = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) {
      if (i & (1 << b)) r |= 0x80 >> b;
    }
    table[static_cast<std::size_t>(i)] = static_cast<uint8_t>(r);
  }
  return table;
}();

constexpr uint8_t reverseBits(uint8_t byte) { return kBitReverse[byte]; }

// The same for the eight bytes of a word at once, each byte in its place.
constexpr uint64_t reverseBitsOfEachByte(uint64_t word) {
  word = ((word >> 1) & 0x5555555555555555ULL) | ((word & 0x5555555555555555ULL) << 1);
  word = ((word >> 2) & 0x3333333333333333ULL) | ((word & 0x3333333333333333ULL) << 2);
  return ((word >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((word & 0x0F0F0F0F0F0F0F0FULL) << 4);
}

}  // namespace tarnwell
