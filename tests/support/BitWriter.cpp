#include "support/BitWriter.h"

namespace tarnwell::test {

BitWriter& BitWriter::put(std::string_view bits) {
  for (char c : bits) {
    if (c == '0' || c == '1') bits_.push_back(c == '1');
  }
  return *this;
}

std::vector<uint8_t> BitWriter::bytes(bool reversed) const {
  std::vector<uint8_t> out((bits_.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits_.size(); ++i) {
    if (!bits_[i]) continue;
    out[i / 8] |= static_cast<uint8_t>(reversed ? (1 << (i % 8)) : (0x80 >> (i % 8)));
  }
  return out;
}

uint8_t reversedBits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

}  // namespace tarnwell::test
