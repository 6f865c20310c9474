#include "pdfout/pdf/pdf_digest.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {
namespace {

// Per-round shift amounts and the sine-derived constants of RFC 1321.
constexpr uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

uint32_t rotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::block(const uint8_t* bytes) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 |
           uint32_t{bytes[4 * i + 2]} << 16 | uint32_t{bytes[4 * i + 3]} << 24;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (uint32_t i = 0; i < 64; ++i) {
    uint32_t f = 0, g = 0;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d); g = i; break;
      case 1: f = (d & b) | (~d & c); g = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
    }
    const uint32_t next = d;
    d = c;
    c = b;
    b += rotateLeft(a + f + kSine[i] + m[g], kShift[i]);
    a = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::update(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  length_ += size;
  while (size > 0) {
    if (pendingSize_ == 0 && size >= 64) {
      block(bytes);
      bytes += 64;
      size -= 64;
      continue;
    }
    const size_t take = std::min(size, sizeof pending_ - pendingSize_);
    std::memcpy(pending_ + pendingSize_, bytes, take);
    pendingSize_ += take;
    bytes += take;
    size -= take;
    if (pendingSize_ == sizeof pending_) {
      block(pending_);
      pendingSize_ = 0;
    }
  }
}

std::array<uint8_t, 16> Md5::finish() {
  const uint64_t bits = length_ * 8;
  static constexpr uint8_t kPad[64] = {0x80};
  update(kPad, pendingSize_ < 56 ? 56 - pendingSize_ : 120 - pendingSize_);
  uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (8 * i));
  update(tail, sizeof tail);
  std::array<uint8_t, 16> digest{};
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));
  return digest;
}

}  // namespace tarnwell
