#include "codec/FaxG4Encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#include "codec/FaxCodeTables.h"

namespace tarnwell {
namespace {

struct Code {
  uint16_t code;
  uint8_t bits;
};

// The run codes of one colour: terminating codes by run length (0 to 63) and make-up codes by
// run length / 64 - 1 (64 to 2560, the extended codes shared by both colours at the end).
struct RunCodes {
  std::array<Code, 64> terminating{};
  std::array<Code, 40> makeUp{};
};

template <std::size_t T, std::size_t M>
constexpr RunCodes buildRunCodes(const FaxCodeWord (&terminating)[T], const FaxCodeWord (&makeUp)[M]) {
  RunCodes codes;
  for (const FaxCodeWord& word : terminating) {
    codes.terminating[static_cast<std::size_t>(word.value)] = Code{word.code, word.bits};
  }
  for (const FaxCodeWord& word : makeUp) {
    codes.makeUp[static_cast<std::size_t>(word.value / 64 - 1)] = Code{word.code, word.bits};
  }
  for (const FaxCodeWord& word : kExtendedMakeUpCodes) {
    codes.makeUp[static_cast<std::size_t>(word.value / 64 - 1)] = Code{word.code, word.bits};
  }
  return codes;
}

// Index 0 white, 1 black.
constexpr std::array<RunCodes, 2> kRunCodes = {
    buildRunCodes(kWhiteTerminatingCodes, kWhiteMakeUpCodes),
    buildRunCodes(kBlackTerminatingCodes, kBlackMakeUpCodes)};

// Each table is filled completely and in value order by the code tables it is built from.
constexpr bool runCodesComplete() {
  for (const RunCodes& codes : kRunCodes) {
    for (const Code& c : codes.terminating) {
      if (c.bits == 0) return false;
    }
    for (const Code& c : codes.makeUp) {
      if (c.bits == 0) return false;
    }
  }
  return true;
}
static_assert(runCodesComplete(), "a run length without a code word");

// Vertical mode codes by a1 - b1 + 3.
constexpr std::array<Code, 7> buildVerticalCodes() {
  std::array<Code, 7> codes{};
  for (const FaxCodeWord& word : kVerticalCodes) {
    codes[static_cast<std::size_t>(word.value + 3)] = Code{word.code, word.bits};
  }
  return codes;
}
constexpr std::array<Code, 7> kVertical = buildVerticalCodes();

// The longest run that takes one make-up code and a terminating code; longer runs are preceded
// by make-up codes of 2560.
constexpr int32_t kLongestSingleMakeUp = 2560 + 63;
constexpr std::size_t kSentinels = 3;

// The 64 pixels of the 8 bytes at `p`, first pixel highest.
uint64_t loadWord(const uint8_t* p) {
  uint64_t word = 0;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

// The same for the last word of a row, of which only `available` (1 to 8) bytes exist.
uint64_t loadLastWord(const uint8_t* p, std::size_t available) {
  uint8_t bytes[8] = {};
  std::memcpy(bytes, p, available);
  return loadWord(bytes);
}

// Codes on their way into the coded bytes, the oldest bit highest. The encoder keeps the bits
// between rows; a row is coded with them in a local packer, whose fields stay in registers.
struct BitPacker {
  std::vector<uint8_t>& bytes;
  uint64_t pending;
  int count;

  void put(uint32_t code, int bits) {
    pending = (pending << bits) | code;
    count += bits;
    if (count >= 32) [[unlikely]] flush();
  }
  // Moves the oldest 32 pending bits into the bytes.
  void flush() {
    count -= 32;
    const auto value = static_cast<uint32_t>(pending >> count);
    const uint8_t four[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                             static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    bytes.insert(bytes.end(), four, four + 4);
  }
  void put(const Code& code) { put(code.code, code.bits); }
  void putRun(int32_t length, int colour) {
    const RunCodes& codes = kRunCodes[static_cast<std::size_t>(colour)];
    while (length > kLongestSingleMakeUp) {
      put(codes.makeUp.back());
      length -= 2560;
    }
    if (length >= 64) {
      put(codes.makeUp[static_cast<std::size_t>(length / 64 - 1)]);
      length &= 63;
    }
    put(codes.terminating[static_cast<std::size_t>(length)]);
  }
};

}  // namespace

FaxG4Encoder::FaxG4Encoder(int32_t width, bool oneIsBlack)
    : width_(width), invert_(oneIsBlack ? 0 : ~uint64_t{0}) {}

bool FaxG4Encoder::addRow(std::span<const uint8_t> row) {
  if (width_ <= 0 || failed_) return false;
  const std::size_t rowBytes = (static_cast<std::size_t>(width_) + 7) / 8;
  if (row.size() < rowBytes) return false;
  try {
    if (words_.empty()) {
      const std::size_t most = static_cast<std::size_t>(width_) + kSentinels;
      reference_.resize(most);
      current_.resize(most);
      words_.resize((static_cast<std::size_t>(width_) + 63) / 64);
      // The row above the first is white: no changes, only the sentinels at the width.
      std::fill_n(reference_.begin(), kSentinels, width_);
      referenceCount_ = 0;
    }
    // A row that repeats the one above codes as one vertical-0 code per change and one for the
    // row end; blank stretches and the inside of glyphs are mostly such rows.
    if (previous_.size() == rowBytes && std::memcmp(previous_.data(), row.data(), rowBytes) == 0) {
      putOnes(referenceCount_ + 1);
      return true;
    }
    previous_.assign(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(rowBytes));
    findChanges(row.first(rowBytes));
    codeRow();
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return false;
  }
  std::swap(reference_, current_);
  std::swap(referenceCount_, currentCount_);
  return true;
}

// The row's colour changes into current_, strictly ascending, the first run white; then the
// sentinels. The row is taken 64 pixels at a time: a pixel that differs from the one before it
// (the first from white) is a change, so each word's changes are the set bits of the word XORed
// with itself shifted by one pixel, read off from the first.
void FaxG4Encoder::findChanges(std::span<const uint8_t> row) {
  const std::size_t wordCount = words_.size();
  for (std::size_t i = 0; i + 1 < wordCount; ++i) words_[i] = loadWord(row.data() + i * 8) ^ invert_;
  const std::size_t last = (wordCount - 1) * 8;
  words_[wordCount - 1] = loadLastWord(row.data() + last, row.size() - last) ^ invert_;
  int32_t* changes = current_.data();
  std::size_t count = 0;
  uint64_t before = 0;  // the last pixel of the previous word, as the highest bit
  for (std::size_t i = 0; i < wordCount; ++i) {
    const uint64_t word = words_[i];
    uint64_t differing = word ^ ((word >> 1) | before);
    before = word << 63;
    // Pixels behind the row's last one are padding and place no change.
    const int64_t beyond = static_cast<int64_t>((i + 1) * 64) - width_;
    if (beyond > 0) differing &= ~uint64_t{0} << beyond;
    const auto base = static_cast<int32_t>(i * 64);
    while (differing != 0) {
      const int lead = std::countl_zero(differing);
      changes[count++] = base + lead;
      differing &= ~(uint64_t{1} << (63 - lead));
    }
  }
  std::fill_n(changes + count, kSentinels, width_);
  currentCount_ = count;
}

// The two-dimensional coding procedure over the change lists of the reference row and the row.
// a0 starts on the imaginary white pixel before the row; the colour of a0 is the colour of the
// run that a0 starts, which is white before an even number of changes of the row, black after an
// odd one. b1 is the first change of the reference row right of a0 that turns to the opposite
// colour (changes at even indices turn white into black), b2 the change after it.
void FaxG4Encoder::codeRow() {
  const int32_t* reference = reference_.data();
  const int32_t* current = current_.data();
  BitPacker out{bytes_, pending_, pendingBits_};
  int32_t a0 = -1;
  std::size_t a1Index = 0;         // the first change of the row right of a0
  std::size_t referenceIndex = 0;  // the first change of the reference row right of a0
  while (a0 < width_) {
    while (reference[referenceIndex] <= a0) ++referenceIndex;
    const std::size_t colour = a1Index & 1;
    const std::size_t b1Index = referenceIndex + ((referenceIndex & 1) != colour ? 1 : 0);
    const int32_t b1 = reference[b1Index];
    const int32_t b2 = reference[b1Index + 1];
    const int32_t a1 = current[a1Index];
    if (b2 < a1) {
      out.put(kPassCode.code, kPassCode.bits);
      a0 = b2;
      continue;
    }
    const int32_t offset = a1 - b1;
    if (offset >= -3 && offset <= 3) {
      out.put(kVertical[static_cast<std::size_t>(offset + 3)]);
      a0 = a1;
      ++a1Index;
      continue;
    }
    const int32_t a2 = current[a1Index + 1];
    out.put(kHorizontalCode.code, kHorizontalCode.bits);
    // The imaginary pixel before the row is not part of the first run.
    out.putRun(a1 - std::max(a0, 0), static_cast<int>(colour));
    out.putRun(a2 - a1, static_cast<int>(colour ^ 1));
    a0 = a2;
    a1Index += 2;
  }
  pending_ = out.pending;
  pendingBits_ = out.count;
}

void FaxG4Encoder::putOnes(std::size_t count) {
  BitPacker out{bytes_, pending_, pendingBits_};
  for (; count >= 16; count -= 16) out.put(0xFFFF, 16);
  if (count > 0) out.put((1u << count) - 1, static_cast<int>(count));
  pending_ = out.pending;
  pendingBits_ = out.count;
}

bool FaxG4Encoder::finish(std::vector<uint8_t>& out) {
  if (width_ <= 0 || failed_) return false;
  try {
    // End of facsimile block: two EOL codes.
    BitPacker end{bytes_, pending_, pendingBits_};
    end.put(kEolCode.code, kEolCode.bits);
    end.put(kEolCode.code, kEolCode.bits);
    pending_ = end.pending;
    pendingBits_ = end.count;
    while (pendingBits_ > 0) {
      const int take = std::min(pendingBits_, 8);
      pendingBits_ -= take;
      bytes_.push_back(static_cast<uint8_t>((pending_ >> pendingBits_) << (8 - take)));
    }
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return false;
  }
  out.swap(bytes_);
  bytes_.clear();
  pending_ = 0;
  words_.clear();
  previous_.clear();
  return true;
}

bool encodePageT6(std::span<const uint8_t> bitmap, int32_t width, int32_t rows,
                  std::size_t bytesPerRow, bool oneIsBlack, std::vector<uint8_t>& out) {
  if (width <= 0 || rows < 0) return false;
  const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
  if (bytesPerRow < rowBytes) return false;
  const auto rowCount = static_cast<std::size_t>(rows);
  // The last row needs rowBytes bytes at (rows - 1) * bytesPerRow, written so as not to overflow.
  if (rowCount > 0 &&
      (bitmap.size() < rowBytes || (bitmap.size() - rowBytes) / bytesPerRow < rowCount - 1)) {
    return false;
  }
  FaxG4Encoder encoder(width, oneIsBlack);
  for (std::size_t y = 0; y < rowCount; ++y) {
    if (!encoder.addRow(bitmap.subspan(y * bytesPerRow, rowBytes))) return false;
  }
  return encoder.finish(out);
}

}  // namespace tarnwell
