#pragma once

// Row-level decoding shared by the decoding loops: reading run-length and mode codes through the
// look-up tables, and decoding one one-dimensional or two-dimensional row into a list of colour
// changes. Internal to the decoder; the loops in FaxDecodeLoops.cpp are its only users.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

#include "codec/FaxBitReader.h"
#include "codec/FaxCodeTables.h"
#include "codec/FaxDecoder.h"

namespace tarnwell::faxrow {

// Colour changes of one row, strictly ascending; two changes at one position cancel, so the list
// holds real changes only and index parity tells the colour (even: white to black).
class ChangeList {
 public:
  static constexpr int32_t kSlack = 4;  // room for the sentinels behind the last change

  // The room starts zeroed, as it grows. It is made with one zeroing allocation rather than a
  // vector's element-wise fill: the decoders make two lists per page, and the probes decode many
  // times per file.
  ChangeList() : storage_(new int32_t[kInitialSize]()), size_(kInitialSize) {}
  void clear() { count_ = 0; }
  int32_t count() const { return count_; }
  void setCount(int32_t count) { count_ = count; }
  const int32_t* data() const { return storage_.get(); }
  int32_t* data() { return storage_.get(); }
  // Changes that fit before the sentinels' room runs out.
  int32_t limit() const { return static_cast<int32_t>(size_) - kSlack; }
  // Doubles the room, keeping what it holds; may throw std::bad_alloc, which the loops catch.
  void grow() {
    std::unique_ptr<int32_t[]> bigger(new int32_t[size_ * 2]());
    std::copy_n(storage_.get(), size_, bigger.get());
    storage_ = std::move(bigger);
    size_ *= 2;
  }
  std::span<const int32_t> changes() const {
    return {storage_.get(), static_cast<std::size_t>(count_)};
  }
  // Writes the sentinels a reference row needs behind its last change.
  void seal(int32_t end) {
    for (int32_t k = 0; k < kSlack; ++k) storage_[count_ + k] = end;
  }
  void swap(ChangeList& other) {
    storage_.swap(other.storage_);
    std::swap(size_, other.size_);
    std::swap(count_, other.count_);
  }

 private:
  // Room for 252 changes, more than almost any fax row has; a longer row doubles it as needed.
  static constexpr std::size_t kInitialSize = 256;

  std::unique_ptr<int32_t[]> storage_;
  std::size_t size_;
  int32_t count_ = 0;
};

// Appends to a ChangeList through local copies of its pointer and count, which the compiler can
// keep in registers; the count is written back by the destructor.
class ChangeAppender {
 public:
  explicit ChangeAppender(ChangeList& list)
      : list_(list), data_(list.data()), count_(0), limit_(list.limit()) {}
  ~ChangeAppender() { list_.setCount(count_); }
  ChangeAppender(const ChangeAppender&) = delete;
  ChangeAppender& operator=(const ChangeAppender&) = delete;

  void add(int32_t position) {
    if (count_ > 0 && data_[count_ - 1] == position) {
      --count_;
      return;
    }
    if (count_ >= limit_) {
      list_.setCount(count_);
      list_.grow();
      data_ = list_.data();
      limit_ = list_.limit();
    }
    data_[count_++] = position;
  }

 private:
  ChangeList& list_;
  int32_t* data_;
  int32_t count_;
  int32_t limit_;
};

// Works on a copy of the reader held in registers and writes the position back at the end.
class LocalReader {
 public:
  explicit LocalReader(FaxBitReader& reader) : reader_(reader), r(reader) {}
  ~LocalReader() { reader_ = r; }
  LocalReader(const LocalReader&) = delete;
  LocalReader& operator=(const LocalReader&) = delete;

 private:
  FaxBitReader& reader_;

