#pragma once

// Row-level decoding shared by the decoding loops: reading run-length and mode codes through the
// look-up tables, and decoding one one-dimensional or two-dimensional row into a list of colour
// changes. Internal to the decoder: the loops in FaxDecodeLoops.cpp use it, and a codec test
// compares the two arrangements of the Group 4 row decoder with each other.

#include <algorithm>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include "codec/BitReverse.h"
#include "codec/FaxBitReader.h"
#include "codec/FaxCodeTables.h"
#include "codec/FaxDecoder.h"

namespace tarnwell::faxrow {

// Colour changes of one row, strictly ascending; two changes at one position cancel, so the list
// holds real changes only and index parity tells the colour (even: white to black). One slot in
// front of the first change holds a value no position takes, so that an appender can compare with
// "the last change" without first asking whether there is one.
class ChangeList {
 public:
  static constexpr int32_t kSlack = 4;  // room for the sentinels behind the last change
  static constexpr int32_t kNoPosition = INT32_MIN;

  // The room starts zeroed, as it grows. It is made with one zeroing allocation rather than a
  // vector's element-wise fill: the decoders make two lists per page, and the probes decode many
  // times per file.
  ChangeList() : storage_(new int32_t[kInitialSize]()), size_(kInitialSize) {
    storage_[0] = kNoPosition;
  }
  void clear() { count_ = 0; }
  int32_t count() const { return count_; }
  void setCount(int32_t count) { count_ = count; }
  const int32_t* data() const { return storage_.get() + 1; }
  int32_t* data() { return storage_.get() + 1; }
  // Changes that fit before the sentinels' room runs out.
  int32_t limit() const { return static_cast<int32_t>(size_) - 1 - kSlack; }
  // Doubles the room, keeping what it holds; may throw std::bad_alloc, which the loops catch.
  // Rare, so kept out of the row loops.
  [[gnu::noinline]] void grow() {
    std::unique_ptr<int32_t[]> bigger(new int32_t[size_ * 2]());
    std::copy_n(storage_.get(), size_, bigger.get());
    storage_ = std::move(bigger);
    size_ *= 2;
  }
  std::span<const int32_t> changes() const {
    return {data(), static_cast<std::size_t>(count_)};
  }
  // Writes the sentinels a reference row needs behind its last change.
  void seal(int32_t end) {
    for (int32_t k = 0; k < kSlack; ++k) data()[count_ + k] = end;
  }
  void swap(ChangeList& other) {
    storage_.swap(other.storage_);
    std::swap(size_, other.size_);
    std::swap(count_, other.count_);
  }

 private:
  // Room for 251 changes, more than almost any fax row has; a longer row doubles it as needed.
  static constexpr std::size_t kInitialSize = 256;

  std::unique_ptr<int32_t[]> storage_;
  std::size_t size_;
  int32_t count_ = 0;
};

// Appends to a ChangeList through local pointers to its next free slot and to the end of its
// room, which the compiler can keep in registers; the count is written back by the destructor.
class ChangeAppender {
 public:
  explicit ChangeAppender(ChangeList& list)
      : list_(list), next_(list.data()), end_(list.data() + list.limit()) {}
  ~ChangeAppender() { list_.setCount(count()); }
  ChangeAppender(const ChangeAppender&) = delete;
  ChangeAppender& operator=(const ChangeAppender&) = delete;

  // Adds a change at `position` (never negative), or cancels the last change when it is there.
  [[gnu::always_inline]] void add(int32_t position) {
    if (next_[-1] == position) [[unlikely]] {
      --next_;
      return;
    }
    if (next_ == end_) [[unlikely]] makeRoom();
    *next_++ = position;
  }
  // The same as add(position) when `really`, else nothing, without a branch on `really`. The
  // position must not be left of the last change, and equal to it only when `really`.
  [[gnu::always_inline]] void addIf(bool really, int32_t position) {
    if (next_ == end_) [[unlikely]] makeRoom();
    if (next_[-1] == position) [[unlikely]] {
      next_ -= static_cast<int32_t>(really);
      return;
    }
    *next_ = position;  // inside the room; beyond the changes unless kept
    next_ += static_cast<int32_t>(really);
  }

 private:
  int32_t count() const { return static_cast<int32_t>(next_ - list_.data()); }
  void makeRoom() {
    const int32_t n = count();
    list_.setCount(n);
    list_.grow();
    next_ = list_.data() + n;
    end_ = list_.data() + list_.limit();
  }

