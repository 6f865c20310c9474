#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "codec/BitReverse.h"

namespace tarnwell {

// Where a reader takes coded bytes from when they need not all be in memory (a file read in
// chunks). A source whose bytes are in memory says so, and readers then use them in place.
class FaxByteSource {
 public:
  virtual ~FaxByteSource() = default;
  virtual uint64_t size() const = 0;
  // Copies up to into.size() bytes from position `at`; returns how many (fewer only at the end,
  // or when the bytes cannot be read).
  virtual std::size_t read(uint64_t at, std::span<uint8_t> into) = 0;
  // All the bytes when they are in memory; empty otherwise.
  virtual std::span<const uint8_t> inMemory() const { return {}; }
};

// Bytes in memory as a source.
class MemoryByteSource final : public FaxByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  std::size_t read(uint64_t at, std::span<uint8_t> into) override;
  std::span<const uint8_t> inMemory() const override { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

// Reads coded fax data bit by bit, highest bit first, hiding the bit order of the stored bytes.
// The data is not owned: either bytes in memory, or a byte source read through a window of
// kWindowBytes that is moved along on demand (positions are always counted from the source's
// start). Every access is bounds-checked: reading past the end yields an error
// result and zero bits, never a read outside the data.
//
// Two interfaces share one position:
// - the byte-oriented one the container readers use (readBits, unreadBits, alignRow, findEol,
//   findMarker, position, bitIndex, current);
// - a window of up to 64 look-ahead bits for the decoding loops (refill, peek, available,
//   consume). Bits past the end of the data read as 0 and are not counted by available().
class FaxBitReader {
 public:
  // Byte-load errors, as current() and the reading operations report them.
  static constexpr int kNoData = -1;       // no data at all
  static constexpr int kBeforeStart = -2;  // a step back would pass the start
  static constexpr int kPastEnd = -3;      // the data is exhausted

  static constexpr std::size_t kWindowBytes = std::size_t{1} << 18;

  FaxBitReader() = default;
  FaxBitReader(std::span<const uint8_t> data, int bitOrder) { init(data, bitOrder); }
  // The source must outlive the reader.
  // The source must outlive the reader. Copies of such a reader share its window: only one of
  // them may read at a time (as a copy taken for a row and written back does).
  FaxBitReader(FaxByteSource& source, int bitOrder) { init(source, bitOrder); }

  // bitOrder 1: bytes are used as stored (highest bit first); any other value: every byte is
  // bit-reversed first (least significant bit first data, TIFF FillOrder 2). Position 0.
  void init(std::span<const uint8_t> data, int bitOrder);
  // The same over a byte source (in place when its bytes are in memory), read through a window of
  // windowBytes (at least 8).
  void init(FaxByteSource& source, int bitOrder, std::size_t windowBytes = kWindowBytes);

  // The next n bits (1 to 8), highest bit first; negative (nothing consumed) when fewer than n
  // bits are left.
  [[nodiscard]] int readBits(int n);
  // Steps back n bits; kBeforeStart (and position 0) when that would pass the start, else 0.
  int unreadBits(int n);
  // If bits of the current byte were consumed, moves to the next byte; with wordAligned, then one
  // byte further when the byte position is odd.
  void alignRow(bool wordAligned);
  // Scans for at least eleven 0 bits followed by a 1 (an EOL with any fill in front of it) and
  // leaves the reader just after that 1. Mode 0 searches from the start of the data, any other
  // mode (2) from the current position. 0 when found; a negative byte error when the data ends
  // first (the reader is then at the end).
  [[nodiscard]] int findEol(int mode);
  // Scans, from the byte holding the next unread bit, for at least minCount (taken as 1 when
  // smaller) consecutive 0xFF bytes, skips them and any 1 bits directly behind them, and leaves
  // the reader on the first 0 bit after the marker. 0 when found; kPastEnd otherwise (the reader
  // is then at the end).
  [[nodiscard]] int findMarker(int minCount);

  // The bytes in memory; for a reader over a byte source that is not in memory, the current window.
  std::span<const uint8_t> data() const { return {data_, size_}; }
  std::size_t size() const { return source_ ? static_cast<std::size_t>(total_) : size_; }
  int bitOrder() const { return reverse_ ? 2 : 1; }
  // Bits consumed since the start of the data (byte index * 8 + bitIndex).
  uint64_t bitPosition() const { return (base_ + next_) * 8 - static_cast<uint64_t>(count_); }
  uint64_t bitSize() const { return static_cast<uint64_t>(size()) * 8; }
  bool atEnd() const { return bitPosition() >= bitSize(); }
  // Index of the byte holding the next unread bit, and the bits of it already consumed (0 to 7).
  std::size_t position() const { return static_cast<std::size_t>(bitPosition() >> 3); }
  int bitIndex() const { return static_cast<int>(bitPosition() & 7); }
  // The byte at position() after bit-order conversion, or kNoData / kPastEnd.
  int current() const;
  // Moves to a bit position (clamped to the end of the data).
  void seekBit(uint64_t bitPos);

  // Look-ahead window for the decoding loops. After refill(), available() is at least 56 (at most
  // 63) unless fewer bits are left in the data.
  inline void refill();
  // The next n bits (0 < n <= 32) as the low bits of the result; bits past the end read as 0.
  uint32_t peek(int n) const { return static_cast<uint32_t>(cache_ >> (64 - n)); }
  uint64_t window() const { return cache_; }
  int available() const { return count_; }
  // Consumes n bits, 0 <= n <= available().
  void consume(int n) {
    cache_ <<= n;
    count_ -= n;
  }

  // The state the look-ahead window moves, for a decoding loop that keeps it in local variables
  // (and so in registers) while it decodes a row: the bytes in reach, the next byte to take, the
  // window bits and their count. A loop takes it with cursor(), refills from `data` while eight
  // bytes are left behind `next`, and hands it back with setCursor() before calling anything else
  // on the reader (which may move a byte source's window and so change data, size and base).
  // The bit position is (base + next) * 8 - count.
  struct Cursor {
    const uint8_t* data;
    std::size_t size;
    uint64_t base;
    std::size_t next;
    uint64_t cache;
    int count;
    bool reverse;
  };
  Cursor cursor() const { return {data_, size_, base_, next_, cache_, count_, reverse_}; }
  void setCursor(const Cursor& c) {
    next_ = c.next;
    cache_ = c.cache;
    count_ = c.count;
  }

 private:
  void refillSlow();
  // Moves the window of a reader over a byte source so that it starts at byte `at`.
  void moveWindow(uint64_t at);
  // The stored byte at an absolute position below size() (moving the window when needed).
  uint8_t byteAt(uint64_t at);

  const uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t next_ = 0;  // index of the next byte to enter the window
  uint64_t cache_ = 0;    // window bits, next bit highest; bits past count_ are 0 or the data's own
  int count_ = 0;         // valid bits in the window
  bool reverse_ = false;
  // Reading from a byte source: the window's bytes and where they start; total_ is the source's
  // size (cut at a read that comes short).
  FaxByteSource* source_ = nullptr;
  std::shared_ptr<std::vector<uint8_t>> window_;
  uint64_t base_ = 0;
  uint64_t total_ = 0;
};

inline void FaxBitReader::refill() {
  if (count_ > 55) return;
  if (size_ - next_ >= 8) {
    uint64_t word;
    std::memcpy(&word, data_ + next_, 8);
    word = __builtin_bswap64(word);
    if (reverse_) word = reverseBitsOfEachByte(word);
    // The bits behind the whole bytes taken are the data's own next bits, so OR-ing them in
    // again at the next refill changes nothing.
    cache_ |= word >> count_;
    const int bytes = (63 - count_) >> 3;
    next_ += static_cast<std::size_t>(bytes);
    count_ += bytes * 8;
    return;
  }
  refillSlow();
}

}  // namespace tarnwell
