#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwell {

// Checked reads of fixed-position fields from a header buffer. Every read reports whether the
// field lies inside the buffer; a field that does not fit leaves the value untouched.
class ByteFields {
 public:
  explicit ByteFields(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  bool fits(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  bool u8(std::size_t offset, uint8_t& v) const {
    if (!fits(offset, 1)) return false;
    v = bytes_[offset];
    return true;
  }
  bool u16le(std::size_t offset, uint16_t& v) const {
    if (!fits(offset, 2)) return false;
    v = static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    return true;
  }
  bool u32le(std::size_t offset, uint32_t& v) const {
    if (!fits(offset, 4)) return false;
    v = static_cast<uint32_t>(bytes_[offset]) | (static_cast<uint32_t>(bytes_[offset + 1]) << 8) |
        (static_cast<uint32_t>(bytes_[offset + 2]) << 16) |
        (static_cast<uint32_t>(bytes_[offset + 3]) << 24);
    return true;
  }
  bool u16be(std::size_t offset, uint16_t& v) const {
    if (!fits(offset, 2)) return false;
    v = static_cast<uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
    return true;
  }
  bool u32be(std::size_t offset, uint32_t& v) const {
    if (!fits(offset, 4)) return false;
    v = (static_cast<uint32_t>(bytes_[offset]) << 24) |
        (static_cast<uint32_t>(bytes_[offset + 1]) << 16) |
        (static_cast<uint32_t>(bytes_[offset + 2]) << 8) | static_cast<uint32_t>(bytes_[offset + 3]);
    return true;
  }
  bool i16le(std::size_t offset, int16_t& v) const {
    uint16_t u = 0;
    if (!u16le(offset, u)) return false;
    v = static_cast<int16_t>(u);
    return true;
  }
  bool i32le(std::size_t offset, int32_t& v) const {
    uint32_t u = 0;
    if (!u32le(offset, u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  // True when the bytes at offset equal `text` (without any terminating zero).
  bool matches(std::size_t offset, std::string_view text) const {
    if (!fits(offset, text.size())) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (bytes_[offset + i] != static_cast<uint8_t>(text[i])) return false;
    }
    return true;
  }
  // The bytes at [offset, offset + length), or an empty span when they do not fit.
  std::span<const uint8_t> slice(std::size_t offset, std::size_t length) const {
    return fits(offset, length) ? bytes_.subspan(offset, length) : std::span<const uint8_t>{};
  }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace tarnwell
