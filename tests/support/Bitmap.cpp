#include "support/Bitmap.h"

#include <algorithm>
#include <iterator>
#include <random>

namespace tarnwell::test {

bool Bitmap::black(uint32_t x, uint32_t y) const {
  return (bits.at(std::size_t{y} * bytesPerRow() + x / 8) >> (7 - x % 8)) & 1;
}

void Bitmap::setBlack(uint32_t x, uint32_t y) {
  bits.at(std::size_t{y} * bytesPerRow() + x / 8) |= static_cast<uint8_t>(0x80 >> (x % 8));
}

Bitmap Bitmap::rowsOf(uint32_t first, uint32_t count) const {
  const auto bpr = static_cast<std::ptrdiff_t>(bytesPerRow());
  return Bitmap(width, count,
                std::vector<uint8_t>(bits.begin() + first * bpr, bits.begin() + (first + count) * bpr));
}

const char* patternName(Pattern p) {
  switch (p) {
    case Pattern::kText: return "Text";
    case Pattern::kFramedText: return "FramedText";
    case Pattern::kTextLines: return "TextLines";
    case Pattern::kWords: return "Words";
    case Pattern::kShortText: return "ShortText";
    case Pattern::kRuns63And64: return "Runs63And64";
    case Pattern::kRandomRuns: return "RandomRuns";
    case Pattern::kLongRuns: return "LongRuns";
    case Pattern::kStripes: return "Stripes";
    case Pattern::kCheckerboard: return "Checkerboard";
    case Pattern::kBands: return "Bands";
    case Pattern::kAllWhite: return "AllWhite";
    case Pattern::kAllBlack: return "AllBlack";
    case Pattern::kRuledForm: return "RuledForm";
  }
  return "?";
}

namespace {

// A linear congruential generator: the same pages on every platform and library.
class Lcg {
 public:
  explicit Lcg(uint32_t state) : state_(state) {}
  uint32_t next() {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 16) & 0x7FFF;
  }

