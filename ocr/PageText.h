#pragma once

// The plain data at the boundary of text recognition: a page bitmap going in, words with their
// boxes in the bitmap's pixels coming out. Nothing here knows the recognition engine.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::ocr {

// One bilevel page as stored: rows of bytesPerRow bytes, highest bit first, 1 bits white.
struct PageBitmap {
  uint32_t width = 0;
  uint32_t rows = 0;
  uint32_t bytesPerRow = 0;
  float xResolution = 0;  // pixels per inch; 0 when unknown
  float yResolution = 0;
  std::vector<uint8_t> bits;
};

// One recognised word: its text in UTF-8 and its box in page pixels, left and top inclusive,
// right and bottom exclusive (row 0 is the top row of the bitmap).
struct Word {
  std::string text;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The text of one page, words in reading order. `recognised` is false when the page was not
// recognised (no bitmap, a missing language, a failure of the engine): such a page gets no
// text layer. A recognised page without words gets an empty one.
struct PageText {
  bool recognised = false;
  uint32_t width = 0, rows = 0;  // size of the bitmap the boxes refer to
  std::vector<Word> words;
};

}  // namespace tarnwell::ocr
