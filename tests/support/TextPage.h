#pragma once

// Fax pages with known text, rendered by Ghostscript from a small PostScript program: the words,
// their ink boxes in page pixels, and a bitmap at any fax resolution, slightly turned or
// speckled on request.

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bitmap.h"

namespace tarnwell::test {

struct TextPageLayout {
  std::vector<std::string> lines;  // words separated by single blanks, letters and digits only
  double pointSize = 12;
  float xdpi = 204, ydpi = 196;
  double skewDegrees = 0;  // turned about the page's centre
  double speckle = 0;      // share of pixels flipped to black at random
  uint32_t seed = 1;
  const char* font = "Times-Roman";
};

// One word of the page with the box of its glyphs' outlines in page pixels (left and top
// inclusive, right and bottom exclusive; boxes are those of the upright text, before turning).
struct InkWord {
  std::string text;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct TextPage {
  Bitmap bitmap;  // an A4 fax page: 1728 pixels wide, 1 bits black
  std::vector<InkWord> words;
};

// Renders the page with Ghostscript (gs on the PATH); false when it is missing or fails.
bool renderTextPage(const TextPageLayout& layout, TextPage& out);

// Lines of ordinary business-letter text, `count` lines of six to ten words, varied by `seed`.
std::vector<std::string> letterLines(uint32_t count, uint32_t seed);

// The words of a text in lower case with everything but letters and digits dropped, empty
// words left out: how recall compares recognised text with the words on the page.
std::vector<std::string> normalisedWords(const std::string& text);

// Share of `expected` words found among `found` (each found word counts once).
double wordRecall(const std::vector<std::string>& expected, const std::vector<std::string>& found);

}  // namespace tarnwell::test