 private:
  uint32_t state_;
};

void text(Bitmap& page, std::mt19937& rng, const auto& fillRun) {
  const int width = static_cast<int>(page.width), height = static_cast<int>(page.rows);
  const int lineHeight = 24;
  const int margin = width / 12;
  for (int top = 8; top + lineHeight <= height; top += lineHeight + 8) {
    int x = margin;
    while (x + 10 < width - margin) {
      const int word = 2 + static_cast<int>(rng() % 8);
      for (int g = 0; g < word && x + 10 < width - margin; ++g) {
        const int glyph = static_cast<int>(rng() % 16);
        const int w = 6 + glyph % 5;
        for (int y = top; y < top + lineHeight - 6; ++y) {
          const int dy = y - top;
          if (glyph & 1) fillRun(y, x, x + 2);                                          // stem
          if ((glyph & 2) && (dy == 0 || dy == lineHeight - 7)) fillRun(y, x, x + w);   // bars
          if ((glyph & 4) && dy > 8) fillRun(y, x + w - 2, x + w);                      // right stem
          if ((glyph & 8) && dy == 9) fillRun(y, x, x + w);                             // middle bar
          if (glyph == 0 && dy > 10 && dy < 13) fillRun(y, x + 2, x + 4);               // dot
        }
        x += w + 2;
      }
      x += 8;
    }
  }
}

// A word of `letters` glyphs from x on a line of `height` rows from `top`; returns where it ends.
int word(std::mt19937& rng, int x, int top, int height, int letters, const auto& fillRun) {
  for (int g = 0; g < letters; ++g) {
    const int glyph = static_cast<int>(rng() % 16);
    const int w = 5 + glyph % 4;
    for (int dy = 0; dy < height; ++dy) {
      const int y = top + dy;
      if (glyph & 1) fillRun(y, x, x + 2);                                 // stem
      if ((glyph & 2) && (dy == 0 || dy == height - 1)) fillRun(y, x, x + w);  // bars
      if ((glyph & 4) && dy > height / 2) fillRun(y, x + w - 2, x + w);    // right stem
      if ((glyph & 8) && dy == height / 2) fillRun(y, x, x + w);           // middle bar
      if (glyph == 0 && dy == height - 2) fillRun(y, x + 2, x + 4);        // dot
    }
    x += w + 2;
  }
  return x;
}

// A ruled order form: blank margins, a title line, a two-pixel frame, and inside it a table of
// five columns and twenty rows ruled with one-pixel lines, words in about half of the cells.
void ruledForm(Bitmap& page, std::mt19937& rng, const auto& fillRun) {
  const int w = static_cast<int>(page.width), h = static_cast<int>(page.rows);
  const int left = w / 24, right = w - w / 24 - 1;
  const int top = h / 20, bottom = h - h / 25;
  if (right - left < 200 || bottom - top < 200) return;
  // The title above the frame.
  int x = left + 20;
  for (int i = 0; i < 3; ++i) x = word(rng, x, top, 14, 3 + static_cast<int>(rng() % 6), fillRun) + 14;
  // The frame, two pixels wide.
  const int frameTop = top + 30;
  for (int y = frameTop; y <= bottom; ++y) {
    if (y <= frameTop + 1 || y >= bottom - 1) {
      fillRun(y, left, right + 1);
    } else {
      fillRun(y, left, left + 2);
      fillRun(y, right - 1, right + 1);
    }
  }
  // The table: five columns of unequal widths, twenty rows below a heading band.
  const int inner = right - left;
  const int columns[] = {left, left + inner * 12 / 100, left + inner * 52 / 100,
                         left + inner * 66 / 100, left + inner * 82 / 100, right};
  const int tableTop = frameTop + 60, rowsTop = tableTop + 30;
  const int rowHeight = (bottom - 4 - rowsTop) / 20;
  x = left + 20;
  for (int i = 0; i < 2; ++i) x = word(rng, x, frameTop + 20, 12, 4 + static_cast<int>(rng() % 5), fillRun) + 12;
  for (int y = tableTop; y < bottom; ++y) {
    const bool rule = y == tableTop || (y >= rowsTop && (y - rowsTop) % rowHeight == 0);
    if (rule) fillRun(y, left, right + 1);
    for (int c = 1; c < 5; ++c) fillRun(y, columns[c], columns[c] + 1);
  }
  for (int c = 0; c < 5; ++c) word(rng, columns[c] + 6, tableTop + 9, 12, 3 + c, fillRun);
  for (int r = 0; r < 20 && rowsTop + (r + 1) * rowHeight < bottom; ++r) {
    for (int c = 0; c < 5; ++c) {
      if (rng() % 2 == 0) continue;
      const int lineTop = rowsTop + r * rowHeight + (rowHeight - 12) / 2;
      int at = columns[c] + 6;
      const int end = columns[c + 1] - 6;
      while (at + 56 < end && rng() % 3 != 0) {
        at = word(rng, at, lineTop, 12, 1 + static_cast<int>(rng() % 5), fillRun) + 10;
      }
    }
  }
}

}  // namespace

