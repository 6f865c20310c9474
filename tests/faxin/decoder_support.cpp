#include "decoder_support.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>

#include "faxin/FaxPage.h"

namespace tarnwell::test {

bool TestPage::black(int x, int y) const {
  return (bits[static_cast<std::size_t>(y) * bytesPerRow() + x / 8] >> (7 - x % 8)) & 1;
}

void TestPage::setBlack(int x, int y) {
  bits[static_cast<std::size_t>(y) * bytesPerRow() + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

const char* patternName(Pattern p) {
  switch (p) {
    case Pattern::kText: return "Text";
    case Pattern::kRandomRuns: return "RandomRuns";
    case Pattern::kAllWhite: return "AllWhite";
    case Pattern::kAllBlack: return "AllBlack";
    case Pattern::kStripes: return "Stripes";
    case Pattern::kCheckerboard: return "Checkerboard";
    case Pattern::kLongRuns: return "LongRuns";
    case Pattern::kFramedText: return "FramedText";
  }
  return "?";
}

TestPage makePage(Pattern pattern, int width, int height, uint32_t seed) {
  TestPage page;
  page.width = width;
  page.height = height;
  page.bits.assign(static_cast<std::size_t>(page.bytesPerRow()) * height, 0);
  std::mt19937 rng(seed);
  auto fillRun = [&](int y, int from, int to) {
    for (int x = std::max(from, 0); x < std::min(to, width); ++x) page.setBlack(x, y);
  };
  switch (pattern) {
    case Pattern::kAllWhite:
      break;
    case Pattern::kAllBlack:
      for (int y = 0; y < height; ++y) fillRun(y, 0, width);
      break;
    case Pattern::kStripes:
      // Single-pixel vertical stripes on even rows, single-pixel horizontal lines every 3rd row.
      for (int y = 0; y < height; ++y) {
        if (y % 3 == 2) {
          fillRun(y, 0, width);
        } else if (y % 2 == 0) {
          for (int x = 0; x < width; x += 2) page.setBlack(x, y);
        }
      }
      break;
    case Pattern::kCheckerboard:
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          if (((x / (1 + y % 5)) + y) % 2 == 0) page.setBlack(x, y);
        }
      }
      break;
    case Pattern::kRandomRuns:
      for (int y = 0; y < height; ++y) {
        int x = 0;
        bool blackRun = false;
        std::uniform_int_distribution<int> shortRun(0, 70);
        std::uniform_int_distribution<int> longRun(0, 3000);
        while (x < width) {
          const int run = rng() % 4 == 0 ? longRun(rng) : shortRun(rng);
          if (blackRun) fillRun(y, x, x + run);
          x += run;
          blackRun = !blackRun;
        }
      }
      break;
    case Pattern::kLongRuns: {
      // Runs of exactly 63, 64, 1728, 2560 and 2561 pixels and their neighbours.
      static const int kRuns[] = {63, 64, 65, 127, 128, 1727, 1728, 1729, 1791, 1792,
                                  2559, 2560, 2561, 4095, 1, 0};
      for (int y = 0; y < height; ++y) {
        int x = 0;
        bool blackRun = y % 2 == 1;
        for (int i = y; x < width; ++i) {
          const int run = kRuns[i % std::size(kRuns)];
          if (blackRun) fillRun(y, x, x + run);
          x += run;
          blackRun = !blackRun;
        }
      }
      break;
    }
    case Pattern::kFramedText: {
      page = makePage(Pattern::kText, width, height, seed);
      for (int y = 0; y < height; ++y) {
        if (y == 0 || y == height - 1) {
          fillRun(y, 0, width);
        } else {
          page.setBlack(0, y);
          page.setBlack(width - 1, y);
        }
      }
      break;
    }
    case Pattern::kText: {
      // Lines of "words": glyph cells with strokes, serifs and dots, margins left and right.
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
              if (glyph & 1) fillRun(y, x, x + 2);                               // stem
              if ((glyph & 2) && (dy == 0 || dy == lineHeight - 7)) fillRun(y, x, x + w);  // bars
              if ((glyph & 4) && dy > 8) fillRun(y, x + w - 2, x + w);         // right stem
              if ((glyph & 8) && dy == 9) fillRun(y, x, x + w);                 // middle bar
              if (glyph == 0 && dy > 10 && dy < 13) fillRun(y, x + 2, x + 4);   // dot
            }
            x += w + 2;
          }
          x += 8;
        }
      }
      break;
    }
  }
  return page;
}

const char* codecName(Codec c) {
  switch (c) {
    case Codec::kMH: return "MH";
    case Codec::kMHWord: return "MHWord";
    case Codec::kG3OneD: return "G3OneD";
    case Codec::kG3OneDFill: return "G3OneDFill";
    case Codec::kG3TwoD: return "G3TwoD";
    case Codec::kG3TwoDFill: return "G3TwoDFill";
    case Codec::kG4: return "G4";
  }
  return "?";
}

