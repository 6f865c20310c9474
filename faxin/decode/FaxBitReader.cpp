#include "faxin/decode/FaxBitReader.h"

#include "faxin/decode/BitReverse.h"

namespace tarnwell {
namespace {

// Mask of the highest n bits of a 64-bit word (0 <= n <= 64).
uint64_t topBits(int n) { return n <= 0 ? 0 : (n >= 64 ? ~0ULL : ~0ULL << (64 - n)); }

}  // namespace

void FaxBitReader::init(std::span<const uint8_t> data, int bitOrder) {
  data_ = data.data();
  size_ = data_ ? data.size() : 0;
  reverse_ = bitOrder != 1;
  next_ = 0;
  cache_ = 0;
  count_ = 0;
}

void FaxBitReader::refillSlow() {
  while (count_ <= 55 && next_ < size_) {
    uint8_t byte = data_[next_++];
    if (reverse_) byte = kBitReverse[byte];
    cache_ |= static_cast<uint64_t>(byte) << (56 - count_);
    count_ += 8;
  }
}

int FaxBitReader::current() const {
  if (size_ == 0) return kNoData;
  const std::size_t pos = position();
  if (pos >= size_) return kPastEnd;
  return reverse_ ? kBitReverse[data_[pos]] : data_[pos];
}

void FaxBitReader::seekBit(uint64_t bitPos) {
  if (bitPos > bitSize()) bitPos = bitSize();
  next_ = static_cast<std::size_t>(bitPos >> 3);
  cache_ = 0;
  count_ = 0;
  const int skip = static_cast<int>(bitPos & 7);
  if (skip != 0) {
    refill();
    consume(skip);
  }
}

int FaxBitReader::readBits(int n) {
  if (size_ == 0) return kNoData;
  if (n < 1 || n > 8) return kPastEnd;
  refill();
  if (count_ < n) return kPastEnd;
  const int value = static_cast<int>(peek(n));
  consume(n);
  return value;
}

int FaxBitReader::unreadBits(int n) {
  const uint64_t pos = bitPosition();
  if (n < 0) return 0;
  if (static_cast<uint64_t>(n) > pos) {
    seekBit(0);
    return kBeforeStart;
  }
  seekBit(pos - static_cast<uint64_t>(n));
  return 0;
}

void FaxBitReader::alignRow(bool wordAligned) {
  uint64_t pos = bitPosition();
  uint64_t byte = (pos + 7) >> 3;
  if (wordAligned && (byte & 1) != 0) ++byte;
  seekBit(byte * 8);
}

int FaxBitReader::findEol(int mode) {
  if (size_ == 0) return kNoData;
  if (mode == 0) seekBit(0);
  for (;;) {
    refill();
    const int avail = count_;
    if (avail < 12) break;
    // Mark the positions that start eleven 0 bits in a row inside the window.
    const uint64_t z = ~cache_ & topBits(avail);
    const uint64_t two = z & (z << 1);
    const uint64_t four = two & (two << 2);
    const uint64_t eight = four & (four << 4);
    const uint64_t eleven = eight & (two << 8) & (z << 10);
    if (eleven == 0) {
      // No complete run of eleven; keep the last ten bits, which may start one.
      consume(avail - 10);
      continue;
    }
    consume(__builtin_clzll(eleven));
    // Skip the zeros (eleven or more, possibly beyond the window) up to their closing 1.
    for (;;) {
      refill();
      if (count_ == 0) {
        return kPastEnd;
      }
      const uint64_t ones = cache_ & topBits(count_);
      if (ones != 0) {
        consume(__builtin_clzll(ones) + 1);
        return 0;
      }
      consume(count_);
    }
  }
  // Fewer than twelve bits are left: no room for an EOL.
  seekBit(bitSize());
  return kPastEnd;
}

int FaxBitReader::findMarker(int minCount) {
  if (size_ == 0) return kNoData;
  if (minCount < 1) minCount = 1;
  std::size_t pos = position();
  std::size_t run = 0;
  for (; pos < size_; ++pos) {
    if (data_[pos] == 0xFF) {
      ++run;
      continue;
    }
    if (run >= static_cast<std::size_t>(minCount)) break;
    run = 0;
  }
  if (pos >= size_) {
    seekBit(bitSize());
    return kPastEnd;
  }
  // pos is the first byte after the marker and is not 0xFF, so it holds a 0 bit: 1 bits directly
  // behind the marker are taken as part of it.
  seekBit(static_cast<uint64_t>(pos) * 8);
  refill();
  const uint64_t zeros = ~cache_ & topBits(count_);
  consume(__builtin_clzll(zeros));
  return 0;
}

}  // namespace tarnwell