Bitmap makePage(Pattern pattern, uint32_t width, uint32_t rows, uint32_t seed) {
  Bitmap page(width, rows);
  const int w = static_cast<int>(width), h = static_cast<int>(rows);
  std::mt19937 rng(seed);
  auto fillRun = [&](int y, int from, int to) {
    for (int x = std::max(from, 0); x < std::min(to, w); ++x) page.setBlack(x, y);
  };
  switch (pattern) {
    case Pattern::kAllWhite:
      break;
    case Pattern::kAllBlack:
      for (int y = 0; y < h; ++y) fillRun(y, 0, w);
      break;
    case Pattern::kStripes:
      for (int y = 0; y < h; ++y) {
        if (y % 3 == 2) {
          fillRun(y, 0, w);
        } else if (y % 2 == 0) {
          for (int x = 0; x < w; x += 2) page.setBlack(x, y);
        }
      }
      break;
    case Pattern::kCheckerboard:
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          if (((x / (1 + y % 5)) + y) % 2 == 0) page.setBlack(x, y);
        }
      }
      break;
    case Pattern::kRandomRuns:
      for (int y = 0; y < h; ++y) {
        int x = 0;
        bool blackRun = false;
        std::uniform_int_distribution<int> shortRun(0, 70);
        std::uniform_int_distribution<int> longRun(0, 3000);
        while (x < w) {
          const int run = rng() % 4 == 0 ? longRun(rng) : shortRun(rng);
          if (blackRun) fillRun(y, x, x + run);
          x += run;
          blackRun = !blackRun;
        }
      }
      break;
    case Pattern::kLongRuns: {
      static const int kRuns[] = {63, 64, 65, 127, 128, 1727, 1728, 1729, 1791, 1792,
                                  2559, 2560, 2561, 4095, 1, 0};
      for (int y = 0; y < h; ++y) {
        int x = 0;
        bool blackRun = y % 2 == 1;
        for (int i = y; x < w; ++i) {
          const int run = kRuns[i % std::size(kRuns)];
          if (blackRun) fillRun(y, x, x + run);
          x += run;
          blackRun = !blackRun;
        }
      }
      break;
    }
    case Pattern::kText:
      text(page, rng, fillRun);
      break;
    case Pattern::kRuledForm:
      ruledForm(page, rng, fillRun);
      break;
    case Pattern::kFramedText:
      text(page, rng, fillRun);
      for (int y = 0; y < h; ++y) {
        if (y == 0 || y == h - 1) {
          fillRun(y, 0, w);
        } else {
          page.setBlack(0, y);
          page.setBlack(width - 1, y);
        }
      }
      break;
    case Pattern::kTextLines: {
      Lcg lcg(seed * 2654435761u + 12345u);
      for (int y = 0; y < h; ++y) {
        if (y % 40 < 12) {
          int x = 40 + static_cast<int>(lcg.next() % 30);
          while (x < w - 60) {
            const int len = 8 + static_cast<int>(lcg.next() % 90);
            for (int i = 0; i < len && x + i < w; ++i) {
              if ((lcg.next() % 7) != 0) page.setBlack(x + i, y);
            }
            x += len + 10 + static_cast<int>(lcg.next() % 40);
          }
        } else if (y % 97 == 50) {
          for (int x = 10; x < w - 10; ++x) page.setBlack(x, y);
        }
        page.setBlack((static_cast<uint32_t>(y) * 7 + seed) % width, y);
      }
      break;
    }
    case Pattern::kWords: {
      Lcg lcg(seed * 2654435761u + 1);
      for (uint32_t y = 0; y < rows; ++y) {
        if ((y + seed) % 7 == 3) continue;
        uint32_t x = lcg.next() % 40;
        while (x < width) {
          const uint32_t run = 1 + lcg.next() % ((y % 5 == 0) ? 300 : 24);
          for (uint32_t i = x; i < x + run && i < width; ++i) page.setBlack(i, y);
          x += run + 1 + lcg.next() % 60;
        }
      }
      break;
    }
    case Pattern::kShortText: {
      std::mt19937 gen(seed * 7919u + 17u);
      for (uint32_t y = 0; y < rows; ++y) {
        if ((y / 12) % 3 == 2) continue;
        for (uint32_t x = 8 + gen() % 16; x + 40 < width;) {
          const uint32_t run = 1 + gen() % 6;
          for (uint32_t i = 0; i < run; ++i) page.setBlack(x + i, y);
          x += run + 1 + gen() % 9;
          if (gen() % 11 == 0) x += 24;  // word gap
        }
      }
      break;
    }
    case Pattern::kRuns63And64:
      for (uint32_t r = 0; r < rows; ++r) {
        if (r % 17 == 3) continue;  // white row
        uint32_t x = 0;
        bool blackRun = false;
        while (x < width) {
          const uint32_t choice = rng() % 6;
          uint32_t run = choice == 0 ? 63 : choice == 1 ? 64 : 1 + rng() % 40;
          if (r % 23 == 5) run = width;  // whole row one colour
          for (uint32_t i = 0; i < run && x < width; ++i, ++x) {
            if (blackRun) page.setBlack(x, r);
          }
          blackRun = !blackRun;
        }
      }
      break;
    case Pattern::kBands: {
      uint32_t state = 12345u + seed * 7919u;
      for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
          bool isBlack;
          switch ((y / 8 + seed) % 4) {
            case 0: isBlack = ((x / 5) + (y / 3)) % 2 == 0; break;
            case 1: isBlack = x % 64 < 63 && y % 8 < 2; break;
            case 2: isBlack = (x * 7 + y * 3) % 11 < 3; break;
            default:
              state = state * 1103515245u + 12345u;
              isBlack = (state >> 16) % 5 == 0;
          }
          if (isBlack) page.setBlack(x, y);
        }
      }
      break;
    }
  }
  return page;
}

