#pragma once

// A test-only TIFF byte writer for structures libtiff would never write: looping chains, strip
// tables pointing outside the file, "FF" marks, thousands of directories.

#include <cstdint>
#include <vector>

namespace tarnwell::testing {

struct RawEntry {
  uint16_t tag;
  uint16_t type;  // 3 SHORT, 4 LONG, 5 RATIONAL
  uint32_t count;
  uint32_t value;  // for SHORT with count <= 2: first value; see value2
  uint16_t value2 = 0;
};

class TiffBytes {
 public:
  explicit TiffBytes(bool bigEndian, uint16_t mark = 0) : big_(bigEndian) {
    uint16_t m = mark ? mark : (bigEndian ? 0x4D4D : 0x4949);
    bytes_ = {static_cast<uint8_t>(m & 0xFF), static_cast<uint8_t>(m >> 8)};
    put16(42);
    put32(0);
  }

  std::size_t size() const { return bytes_.size(); }
  std::vector<uint8_t>& bytes() { return bytes_; }

  void pad() { if (bytes_.size() % 2) bytes_.push_back(0); }

  uint32_t append(const std::vector<uint8_t>& data) {
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
  }
  uint32_t append32s(const std::vector<uint32_t>& values) {
    pad();
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    for (uint32_t v : values) put32(v);
    return at;
  }
  uint32_t appendRational(uint32_t num, uint32_t den) { return append32s({num, den}); }

  // Appends a directory; returns its position. The next-directory link is 0 until linked.
  uint32_t directory(const std::vector<RawEntry>& entries) {
    pad();
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    put16(static_cast<uint16_t>(entries.size()));
    for (const RawEntry& e : entries) {
      put16(e.tag);
      put16(e.type);
      put32(e.count);
      if (e.type == 3 && e.count <= 2) {
        put16(static_cast<uint16_t>(e.value));
        put16(e.value2);
      } else {
        put32(e.value);
      }
    }
    put32(0);
    return at;
  }
  // Makes the directory at `from` (or the header when from is 0) point at `to`.
  void link(uint32_t from, uint32_t to) {
    std::size_t at = 4;
    if (from != 0) at = from + 2 + 12 * size_t{get16(from)};
    set32(at, to);
  }

  void put16(uint16_t v) {
    if (big_) { bytes_.push_back(v >> 8); bytes_.push_back(v & 0xFF); }
    else { bytes_.push_back(v & 0xFF); bytes_.push_back(v >> 8); }
  }
  void put32(uint32_t v) {
    if (big_) { put16(v >> 16); put16(v & 0xFFFF); }
    else { put16(v & 0xFFFF); put16(v >> 16); }
  }
  uint16_t get16(std::size_t at) const {
    return big_ ? static_cast<uint16_t>((bytes_[at] << 8) | bytes_[at + 1])
                : static_cast<uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  void set32(std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      int shift = big_ ? 24 - 8 * i : 8 * i;
      bytes_[at + i] = static_cast<uint8_t>(v >> shift);
    }
  }

 private:
  bool big_;
  std::vector<uint8_t> bytes_;
};

// Entries of a one-strip fax page of the given compression whose data sits at dataAt.
inline std::vector<RawEntry> faxPageEntries(uint32_t width, uint32_t length, uint16_t compression,
                                            uint32_t dataAt, uint32_t dataSize, uint32_t xresAt,
                                            uint32_t options = 0) {
  std::vector<RawEntry> e = {
      {256, 4, 1, width},       {257, 4, 1, length},       {258, 3, 1, 1},
      {259, 3, 1, compression}, {262, 3, 1, 0},            {266, 3, 1, 1},
      {273, 4, 1, dataAt},      {278, 4, 1, length},       {279, 4, 1, dataSize},
      {282, 5, 1, xresAt},      {283, 5, 1, xresAt},       {296, 3, 1, 2},
  };
  if (compression == 3) e.push_back({292, 4, 1, options});
  if (compression == 4) e.push_back({293, 4, 1, options});
  return e;
}

}  // namespace tarnwell::testing