uint8_t codecCoding(Codec c) {
  switch (c) {
    case Codec::kMH: return static_cast<uint8_t>(FaxCoding::kModifiedHuffman);
    case Codec::kMHWord: return static_cast<uint8_t>(FaxCoding::kModifiedHuffmanWord);
    case Codec::kG3OneD:
    case Codec::kG3OneDFill: return static_cast<uint8_t>(FaxCoding::kT4OneD);
    case Codec::kG3TwoD:
    case Codec::kG3TwoDFill: return static_cast<uint8_t>(FaxCoding::kT4TwoD);
    case Codec::kG4: return static_cast<uint8_t>(FaxCoding::kT6);
  }
  return 0;
}

std::string uniqueTempPath(const std::string& stem) {
  static std::atomic<int> counter{0};
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
  return path + "/trw_dec_" + stem + "_" + std::to_string(getpid()) + "_" +
         std::to_string(counter++) + ".tif";
}

namespace {

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

}  // namespace

namespace {

thread_local int libtiffErrors = 0;

void countError(const char*, const char*, va_list) { ++libtiffErrors; }

}  // namespace

Encoded encodeWithLibtiff(const TestPage& page, Codec codec, int fillOrder) {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(countError);
  Encoded out;
  const std::string path = uniqueTempPath(codecName(codec));
  {
    TiffHandle tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return out;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, fillOrder == 2 ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 196.0);
    switch (codec) {
      case Codec::kMH:
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE);
        break;
      case Codec::kMHWord:
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLEW);
        break;
      case Codec::kG3OneD:
      case Codec::kG3OneDFill:
      case Codec::kG3TwoD:
      case Codec::kG3TwoDFill: {
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        uint32_t options = 0;
        if (codec == Codec::kG3TwoD || codec == Codec::kG3TwoDFill) options |= GROUP3OPT_2DENCODING;
        if (codec == Codec::kG3OneDFill || codec == Codec::kG3TwoDFill) options |= GROUP3OPT_FILLBITS;
        TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, options);
        break;
      }
      case Codec::kG4:
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        break;
    }
    // One write buffer for the whole strip: libtiff's word-aligned codec aligns rows relative to
    // its buffer, so a flush at an odd count would shift the alignment inside the strip.
    TIFFWriteBufferSetup(t, nullptr, static_cast<tmsize_t>(page.bits.size() * 4 + 65536));
    std::vector<uint8_t> copy = page.bits;  // libtiff may modify the buffer it encodes
    if (TIFFWriteEncodedStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size())) < 0) {
      std::remove(path.c_str());
      return out;
    }
  }
  {
    TiffHandle tif(TIFFOpen(path.c_str(), "r"));
    if (!tif) {
      std::remove(path.c_str());
      return out;
    }
    uint64_t* counts = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) == 1 && counts != nullptr) {
      out.raw.resize(static_cast<std::size_t>(counts[0]));
      const tmsize_t got = TIFFReadRawStrip(tif.get(), 0, out.raw.data(),
                                            static_cast<tmsize_t>(out.raw.size()));
      out.decoded.resize(page.bits.size());
      libtiffErrors = 0;
      const tmsize_t dec = TIFFReadEncodedStrip(tif.get(), 0, out.decoded.data(),
                                                static_cast<tmsize_t>(out.decoded.size()));
      out.ok = got == static_cast<tmsize_t>(out.raw.size());
      // libtiff 4.5 reads back some of its own word-aligned (32771) strips with rows out of step,
      // silently; its decode of that codec is not used as a reference.
      out.decodedOk = dec >= 0 && libtiffErrors == 0 && codec != Codec::kMHWord;
    }
  }
  std::remove(path.c_str());
  return out;
}

BitWriter& BitWriter::put(std::string_view bits) {
  for (char c : bits) {
    if (c == '0' || c == '1') bits_.push_back(c == '1');
  }
  return *this;
}

std::vector<uint8_t> BitWriter::bytes(bool reversed) const {
  std::vector<uint8_t> out((bits_.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < bits_.size(); ++i) {
    if (!bits_[i]) continue;
    out[i / 8] |= static_cast<uint8_t>(reversed ? (1 << (i % 8)) : (0x80 >> (i % 8)));
  }
  return out;
}

bool rowsEqual(const uint8_t* a, const uint8_t* b, int width) {
  for (int x = 0; x < width; ++x) {
    if (((a[x / 8] >> (7 - x % 8)) & 1) != ((b[x / 8] >> (7 - x % 8)) & 1)) return false;
  }
  return true;
}

}  // namespace tarnwell::test
