#pragma once

// Test-only helpers for the engine and TIFF reader tests: bilevel test bitmaps, fax TIFFs made by
// libtiff (an independent encoder), reading TIFFs back with libtiff, and a scratch directory.

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"

namespace tarnwell::testing {

// One page, rows of (width + 7) / 8 bytes, highest bit first, 1 = black (MinIsWhite sense).
struct Bitmap {
  uint32_t width = 0;
  uint32_t rows = 0;
  std::vector<uint8_t> bits;
  uint32_t bytesPerRow() const { return (width + 7) / 8; }
  bool operator==(const Bitmap&) const = default;
};

// A text-like page: runs of varied lengths, some rows blank, some rows full; `seed` varies it.
inline Bitmap makeBitmap(uint32_t width, uint32_t rows, uint32_t seed) {
  Bitmap b{width, rows, std::vector<uint8_t>(size_t{(width + 7) / 8} * rows, 0)};
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] { state = state * 1103515245u + 12345u; return (state >> 16) & 0x7FFF; };
  for (uint32_t y = 0; y < rows; ++y) {
    if ((y + seed) % 7 == 3) continue;  // a white row
    uint32_t x = next() % 40;
    while (x < width) {
      uint32_t run = 1 + next() % ((y % 5 == 0) ? 300 : 24);
      for (uint32_t i = x; i < x + run && i < width; ++i) {
        b.bits[size_t{y} * b.bytesPerRow() + i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
      }
      x += run + 1 + next() % 60;
    }
  }
  return b;
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// How libtiff should write a fax page.
struct FaxTiffOptions {
  uint16_t compression = COMPRESSION_CCITTFAX4;
  uint32_t t4Options = 0;
  uint16_t fillOrder = FILLORDER_MSB2LSB;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint32_t rowsPerStrip = 0;  // 0: one strip
  bool bigEndian = false;
  float xResolution = 204.0f;
  float yResolution = 196.0f;
};

inline void quietLibtiff() {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
}

// Writes the pages into a TIFF file with libtiff; false on any libtiff failure.
inline bool writeFaxTiff(const std::string& path, const std::vector<Bitmap>& pages,
                         const FaxTiffOptions& o) {
  quietLibtiff();
  TiffHandle t(TIFFOpen(path.c_str(), o.bigEndian ? "wb" : "wl"));
  if (!t) return false;
  for (size_t p = 0; p < pages.size(); ++p) {
    const Bitmap& b = pages[p];
    TIFF* tif = t.get();
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, b.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, b.rows);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, o.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, o.photometric);
    TIFFSetField(tif, TIFFTAG_FILLORDER, o.fillOrder);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, o.rowsPerStrip ? o.rowsPerStrip : b.rows);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, o.xResolution);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, o.yResolution);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p),
                 static_cast<uint16_t>(pages.size()));
    if (o.compression == COMPRESSION_CCITTFAX3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, o.t4Options);
    std::vector<uint8_t> row(b.bytesPerRow());
    for (uint32_t y = 0; y < b.rows; ++y) {
      std::copy_n(b.bits.begin() + ptrdiff_t{y} * b.bytesPerRow(), b.bytesPerRow(), row.begin());
      // A photometric of MinIsBlack stores the same picture with inverted bits.
      if (o.photometric == PHOTOMETRIC_MINISBLACK) for (auto& v : row) v = static_cast<uint8_t>(~v);
      if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) return false;
    }
    if (!TIFFWriteDirectory(tif)) return false;
  }
  return true;
}

// A page read back with libtiff plus the tags the tests look at.
struct ReadPage {
  Bitmap bitmap;
  uint16_t compression = 0;
  uint32_t t4Options = 0;
  uint16_t fillOrder = 0;
  uint16_t photometric = 0;
  uint16_t pageIndex = 0;
  uint16_t pageCount = 0;
  float xResolution = 0;
  float yResolution = 0;
};