Bitmap makeNoisePage(uint32_t width, uint32_t rows, uint32_t blackPerMille, uint32_t seed) {
  Bitmap page(width, rows);
  std::mt19937 rng(seed);
  for (uint32_t y = 0; y < rows; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (rng() % 1000 < blackPerMille) page.setBlack(x, y);
    }
  }
  return page;
}

Bitmap makeJitterPage(uint32_t width, uint32_t rows, uint32_t spread, uint32_t seed) {
  Bitmap page(width, rows);
  std::mt19937 rng(seed);
  const auto w = static_cast<int64_t>(width);
  std::vector<int64_t> changes;
  for (int64_t x = static_cast<int64_t>(rng() % 5); x < w; x += 1 + static_cast<int64_t>(rng() % 12)) {
    changes.push_back(x);
  }
  for (uint32_t y = 0; y < rows; ++y) {
    std::vector<int64_t> moved;
    for (int64_t c : changes) {
      const uint32_t roll = rng() % 16;
      if (roll == 0) continue;  // dropped
      const int64_t shift = static_cast<int64_t>(rng() % (2 * spread + 1)) - static_cast<int64_t>(spread);
      moved.push_back(std::clamp<int64_t>(c + shift, 0, w));
      if (roll == 1) moved.push_back(std::clamp<int64_t>(c + static_cast<int64_t>(rng() % 9), 0, w));
    }
    std::sort(moved.begin(), moved.end());
    // Two changes at one position cancel out.
    changes.clear();
    for (int64_t c : moved) {
      if (!changes.empty() && changes.back() == c) {
        changes.pop_back();
      } else {
        changes.push_back(c);
      }
    }
    for (std::size_t i = 0; i + 1 <= changes.size(); i += 2) {
      const int64_t end = i + 1 < changes.size() ? changes[i + 1] : w;
      for (int64_t x = changes[i]; x < end && x < w; ++x) page.setBlack(static_cast<uint32_t>(x), y);
    }
  }
  return page;
}

bool rowsEqual(const uint8_t* a, const uint8_t* b, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) {
    if (((a[x / 8] >> (7 - x % 8)) & 1) != ((b[x / 8] >> (7 - x % 8)) & 1)) return false;
  }
  return true;
}

std::vector<uint8_t> samplePattern(std::size_t bytes, uint32_t seed) {
  std::vector<uint8_t> v(bytes);
  std::mt19937 rng(seed + 5u);
  for (std::size_t i = 0; i < bytes; ++i) {
    v[i] = static_cast<uint8_t>((i * 7 + (i / 97) * 13 + rng() % 4) & 0xFF);
  }
  return v;
}

std::vector<uint8_t> grayPattern(uint32_t width, uint32_t length, uint16_t samples, uint32_t seed) {
  std::vector<uint8_t> pixels(std::size_t{width} * length * samples);
  for (uint32_t y = 0; y < length; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (uint16_t s = 0; s < samples; ++s) {
        pixels[(std::size_t{y} * width + x) * samples + s] =
            static_cast<uint8_t>((x * 5 + y * 3 + s * 71 + seed * 13) & 0xFF);
      }
    }
  }
  return pixels;
}

}  // namespace tarnwell::test
