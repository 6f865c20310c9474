#include "codec/FaxRowPaint.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {

namespace {

// Sets the bits [from, to) of a row to 1 (highest bit first). The caller keeps to within the row.
void setBitRange(uint8_t* row, int64_t from, int64_t to) {
  if (from >= to) return;
  std::size_t first = static_cast<std::size_t>(from >> 3);
  const std::size_t last = static_cast<std::size_t>((to - 1) >> 3);
  const uint8_t headMask = static_cast<uint8_t>(0xFF >> (from & 7));
  const uint8_t tailMask = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (first == last) {
    row[first] |= headMask & tailMask;
    return;
  }
  row[first++] |= headMask;
  if (last > first) std::memset(row + first, 0xFF, last - first);
  row[last] |= tailMask;
}

// Sets the bits [from, to) of a row of rowBytes bytes, byte by byte with whole-byte fills.
void paintRowBytes(std::span<const int32_t> changes, int64_t end, int photometric,
                   std::span<uint8_t> row, std::size_t rowBytes) {
  std::memset(row.data(), 0, rowBytes);
  // Runs of colour c get 1 bits when c XOR photometric is 0: with photometric 0 the white runs
  // (even run indices), with photometric 1 the black ones.
  const std::size_t firstRun = photometric == 0 ? 0 : 1;
  int64_t runStart = 0;
  for (std::size_t i = 0; i <= changes.size(); ++i) {
    const int64_t runEnd = i < changes.size() ? std::min<int64_t>(changes[i], end) : end;
    if ((i & 1) == firstRun) setBitRange(row.data(), runStart, runEnd);
    runStart = std::max(runStart, runEnd);
    if (runStart >= end) break;
  }
}

// Sets bits [from, to) in an array of 64-bit words, bit 0 being the highest of word 0.
inline void setWordBits(uint64_t* words, int64_t from, int64_t to) {
  while (from < to) {
    const int offset = static_cast<int>(from & 63);
    const int64_t span = std::min<int64_t>(to - from, 64 - offset);
    const uint64_t ones = span >= 64 ? ~0ULL : (1ULL << span) - 1;
    words[from >> 6] |= ones << (64 - offset - span);
    from += span;
  }
}

}  // namespace

void paintRow(std::span<const int32_t> changes, int64_t length, int32_t width, int photometric,
              std::span<uint8_t> row) {
  const int64_t rowWidth = std::clamp<int64_t>(width, 0, static_cast<int64_t>(row.size()) * 8);
  const std::size_t rowBytes = static_cast<std::size_t>((rowWidth + 7) / 8);
  const int64_t end = std::clamp<int64_t>(length, 0, rowWidth);
  // Rows up to this many pixels are painted in 64-bit words held on the stack.
  constexpr std::size_t kMaxWords = 256;
  const std::size_t wordCount = static_cast<std::size_t>((rowWidth + 63) / 64);
  if (wordCount > kMaxWords) {
    paintRowBytes(changes, end, photometric, row, rowBytes);
    return;
  }
  // Mark the black pixels (odd runs: from changes[0] to changes[1], ...), up to `end`.
  uint64_t black[kMaxWords];
  std::memset(black, 0, wordCount * 8);
  const std::size_t n = changes.size();
  for (std::size_t i = 0; i < n; i += 2) {
    const int64_t from = std::min<int64_t>(changes[i], end);
    const int64_t to = i + 1 < n ? std::min<int64_t>(changes[i + 1], end) : end;
    setWordBits(black, from, to);
  }
  // 1 bits where colour XOR photometric is 0; pixels at or past `end` stay 0.
  for (std::size_t k = 0; k < wordCount; ++k) {
    uint64_t value = black[k];
    if (photometric == 0) {
      const int64_t valid = end - static_cast<int64_t>(k) * 64;
      const uint64_t inside = valid >= 64 ? ~0ULL : (valid <= 0 ? 0 : ~0ULL << (64 - valid));
      value = ~value & inside;
    }
    value = __builtin_bswap64(value);
    const std::size_t offset = k * 8;
    std::memcpy(row.data() + offset, &value, std::min<std::size_t>(8, rowBytes - offset));
  }
}

}  // namespace tarnwell
