#pragma once

// Bilevel pages made in code: text-like pages, random runs and regular patterns with the run
// lengths the fax codes treat specially (63, 64, 1728, 2560).

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::test {

// One page, rows of (width + 7) / 8 bytes, highest bit first, 1 bits black (the MinIsWhite
// sense), padding bits behind the last pixel 0.
struct Bitmap {
  uint32_t width = 0;
  uint32_t rows = 0;
  std::vector<uint8_t> bits;

  Bitmap() = default;
  Bitmap(uint32_t w, uint32_t r) : width(w), rows(r), bits(std::size_t{(w + 7) / 8} * r, 0) {}
  Bitmap(uint32_t w, uint32_t r, std::vector<uint8_t> b) : width(w), rows(r), bits(std::move(b)) {}

  uint32_t bytesPerRow() const { return (width + 7) / 8; }
  bool black(uint32_t x, uint32_t y) const;
  void setBlack(uint32_t x, uint32_t y);
  const uint8_t* row(uint32_t y) const { return bits.data() + std::size_t{y} * bytesPerRow(); }
  // The rows [first, first + count).
  Bitmap rowsOf(uint32_t first, uint32_t count) const;
  bool operator==(const Bitmap&) const = default;
};

enum class Pattern {
  kText,          // lines of glyph cells with stems, bars and dots, margins left and right
  kFramedText,    // kText inside a one-pixel black frame: rows reach both page edges
  kTextLines,     // dense lines of "words" every 40 rows, a rule across now and then
  kWords,         // words of varied length, long runs every fifth row, a white row in seven
  kShortText,     // short black runs on text lines, a blank line band in three
  kRuns63And64,   // random runs with many of exactly 63 and 64 pixels, white and black rows
  kRandomRuns,    // random runs, short ones and up to 3000 pixels long
  kLongRuns,      // runs of exactly 63, 64, 1728, 2560, 2561 pixels and their neighbours
  kStripes,       // single-pixel vertical stripes, a full horizontal line every third row
  kCheckerboard,  // checkerboards of cells from 1 to 5 pixels wide
  kBands,         // 8-row bands of checkerboard, long runs, diagonal texture and noise
  kAllWhite,
  kAllBlack,
  kRuledForm,     // an order form: a title, a frame, a table of five ruled columns and twenty
                  // ruled rows, words in some cells; most rows repeat the row above
};
const char* patternName(Pattern p);
// The page of the pattern; `seed` varies the patterns that have randomness in them.
Bitmap makePage(Pattern pattern, uint32_t width, uint32_t rows, uint32_t seed = 0);

// Random pixels, each black with probability blackPerMille / 1000.
Bitmap makeNoisePage(uint32_t width, uint32_t rows, uint32_t blackPerMille, uint32_t seed = 0);
// Rows whose colour changes wander: each row's changes are the row above's, each moved by up to
// `spread` pixels either way, now and then one dropped or one added. Coded two-dimensionally the
// rows sit on every edge between the vertical, pass and horizontal modes.
Bitmap makeJitterPage(uint32_t width, uint32_t rows, uint32_t spread, uint32_t seed = 0);

// Whether two rows agree over the first `width` pixels (the padding bits do not count).
bool rowsEqual(const uint8_t* a, const uint8_t* b, uint32_t width);

// Varied bytes for samples of any depth; an 8-bit gradient of `samples` samples per pixel.
std::vector<uint8_t> samplePattern(std::size_t bytes, uint32_t seed = 0);
std::vector<uint8_t> grayPattern(uint32_t width, uint32_t length, uint16_t samples,
                                 uint32_t seed = 0);

}  // namespace tarnwell::test
