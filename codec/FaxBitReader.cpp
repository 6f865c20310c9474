#include "codec/FaxBitReader.h"

#include "codec/BitReverse.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {
namespace {

// Mask of the highest n bits of a 64-bit word (0 <= n <= 64).
uint64_t topBits(int n) { return n <= 0 ? 0 : (n >= 64 ? ~0ULL : ~0ULL << (64 - n)); }

}  // namespace

std::size_t MemoryByteSource::read(uint64_t at, std::span<uint8_t> into) {
  if (at >= bytes_.size()) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(into.size(), bytes_.size() - at));
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
  return n;
}

void FaxBitReader::init(std::span<const uint8_t> data, int bitOrder) {
  data_ = data.data();
  size_ = data_ ? data.size() : 0;
  reverse_ = bitOrder != 1;
  next_ = 0;
  cache_ = 0;
  count_ = 0;
  source_ = nullptr;
  window_.reset();
  base_ = 0;
  total_ = 0;
}

void FaxBitReader::init(FaxByteSource& source, int bitOrder, std::size_t windowBytes) {
  const std::span<const uint8_t> inMemory = source.inMemory();
  if (!inMemory.empty() || source.size() == 0) {
    init(inMemory, bitOrder);
    return;
  }
  init(std::span<const uint8_t>(), bitOrder);
  source_ = &source;
  total_ = source.size();
  window_ = std::make_shared<std::vector<uint8_t>>(
      static_cast<std::size_t>(std::min<uint64_t>(std::max<std::size_t>(windowBytes, 8), total_)));
  moveWindow(0);
}

void FaxBitReader::moveWindow(uint64_t at) {
  if (source_ == nullptr || !window_) return;
  std::vector<uint8_t>& window = *window_;
  at = std::min(at, total_);
  const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(window.size(), total_ - at));
  const std::size_t got = source_->read(at, std::span<uint8_t>(window).first(want));
  // A source that comes short ends the data there.
  if (got < want) total_ = at + got;
  data_ = window.data();
  size_ = got;
  base_ = at;
  next_ = 0;
}

uint8_t FaxBitReader::byteAt(uint64_t at) {
  if (at < base_ || at - base_ >= size_) moveWindow(at);
  return at >= base_ && at - base_ < size_ ? data_[at - base_] : 0;
}

void FaxBitReader::refillSlow() {
  // Near the end of the window of a source with more bytes: move the window to the next unread
  // byte (the window bits of the cache stay the same bytes) and take the fast path again.
  if (source_ != nullptr && base_ + size_ < total_) {
    moveWindow(base_ + next_);
    if (size_ - next_ >= 8) {
      refill();
      return;
    }
  }
  while (count_ <= 55 && next_ < size_) {
    uint8_t byte = data_[next_++];
    if (reverse_) byte = kBitReverse[byte];
    cache_ |= static_cast<uint64_t>(byte) << (56 - count_);
    count_ += 8;
  }
}

int FaxBitReader::current() const {
  if (size() == 0) return kNoData;
  const uint64_t pos = position();
  if (pos >= size()) return kPastEnd;
  uint8_t byte = 0;
  if (pos >= base_ && pos - base_ < size_) {
    byte = data_[pos - base_];
  } else if (source_ == nullptr || source_->read(pos, std::span<uint8_t>(&byte, 1)) != 1) {
    return kPastEnd;
  }
  return reverse_ ? kBitReverse[byte] : byte;
}

void FaxBitReader::seekBit(uint64_t bitPos) {
  if (bitPos > bitSize()) bitPos = bitSize();
  const uint64_t byte = bitPos >> 3;
  if (source_ != nullptr && (byte < base_ || byte - base_ >= size_)) moveWindow(byte);
  next_ = static_cast<std::size_t>(byte - base_);
  cache_ = 0;
  count_ = 0;
  const int skip = static_cast<int>(bitPos & 7);
  if (skip != 0) {
    refill();
    consume(skip);
  }
}

int FaxBitReader::readBits(int n) {
  if (size() == 0) return kNoData;
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
  if (size() == 0) return kNoData;
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
  if (size() == 0) return kNoData;
  if (minCount < 1) minCount = 1;
  uint64_t pos = position();
  std::size_t run = 0;
  for (; pos < size(); ++pos) {
    if (run == 0) {
      // Outside a run only the next 0xFF byte matters: find it in the window in one search.
      if (pos < base_ || pos - base_ >= size_) moveWindow(pos);
      if (pos >= base_ && pos - base_ < size_) {
        const uint8_t* from = data_ + (pos - base_);
        const auto left = static_cast<std::size_t>(size_ - (pos - base_));
        const void* hit = std::memchr(from, 0xFF, left);
        if (hit == nullptr) {
          pos = base_ + size_ - 1;  // the loop steps to the window's end
          continue;
        }
        pos += static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - from);
      }
    }
    if (byteAt(pos) == 0xFF) {
      ++run;
      continue;
    }
    if (run >= static_cast<std::size_t>(minCount)) break;
    run = 0;
  }
  if (pos >= size()) {
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
