#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarnwell {

// Group 4 (T.6) encoder: bilevel rows in, two-dimensionally coded bytes out, highest bit first.
// Each row is coded against the one before it (the first against a white row) with the mode
// choice of the two-dimensional coding procedure: pass mode when b2 lies left of a1, vertical
// mode when a1 is within three pixels of b1, horizontal mode otherwise. The page ends with the
// end-of-facsimile-block (two EOL codes) and 0 bits up to the next whole byte. The bytes are
// the ones libtiff writes for the same bitmap as one Group 4 strip.
class FaxG4Encoder {
 public:
  // Rows of `width` pixels; with oneIsBlack a 1 bit is a black pixel, otherwise a white one.
  FaxG4Encoder(int32_t width, bool oneIsBlack);

  // Codes one row, whose first (width + 7) / 8 bytes hold its pixels; bits behind the last pixel
  // are ignored. False (nothing coded) when the row is shorter, the width not positive, or
  // memory runs out.
  [[nodiscard]] bool addRow(std::span<const uint8_t> row);
  // Appends the end of the block and the padding, hands the bytes over and starts a new page.
  // False when memory runs out or the width is not positive.
  [[nodiscard]] bool finish(std::vector<uint8_t>& out);

 private:
  void findChanges(std::span<const uint8_t> row);
  void codeRow();
  void putOnes(std::size_t count);

  int32_t width_;
  uint64_t invert_;                // XORed into every 64-pixel word so that black is 1
  std::vector<uint8_t> previous_;  // the last row coded in full, as given
  std::vector<uint64_t> words_;    // the current row, 64 pixels a word, first pixel highest
  // Colour changes of the reference row and of the row being coded, each followed by sentinels
  // at the width; both have room for a change at every pixel.
  std::vector<int32_t> reference_;
  std::vector<int32_t> current_;
  std::size_t referenceCount_ = 0;
  std::size_t currentCount_ = 0;
  std::vector<uint8_t> bytes_;     // coded bytes so far
  uint64_t pending_ = 0;           // bits not yet in bytes_, the oldest highest
  int pendingBits_ = 0;
  bool failed_ = false;
};

// Codes `rows` rows of the bitmap (row y at y * bytesPerRow) as one Group 4 page into `out`
// (replacing its content). False when the bitmap is smaller than the rows, the width is not
// positive, bytesPerRow is below (width + 7) / 8, or memory runs out.
[[nodiscard]] bool encodePageT6(std::span<const uint8_t> bitmap, int32_t width, int32_t rows,
                                std::size_t bytesPerRow, bool oneIsBlack,
                                std::vector<uint8_t>& out);

}  // namespace tarnwell