// Every page of a bilevel TIFF, decoded by libtiff into MinIsWhite bits; false on any failure.
inline bool readTiffPages(const std::string& path, std::vector<ReadPage>& out) {
  quietLibtiff();
  out.clear();
  TiffHandle t(TIFFOpen(path.c_str(), "r"));
  if (!t) return false;
  TIFF* tif = t.get();
  do {
    ReadPage p;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &p.fillOrder);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
    if (p.compression == COMPRESSION_CCITTFAX3) TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &p.t4Options);
    TIFFGetField(tif, TIFFTAG_PAGENUMBER, &p.pageIndex, &p.pageCount);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &p.xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &p.yResolution);
    p.bitmap = Bitmap{w, h, std::vector<uint8_t>(size_t{(w + 7) / 8} * h)};
    for (uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif, p.bitmap.bits.data() + size_t{y} * p.bitmap.bytesPerRow(), y, 0) < 0) {
        return false;
      }
    }
    if (p.photometric == PHOTOMETRIC_MINISBLACK) for (auto& v : p.bitmap.bits) v = static_cast<uint8_t>(~v);
    // Clear the padding bits behind the last pixel of each row, so bitmaps compare by pixels.
    if (w % 8) {
      for (uint32_t y = 0; y < h; ++y) {
        p.bitmap.bits[size_t{y} * p.bitmap.bytesPerRow() + p.bitmap.bytesPerRow() - 1] &=
            static_cast<uint8_t>(0xFF << (8 - w % 8));
      }
    }
    out.push_back(std::move(p));
  } while (TIFFReadDirectory(tif));
  return true;
}

// The raw (still coded) bytes of every strip of the first page, joined.
inline std::vector<uint8_t> rawStripBytes(const std::string& path) {
  quietLibtiff();
  std::vector<uint8_t> out;
  TiffHandle t(TIFFOpen(path.c_str(), "r"));
  if (!t) return out;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t.get()); ++s) {
    tmsize_t size = static_cast<tmsize_t>(TIFFGetStrileByteCount(t.get(), s));
    std::vector<uint8_t> strip(static_cast<size_t>(size));
    tmsize_t got = TIFFReadRawStrip(t.get(), s, strip.data(), size);
    if (got < 0) return {};
    out.insert(out.end(), strip.begin(), strip.begin() + got);
  }
  return out;
}

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  // Replacing rather than truncating spares the file system a flush of the old contents.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Renames the PhotometricInterpretation entry (262) of every directory of a little-endian TIFF to
// the undefined tag 261, which keeps the entries in ascending order: the file then has no
// photometric tag.
inline bool dropPhotometric(std::vector<uint8_t>& tiff) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(tiff[at] | (tiff[at + 1] << 8)); };
  auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
  if (tiff.size() < 8 || tiff[0] != 'I') return false;
  bool dropped = false;
  for (uint32_t ifd = u32(4), seen = 0; ifd != 0 && seen < 100; ++seen) {
    if (size_t{ifd} + 2 > tiff.size()) return false;
    const uint32_t count = u16(ifd);
    if (size_t{ifd} + 2 + 12 * size_t{count} + 4 > tiff.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
      const size_t entry = ifd + 2 + 12 * size_t{i};
      if (u16(entry) == 262) {
        tiff[entry] = 261 & 0xFF;
        dropped = true;
      }
    }
    ifd = u32(ifd + 2 + 12 * size_t{count});
  }
  return dropped;
}

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trwtestXXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Engine settings whose working files all live in the scratch directory.
inline EngineSettings settingsIn(const ScratchDir& dir) {
  EngineSettings s;
  s.workFilePath = dir.file("trwtmp.tmp");
  s.segmentFilePath = dir.file("trwseg.tmp");
  s.scratchTiffPath = dir.file("trwtif.tmp");
  return s;
}

}  // namespace tarnwell::testing
