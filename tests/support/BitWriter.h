#pragma once

// Bit streams written by hand, for fax codes no encoder would produce.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnwell::test {

// Bits as text ("0001 1": blanks ignored), highest bit first; pads with 0 bits to a byte.
class BitWriter {
 public:
  BitWriter& put(std::string_view bits);
  // The bytes; `reversed` reverses every byte (least significant bit first data).
  std::vector<uint8_t> bytes(bool reversed = false) const;
  std::size_t bitCount() const { return bits_.size(); }

 private:
  std::vector<bool> bits_;
};

// The byte with its bits in the opposite order.
uint8_t reversedBits(uint8_t b);

}  // namespace tarnwell::test