 public:
  FaxBitReader r;
};

// What a code read ended in, besides a run or mode.
enum class Zeros : uint8_t { kEol, kInvalid, kDataEnd };

// The window starts with the zeros of an EOL, fill or an invalid code. An EOL (eleven or more 0
// bits and a 1) is consumed; an invalid code (fewer zeros before the 1) is left unread.
inline Zeros readZeros(FaxBitReader& r) {
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

struct RowResult {
  FaxRowEnd end;
  int64_t length;
  uint64_t codeEndBit;
};

// Reads one run length of the given colour: make-up codes and a terminating code. Returns the
// run (>= 0), or -1 with `stop` set when an EOL, an invalid code or the data's end came first.
inline int64_t readRun(FaxBitReader& r, int colour, Zeros& stop) {
  int64_t run = 0;
  for (;;) {
    r.refill();
    const FaxTableEntry e = colour != 0 ? kFaxBlackTable[r.peek(kFaxBlackIndexBits)]
                                        : kFaxWhiteTable[r.peek(kFaxWhiteIndexBits)];
    if (e.kind == kFaxZeros) {
      stop = readZeros(r);
      return -1;
    }
    if (e.bits > r.available()) {
      stop = Zeros::kDataEnd;
      return -1;
    }
    r.consume(e.bits);
    run += e.value;
    if (e.kind == kFaxTerminating) return run;
  }
}

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
  LocalReader local(reader);
  FaxBitReader& r = local.r;
  ChangeAppender changes(cur);
  int64_t a0 = 0;
  int64_t makeUp = 0;
  int colour = 0;
  for (;;) {
    r.refill();
    const FaxTableEntry e = colour != 0 ? kFaxBlackTable[r.peek(kFaxBlackIndexBits)]
                                        : kFaxWhiteTable[r.peek(kFaxWhiteIndexBits)];
    if (e.kind != kFaxZeros) {
      if (e.bits > r.available()) return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      if (e.kind == kFaxMakeUp) {
        makeUp += e.value;
        continue;
      }
      a0 += makeUp + e.value;
      makeUp = 0;
      if (a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
      colour ^= 1;
      if (endAtWidth && a0 == width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
      continue;
    }
    const uint64_t codeEnd = r.bitPosition();
    const Zeros z = readZeros(r);
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
template <bool kT6>
RowResult decodeRow2D(FaxBitReader& reader, int64_t width, const int32_t* ref, int32_t refCount,
                      ChangeList& cur) {
  LocalReader local(reader);
  FaxBitReader& r = local.r;
  ChangeAppender changes(cur);
  int64_t a0 = 0;
  int colour = 0;
  // Left end of the search for b1: -1 on a fresh row (b1 may be at 0), a0 afterwards.
  int64_t left = -1;
  int32_t i = 0;  // no reference change before i is right of a0
  for (;;) {
    r.refill();
    const FaxTableEntry e = kFaxModeTable[r.peek(kFaxModeIndexBits)];
    if (e.kind >= kFaxVertical) {
      if (e.kind == kFaxExtension) return {FaxRowEnd::kInvalid, a0, r.bitPosition()};
      if (e.bits > r.available()) return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      // b1: the first reference change right of `left` that changes to the colour opposite to
      // a0's (even indices change to black).
      while (i < refCount && ref[i] <= left) ++i;
      const int64_t a1 = static_cast<int64_t>(ref[i + ((i & 1) ^ colour)]) + e.value;
      if (a1 < a0 || a1 < 0) return {FaxRowEnd::kInvalid, a0, r.bitPosition()};
      r.consume(e.bits);
      a0 = a1;
      if (!kT6 && a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
      colour ^= 1;
    } else if (e.kind == kFaxHorizontal) {
      if (e.bits > r.available()) return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      Zeros stop = Zeros::kDataEnd;
      const int64_t run1 = readRun(r, colour, stop);
      if (run1 < 0) return stopResult(stop, a0, r.bitPosition());
      a0 += run1;
      if (!kT6 && a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
      const int64_t run2 = readRun(r, colour ^ 1, stop);
      if (run2 < 0) return stopResult(stop, a0, r.bitPosition());
      a0 += run2;
      if (!kT6 && a0 > width) return {FaxRowEnd::kTooLong, a0, r.bitPosition()};
      if (a0 < width) changes.add(static_cast<int32_t>(a0));
    } else if (e.kind == kFaxPass) {
      if (e.bits > r.available()) return {FaxRowEnd::kDataEnd, a0, r.bitPosition()};
      r.consume(e.bits);
      while (i < refCount && ref[i] <= left) ++i;
      a0 = ref[i + ((i & 1) ^ colour) + 1];  // b2
    } else {
      const uint64_t codeEnd = r.bitPosition();
      return stopResult(readZeros(r), a0, codeEnd);
    }
    left = a0;
    if (kT6 && a0 >= width) return {FaxRowEnd::kComplete, a0, r.bitPosition()};
  }
}

}  // namespace tarnwell::faxrow
