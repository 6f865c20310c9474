#pragma once

// Test helpers for the fax TIFF writer and the reader base: temporary directories, whole-file
// reads, and libtiff as an independent reader and encoder of TIFF pages.

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tarnwell::writertest {

// A fresh directory under the temporary directory, removed with everything in it at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path() /
              ("tarnwell-writer-" + std::to_string(rd()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(path_)) return;
    }
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}
inline uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

inline TiffPtr openTiff(const std::string& path, const char* mode) {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
  return TiffPtr(TIFFOpen(path.c_str(), mode));
}

// One page as libtiff reads it.
struct LibtiffPage {
  uint32_t width = 0, length = 0, rowsPerStrip = 0, subfileType = 0;
  uint16_t compression = 0, photometric = 0, fillOrder = 0, orientation = 0;
  uint16_t bitsPerSample = 0, samplesPerPixel = 0, planar = 0, resolutionUnit = 0;
  uint16_t pageIndex = 0, pageCount = 0;
  uint32_t t4Options = 0, t6Options = 0;
  bool hasT4 = false, hasT6 = false;
  float xResolution = 0, yResolution = 0;
  std::string software, dateTime;
  std::vector<std::vector<uint8_t>> rawStrips;
  std::vector<uint8_t> decoded;  // all strips decoded and joined
  bool decodeFailed = false;
};

inline std::vector<LibtiffPage> readPagesWithLibtiff(const std::string& path) {
  std::vector<LibtiffPage> pages;
  TiffPtr tif = openTiff(path, "rc");  // strips as stored, not chopped into smaller ones
  if (!tif) return pages;
  do {
    TIFF* t = tif.get();
    LibtiffPage p;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &p.length);
    TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &p.rowsPerStrip);
    TIFFGetField(t, TIFFTAG_SUBFILETYPE, &p.subfileType);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &p.photometric);
    TIFFGetField(t, TIFFTAG_FILLORDER, &p.fillOrder);
    TIFFGetField(t, TIFFTAG_ORIENTATION, &p.orientation);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &p.bitsPerSample);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &p.samplesPerPixel);
    TIFFGetField(t, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &p.resolutionUnit);
    TIFFGetField(t, TIFFTAG_PAGENUMBER, &p.pageIndex, &p.pageCount);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &p.xResolution);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &p.yResolution);
    if (p.compression == COMPRESSION_CCITTFAX3) {
      p.hasT4 = TIFFGetField(t, TIFFTAG_GROUP3OPTIONS, &p.t4Options) == 1;
    } else if (p.compression == COMPRESSION_CCITTFAX4) {
      p.hasT6 = TIFFGetField(t, TIFFTAG_GROUP4OPTIONS, &p.t6Options) == 1;
    }
    char* text = nullptr;
    if (TIFFGetField(t, TIFFTAG_SOFTWARE, &text) == 1 && text != nullptr) p.software = text;
    if (TIFFGetField(t, TIFFTAG_DATETIME, &text) == 1 && text != nullptr) p.dateTime = text;

    const uint32_t strips = TIFFNumberOfStrips(t);
    const tmsize_t stripSize = TIFFStripSize(t);
    uint64_t* counts = nullptr;
    TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
    for (uint32_t s = 0; s < strips; ++s) {
      std::vector<uint8_t> raw(counts != nullptr ? counts[s] : 0);
      if (!raw.empty() && TIFFReadRawStrip(t, s, raw.data(), static_cast<tmsize_t>(raw.size())) < 0) {
        raw.clear();
      }
      p.rawStrips.push_back(std::move(raw));
      if (stripSize > 0) {
        std::vector<uint8_t> rows(static_cast<std::size_t>(stripSize));
        const tmsize_t got = TIFFReadEncodedStrip(t, s, rows.data(), stripSize);
        if (got < 0) {
          p.decodeFailed = true;
        } else {
          p.decoded.insert(p.decoded.end(), rows.begin(), rows.begin() + got);
        }
      }
    }
    pages.push_back(std::move(p));
  } while (TIFFReadDirectory(tif.get()) == 1);
  return pages;
}

// Encodes a bitmap (rows of (width + 7) / 8 bytes) with libtiff into a one-strip TIFF and returns
// the strip's coded bytes.
inline std::vector<uint8_t> encodeWithLibtiff(const std::string& scratchPath,
                                              const std::vector<uint8_t>& bitmap, uint32_t width,
                                              uint32_t rows, uint16_t compression,
                                              uint32_t t4Options = 0, uint16_t fillOrder = 1) {
  {
    TiffPtr tif = openTiff(scratchPath, "w");
    if (!tif) return {};
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, fillOrder);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, t4Options);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
    const std::size_t rowBytes = (width + 7) / 8;
    if (TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(bitmap.data()),
                              static_cast<tmsize_t>(rowBytes * rows)) < 0) {
      return {};
    }
  }
  std::vector<LibtiffPage> pages = readPagesWithLibtiff(scratchPath);
  if (pages.size() != 1 || pages[0].rawStrips.size() != 1) return {};
  return pages[0].rawStrips[0];
}

// A page-like bitmap: text-like runs of varied lengths, including runs of 63 and 64 pixels, a
// full white row and a full black row.
inline std::vector<uint8_t> makeBitmap(uint32_t width, uint32_t rows, uint32_t seed) {
  const std::size_t rowBytes = (width + 7) / 8;
  std::vector<uint8_t> bitmap(rowBytes * rows, 0);
  std::mt19937 gen(seed);
  for (uint32_t r = 0; r < rows; ++r) {
    if (r % 17 == 3) continue;  // white row
    uint32_t x = 0;
    bool black = false;
    while (x < width) {
      const uint32_t choice = gen() % 6;
      uint32_t run = choice == 0 ? 63 : choice == 1 ? 64 : 1 + gen() % 40;
      if (r % 23 == 5) run = width;  // whole row one colour
      for (uint32_t i = 0; i < run && x < width; ++i, ++x) {
        if (black) bitmap[r * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      black = !black;
    }
  }
  return bitmap;
}

}  // namespace tarnwell::writertest
