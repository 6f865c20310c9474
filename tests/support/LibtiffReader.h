#pragma once

// libtiff as an independent reader: every page of a TIFF with its tags, raw strips and decoded
// pixels; a directory decoded into its samples or into the gray picture it shows.

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/Bitmap.h"
#include "support/Raster.h"

namespace tarnwell::test {

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
// An open libtiff handle, closed when it goes.
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;
// Opens a file with libtiff ("r", "rc", "w", ...); empty when libtiff cannot.
TiffHandle openTiff(const std::string& path, const char* mode = "r");

// One page as libtiff reads it. Tags absent from the file read as 0, except the fill order (1).
struct TiffPage {
  uint32_t width = 0, length = 0, rowsPerStrip = 0, subfileType = 0;
  uint16_t compression = 0, photometric = 0, fillOrder = 0, orientation = 0;
  bool hasFillOrder = false;
  uint16_t bitsPerSample = 0, samplesPerPixel = 0, planar = 0, resolutionUnit = 0;
  uint16_t pageIndex = 0, pageCount = 0;
  uint32_t t4Options = 0, t6Options = 0;
  bool hasT4 = false, hasT6 = false;
  float xResolution = 0, yResolution = 0;
  std::string software, dateTime;
  std::vector<std::vector<uint8_t>> rawStrips;  // as stored
  std::vector<uint8_t> decoded;                 // every strip decoded, joined, as stored
  bool decodeFailed = false;
  // Bilevel pages: the picture with 1 bits black (MinIsBlack inverted), padding bits cleared.
  Bitmap bitmap;
};

// Every page, strips as stored (not chopped); empty when the file cannot be opened.
std::vector<TiffPage> readTiffPages(const std::string& path);
// The same; false when the file cannot be opened or a page does not decode.
bool readTiffPages(const std::string& path, std::vector<TiffPage>& out);
// The raw (still coded) bytes of every strip of the first page, joined.
std::vector<uint8_t> rawStripBytes(const std::string& path);

int countDirectories(const std::string& path);
// Runs `read` on directory `directory` of the file; false when it cannot be opened.
bool withDirectory(const std::string& path, uint32_t directory,
                   const std::function<void(TIFF*)>& read);

// A directory decoded into samples laid out as TiffImage::pixels, padding bits cleared;
// JPEG-coded YCbCr comes back as the RGB it was made from.
struct DecodedImage {
  uint32_t width = 0, length = 0;
  uint16_t bitsPerSample = 0, samplesPerPixel = 0, planar = 0, compression = 0, photometric = 0;
  bool tiled = false;
  std::vector<uint8_t> pixels;
};
bool readTiffImage(const std::string& path, uint32_t directory, DecodedImage& image);

// How a 1- to 8-bit gray directory looks upright on screen (photometric and orientation
// applied), through libtiff's own decoder; false when it cannot be decoded.
bool decodeTiffDirectory(const std::string& path, uint16_t directory, Raster& out);

}  // namespace tarnwell::test