  ChangeList& list_;
  int32_t* next_;
  int32_t* end_;
};

// What a code read ended in, besides a run or mode.
enum class Zeros : uint8_t { kEol, kInvalid, kDataEnd };

// The window starts with the zeros of an EOL, fill or an invalid code. An EOL (eleven or more 0
// bits and a 1) is consumed; an invalid code (fewer zeros before the 1) is left unread. Rare in a
// row, so kept out of the row loops.
[[gnu::noinline]] inline Zeros readZeros(FaxBitReader& r) {
  bool first = true;
  for (;;) {
    r.refill();
    const int avail = r.available();
    if (avail == 0) return Zeros::kDataEnd;
    const uint64_t w = r.window();
    const int lz = w == 0 ? 64 : __builtin_clzll(w);
    if (lz < avail) {
      if (first && lz < 11) return Zeros::kInvalid;
      r.consume(lz + 1);
      return Zeros::kEol;
    }
    // No 1 in the window: when the window is short the data ends in zeros; otherwise the
    // window held at least 56 zeros, which are fill in front of an EOL.
    if (avail < 56) {
      r.consume(avail);
      return Zeros::kDataEnd;
    }
    r.consume(avail);
    first = false;
  }
}

// The run-length tables by colour (0 white, 1 black); a colour's index is 12 + colour bits wide.
inline constexpr const FaxTableEntry* kRunTables[2] = {kFaxWhiteTable.data(), kFaxBlackTable.data()};
static_assert(kFaxWhiteIndexBits == 12 && kFaxBlackIndexBits == 13);

// A reader's look-ahead window held in local variables for the length of one row, so that the
// compiler keeps it in registers: it is written back to the reader before anything else touches
// the reader (the rare paths: the end of the bytes in reach, zeros) and when the row ends. Every
// member is forced inline so that the object's address never leaves the row decoder and its
// fields need no memory.
class RowBits {
 public:
  explicit RowBits(FaxBitReader& reader) : reader_(reader) { load(); }
  ~RowBits() { store(); }
  RowBits(const RowBits&) = delete;
  RowBits& operator=(const RowBits&) = delete;

  // After a refill at least 56 bits are in the window unless fewer are left in the data. While
  // eight bytes are in reach it loads them whether or not the window needs them (taking none when
  // it is full): how many bits a code took is data, and a branch on it would be guessed wrong
  // about every other code.
  [[gnu::always_inline]] void refill() {
    if (left_ >= 8) [[likely]] {
      uint64_t word;
      std::memcpy(&word, next_, 8);
      word = __builtin_bswap64(word);
      if (reverse_) word = reverseBitsOfEachByte(word);
      // As in the reader: the bits behind the whole bytes taken are the data's own next bits.
      cache_ |= word >> count_;
      const int bytes = (63 - count_) >> 3;
      next_ += bytes;
      left_ -= static_cast<std::size_t>(bytes);
      count_ += bytes * 8;
      return;
    }
    if (count_ > 55) return;
    store();
    reader_.refill();
    load();
  }
  uint32_t peek(int n) const { return static_cast<uint32_t>(cache_ >> (64 - n)); }
  // The 1 bits at the start of the window, counting bits past available() too.
  int leadingOnes() const { return std::countl_one(cache_); }
  int available() const { return count_; }
  void consume(int n) {
    cache_ <<= n;
    count_ -= n;
  }
  uint64_t bitPosition() const {
    return (base_ + static_cast<uint64_t>(next_ - data_)) * 8 - static_cast<uint64_t>(count_);
  }
  [[gnu::always_inline]] Zeros readZeros() {
    store();
    const Zeros z = faxrow::readZeros(reader_);
    load();
    return z;
  }

  // Reads one run length of a colour (0 white, 1 black): make-up codes and a terminating code.
  // Returns the run (>= 0), or -1 with `stop` set when an EOL, an invalid code or the data's end
  // came first.
  // The window must hold a whole index (13 bits) unless the data ends sooner; it refills behind
  // make-up codes only. A horizontal-mode pair read after one refill has 56 bits for its mode
  // (3) and two terminating codes (at most 12 and 13).
  [[gnu::always_inline]] int64_t readRun(int colour, Zeros& stop) {
    const FaxTableEntry* table = kRunTables[colour];
    const int indexBits = kFaxWhiteIndexBits + colour;
    int64_t run = 0;
    for (;;) {
      const FaxTableEntry e = table[peek(indexBits)];
      if (e.kind == kFaxZeros) [[unlikely]] {
        stop = readZeros();
        return -1;
      }
      if (e.bits > count_) [[unlikely]] {
        stop = Zeros::kDataEnd;
        return -1;
      }
      consume(e.bits);
      run += e.value;
      if (e.kind == kFaxTerminating) [[likely]] return run;
      refill();
    }
  }

