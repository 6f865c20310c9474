#pragma once

// Fixtures for the raw fax reader tests: bitmaps, bare streams cut out of TIFF strips that
// libtiff encodes (an independent codec), pbmtog3 streams, and reading the intermediate TIFF
// back with libtiff.

#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwell::rawtest {

// One bilevel image, rows packed highest bit first, 1 bits black.
struct Bitmap {
  int width = 0;
  int rows = 0;
  std::vector<uint8_t> bits;
  int bytesPerRow() const { return (width + 7) / 8; }
  bool operator==(const Bitmap&) const = default;
};

enum class Coding { kG3OneD, kG3TwoD, kG4 };

// Text-like pages: dark bars, thin lines and dots that differ with the seed; the last padding bits
// of every row are clear.
inline Bitmap makePage(int width, int rows, unsigned seed) {
  Bitmap b{width, rows, std::vector<uint8_t>(static_cast<std::size_t>((width + 7) / 8) * rows, 0)};
  uint32_t state = seed * 2654435761u + 12345u;
  auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7FFF;
  };
  auto set = [&](int x, int y) {
    b.bits[static_cast<std::size_t>(y) * b.bytesPerRow() + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  };
  for (int y = 0; y < rows; ++y) {
    if (y % 40 < 12) {  // a "line of text": words of random length
      int x = 40 + static_cast<int>(next() % 30);
      while (x < width - 60) {
        const int len = 8 + static_cast<int>(next() % 90);
        for (int i = 0; i < len && x + i < width; ++i) {
          if ((next() % 7) != 0) set(x + i, y);
        }
        x += len + 10 + static_cast<int>(next() % 40);
      }
    } else if (y % 97 == 50) {  // a rule across the page
      for (int x = 10; x < width - 10; ++x) set(x, y);
    }
    set(static_cast<int>((y * 7 + seed) % static_cast<unsigned>(width)), y);
  }
  return b;
}

inline std::string tempPath(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(TARNWELL_BINARY_DIR) / "raw_test_tmp";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::vector<uint8_t> out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  return out;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// The coded bytes libtiff produces for one page (one strip), in the given fill order.
inline std::vector<uint8_t> encodeStrip(const Bitmap& page, Coding coding, int fillOrder,
                                        const std::string& scratch) {
  TIFF* tif = TIFFOpen(scratch.c_str(), "w");
  if (tif == nullptr) return {};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.rows);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_FILLORDER, fillOrder);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, page.rows);
  if (coding == Coding::kG4) {
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  } else {
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS,
                 coding == Coding::kG3TwoD ? GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS
                                           : GROUP3OPT_FILLBITS);
  }
  std::vector<uint8_t> row(static_cast<std::size_t>(page.bytesPerRow()));
  for (int y = 0; y < page.rows; ++y) {
    std::copy_n(page.bits.begin() + static_cast<std::ptrdiff_t>(y) * page.bytesPerRow(), row.size(), row.begin());
    TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tif);

  std::vector<uint8_t> strip;
  tif = TIFFOpen(scratch.c_str(), "r");
  if (tif == nullptr) return {};
  uint64_t* counts = nullptr;
  if (TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts != nullptr) {
    strip.resize(static_cast<std::size_t>(counts[0]));
    const tmsize_t n = TIFFReadRawStrip(tif, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    strip.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  TIFFClose(tif);
  return strip;
}

// A PBM file of the bitmap.
inline void writePbm(const Bitmap& page, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fprintf(f, "P4\n%d %d\n", page.width, page.rows);
  std::fwrite(page.bits.data(), 1, page.bits.size(), f);
  std::fclose(f);
}

// pbmtog3's stream for the bitmap (highest bit first, or reversed); empty when it cannot run.
inline std::vector<uint8_t> pbmtog3Stream(const Bitmap& page, bool reverseBits,
                                          const std::string& base) {
  const std::string pbm = base + ".pbm";
  const std::string g3 = base + ".g3";
  writePbm(page, pbm);
  const std::string command = std::string("pbmtog3 -quiet -nofixedwidth ") +
                              (reverseBits ? "-reversebits " : "") + "'" + pbm + "' > '" + g3 +
                              "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return readBytes(g3);
}

struct TiffPage {
  Bitmap image;
  uint16_t compression = 0;
  uint16_t fillOrder = 0;
  float xResolution = 0;
  float yResolution = 0;
};

// Every page of a TIFF decoded by libtiff, normalised to 1 bits black.
inline std::vector<TiffPage> readTiff(const std::string& path) {
  std::vector<TiffPage> pages;
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return pages;
  do {
    TiffPage p;
    uint32_t width = 0, rows = 0;
    uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &rows);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &p.fillOrder);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yResolution);
    p.image.width = static_cast<int>(width);
    p.image.rows = static_cast<int>(rows);
    const std::size_t bpr = static_cast<std::size_t>(p.image.bytesPerRow());
    p.image.bits.assign(bpr * rows, 0);
    std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)) + 8);
    for (uint32_t y = 0; y < rows; ++y) {
      if (TIFFReadScanline(tif, line.data(), y, 0) < 0) break;
      for (std::size_t i = 0; i < bpr; ++i) {
        p.image.bits[y * bpr + i] = photometric == PHOTOMETRIC_MINISBLACK ? static_cast<uint8_t>(~line[i]) : line[i];
      }
      if (width % 8 != 0) p.image.bits[y * bpr + bpr - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
    }
    pages.push_back(std::move(p));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

inline uint8_t reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

// Bytes written highest bit first, stored in the given fill order.
inline std::vector<uint8_t> inOrder(std::vector<uint8_t> msbFirst, int fillOrder) {
  if (fillOrder == 2) {
    for (uint8_t& b : msbFirst) b = reversed(b);
  }
  return msbFirst;
}

// Return to control: six EOLs (one-dimensional), or six EOLs each with tag bit 1 behind two fill
// bits (two-dimensional), as fax pages end.
inline std::vector<uint8_t> rtc(bool twoD, int fillOrder) {
  if (!twoD) {
    return inOrder({0x00, 0x10, 0x01, 0x00, 0x10, 0x01, 0x00, 0x10, 0x01}, fillOrder);
  }
  // 00 + (000000000001 1) x 6 = 80 bits.
  std::vector<uint8_t> bits;
  bits.assign(2, 0);
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < 11; ++k) bits.push_back(0);
    bits.push_back(1);
    bits.push_back(1);
  }
  std::vector<uint8_t> bytes(bits.size() / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
  return inOrder(bytes, fillOrder);
}

// A damaged row: an EOL, a row of seven pixels (white 2, black 5), zero fill. For
// two-dimensional data the EOL carries tag bit 1.
inline std::vector<uint8_t> corruptedRow(bool twoD, int fillOrder) {
  // 0000 0000 0001 [1] 0111 0011 ...
  if (twoD) return inOrder({0x00, 0x1B, 0x98}, fillOrder);
  return inOrder({0x00, 0x17, 0x30}, fillOrder);
}

inline std::vector<uint8_t> junk(std::size_t n, unsigned seed) {
  std::vector<uint8_t> out(n);
  uint32_t state = seed + 7;
  for (uint8_t& b : out) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// The rows [first, first + count) of a bitmap.
inline Bitmap rowsOf(const Bitmap& b, int first, int count) {
  Bitmap out{b.width, count, {}};
  const auto bpr = static_cast<std::ptrdiff_t>(b.bytesPerRow());
  out.bits.assign(b.bits.begin() + first * bpr, b.bits.begin() + (first + count) * bpr);
  return out;
}

}  // namespace tarnwell::rawtest