 private:
  void load() {
    const FaxBitReader::Cursor c = reader_.cursor();
    data_ = c.data;
    base_ = c.base;
    next_ = c.data + c.next;
    left_ = c.size - c.next;
    cache_ = c.cache;
    count_ = c.count;
    reverse_ = c.reverse;
  }
  void store() {
    const auto next = static_cast<std::size_t>(next_ - data_);
    reader_.setCursor({data_, next + left_, base_, next, cache_, count_, reverse_});
  }

  FaxBitReader& reader_;
  const uint8_t* data_;  // the reader's bytes in reach, and where they start in the data
  uint64_t base_;
  const uint8_t* next_;  // the next byte to enter the window
  std::size_t left_;     // bytes from next_ to the end of the bytes in reach
  uint64_t cache_;
  int count_;
  bool reverse_;
};

struct RowResult {
  FaxRowEnd end;
  int64_t length;
  uint64_t codeEndBit;
};

inline RowResult stopResult(Zeros z, int64_t a0, uint64_t codeEnd) {
  switch (z) {
    case Zeros::kEol:
      return {FaxRowEnd::kEol, a0, codeEnd};
    case Zeros::kInvalid:
      return {FaxRowEnd::kInvalid, a0, codeEnd};
    case Zeros::kDataEnd:
      break;
  }
  return {FaxRowEnd::kDataEnd, a0, codeEnd};
}

// One one-dimensional row. kModifiedHuffman: an EOL is a make-up code of 4032. endAtWidth: the
// row is complete as soon as a terminating code brings it to the width. Otherwise rows end at an
// EOL. A terminating code that takes the row past `width` ends it as kTooLong.
template <bool kModifiedHuffman>
RowResult decodeRow1D(FaxBitReader& reader, int64_t width, bool endAtWidth, ChangeList& cur) {
  RowBits r(reader);
  ChangeAppender changes(cur);
  int64_t a0 = 0;
  int64_t makeUp = 0;
  int colour = 0;
  for (;;) {
    r.refill();
    const FaxTableEntry e = kRunTables[colour][r.peek(kFaxWhiteIndexBits + colour)];
    if (e.kind != kFaxZeros) [[likely]] {
      if (e.bits > r.available()) [[unlikely]] return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      if (e.kind == kFaxMakeUp) [[unlikely]] {
        makeUp += e.value;
        continue;
      }
      a0 += makeUp + e.value;
      makeUp = 0;
      if (a0 > width) [[unlikely]] return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
      colour ^= 1;
      if (endAtWidth && a0 == width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
      continue;
    }
    const uint64_t codeEnd = r.bitPosition();
    const Zeros z = r.readZeros();
    if (kModifiedHuffman && z == Zeros::kEol) {
      makeUp += 4032;
      continue;
    }
    return stopResult(z, a0, codeEnd);
  }
}

// One two-dimensional row against the reference row `ref` (refCount changes, sealed with
// sentinels at refEnd). kT6: the row is complete as soon as a0 reaches or passes `width`, after
// a whole horizontal-mode pair; otherwise it ends at an EOL and a0 past `width` is kTooLong.
// For kT6 the sentinels must be `width` itself: a0 stays below the width inside the row, so the
// search for b1 always stops at the first sentinel without counting.
//
// kBusy (kT6 only) chooses the same decoding, arranged for rows whose codes follow no pattern
// (noise, halftone: horizontal, vertical and pass mode in any order, a0 moving any number of
// reference changes): vertical and pass mode share one path and the b1 search steps four
// changes at a time without a branch per change. Where the codes do follow a pattern (text, line
// art: mostly vertical mode, b1 one change on) the processor guesses the branches of the plain
// arrangement right, and that one is faster; the loop chooses by the row before.
template <bool kT6, bool kBusy = false>
RowResult decodeRow2D(FaxBitReader& reader, int64_t width, const int32_t* ref, int32_t refCount,
                      ChangeList& cur) {
  RowBits r(reader);
  ChangeAppender changes(cur);
  int64_t a0 = 0;
  int colour = 0;
  // Left end of the search for b1: -1 on a fresh row (b1 may be at 0), a0 afterwards.
  int64_t left = -1;
  int32_t i = 0;  // no reference change before i is right of a0
  // Moves i to the first reference change right of `left`. In Group 4 rows the sentinels (the
  // width) are right of `left`, so the search needs no count. kBusy counts, four changes at a
  // time, the changes at or left of `left`: the changes ascend, so the count is the step, and
  // only a step of four looks further; i stays at or below refCount, so the four read are inside
  // the sentinels.
  auto skipReference = [&]() {
    if constexpr (kT6 && kBusy) {
      int32_t step;
      do {
        step = static_cast<int32_t>(ref[i] <= left) + static_cast<int32_t>(ref[i + 1] <= left) +
               static_cast<int32_t>(ref[i + 2] <= left) + static_cast<int32_t>(ref[i + 3] <= left);
        i += step;
      } while (step == 4);
    } else if constexpr (kT6) {
      while (ref[i] <= left) ++i;
    } else {
      while (i < refCount && ref[i] <= left) ++i;
    }
  };
  for (;;) {
    r.refill();
    const FaxTableEntry e = kFaxModeTable[r.peek(kFaxModeIndexBits)];
    const bool vertical = e.kind == kFaxVertical;
    if (kT6 && kBusy && (vertical || e.kind == kFaxPass)) {
      // Vertical and pass mode share one path here, so that telling them apart costs no branch:
      // vertical places a1 = b1 + offset and changes colour, pass moves a0 to b2 (offset 0).
      if (e.bits > r.available()) [[unlikely]] return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      // b1: the first reference change right of `left` that changes to the colour opposite to
      // a0's (even indices change to black); b2 the one after it.
      skipReference();
      const int32_t b1 = i + ((i & 1) ^ colour);
      const int64_t a1 = static_cast<int64_t>(ref[b1 + static_cast<int32_t>(!vertical)]) + e.value;
      // a0 is never negative, so this also refuses a1 left of the row's start. b2 is right of
      // `left` and not left of a0, so a pass code never fails here.
      if (a1 < a0) [[unlikely]] return {FaxRowEnd::kInvalid, a0, r.bitPosition()};
      r.consume(e.bits);
      a0 = a1;
      if (a0 >= width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
      changes.addIf(vertical, static_cast<int32_t>(a0));
      colour ^= static_cast<int>(vertical);
      left = a0;
      continue;
    }
    if (!(kT6 && kBusy) && vertical) {
      if (e.bits > r.available()) [[unlikely]] return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      skipReference();
      if (kT6 && e.value == 0) {
        // A run of 1 bits is a run of V0 codes, the commonest in text. Each puts a1 on b1, which
        // is right of `left` (so not left of a0, and right of the last change: it never fails
        // and never cancels), and flips the colour, so the next b1 is the next reference
        // change: the run copies reference changes until one is the row's end.
        const int32_t b1 = i + ((i & 1) ^ colour);
        const int k = std::min(r.leadingOnes(), r.available());
        for (int n = 0; n < k; ++n) {
          const int32_t a1 = ref[b1 + n];
          if (a1 >= width) {
            r.consume(n + 1);
            return {FaxRowEnd::kComplete, a1, r.bitPosition()};
          }
          changes.add(a1);
        }
        r.consume(k);
        a0 = ref[b1 + k - 1];
        colour ^= k & 1;
        left = a0;
        i = b1 + k;
        continue;
      }
      const int64_t a1 = static_cast<int64_t>(ref[i + ((i & 1) ^ colour)]) + e.value;
      if (a1 < a0) [[unlikely]] return {FaxRowEnd::kInvalid, a0, r.bitPosition()};
      r.consume(e.bits);
      a0 = a1;
      if constexpr (kT6) {
        if (a0 >= width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
        changes.add(static_cast<int32_t>(a0));
      } else {
        if (a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
        if (a0 < width) changes.add(static_cast<int32_t>(a0));
      }
      colour ^= 1;
      left = a0;
      continue;
    }
    if (e.kind == kFaxHorizontal) {
      if (e.bits > r.available()) [[unlikely]] return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      Zeros stop = Zeros::kDataEnd;
      const int64_t run1 = r.readRun(colour, stop);
      if (run1 < 0) [[unlikely]] return stopResult(stop, a0, r.bitPosition());
      a0 += run1;
      if (!kT6 && a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
      const int64_t run2 = r.readRun(colour ^ 1, stop);
      if (run2 < 0) [[unlikely]] return stopResult(stop, a0, r.bitPosition());
      a0 += run2;
      if (!kT6 && a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
    } else if (e.kind == kFaxPass) {
      if (e.bits > r.available()) [[unlikely]] return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      skipReference();
      a0 = ref[i + ((i & 1) ^ colour) + 1];  // b2
    } else if (e.kind == kFaxExtension) {
      return {FaxRowEnd::kInvalid, a0, r.bitPosition()};
    } else {
      const uint64_t codeEnd = r.bitPosition();
      return stopResult(r.readZeros(), a0, codeEnd);
    }
    left = a0;
    if (kT6 && a0 >= width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
  }
}

}  // namespace tarnwell::faxrow
