#pragma once

// libtiff as an independent writer: TIFFs of any layout (strips, tiles, planes, colour maps,
// any compression libtiff has), bilevel fax pages with any fax coding, fill order, resolution
// and page count, and bare Group 3 / Group 4 strips for tests that build containers around
// coded pages.

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/Bitmap.h"

namespace tarnwell::test {

// One image to write. `pixels` holds the decoded samples: rows of whole bytes (or of whole bytes
// per tile row), contiguous samples, or for separate planes one plane after the other; the
// writer cuts tiles from the full image itself. Tags left at 0 / empty / -1 are not written.
struct TiffImage {
  uint32_t width = 0, length = 0;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_NONE;
  uint32_t group3Options = 0;  // written with compression 3
  uint16_t fillOrder = 0;
  uint16_t orientation = 0;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint32_t rowsPerStrip = 0;  // 0: one strip
  uint32_t tileWidth = 0, tileLength = 0;
  float xres = 0, yres = 0;
  uint16_t resolutionUnit = 0;
  int subfileType = -1;
  int pageNumber = -1;
  std::vector<uint16_t> extraSamples;
  std::vector<uint16_t> colorMap;  // 3 * 2^bits entries: red, then green, then blue
  std::vector<uint16_t> transfer;  // 1 or 3 tables of 2^bits entries
  std::vector<uint8_t> iccProfile;
  std::vector<float> whitePoint;  // 2 values
  std::vector<float> primaries;   // 6 values
  std::string software, artist, copyright, documentName, description, dateTime;
  std::function<void(TIFF*)> extraTags;  // anything else, set before the data is written
  std::vector<uint8_t> pixels;
};

// Bytes per row (per plane row for separate planes).
std::size_t rowBytesOf(const TiffImage& image);
// The image's pixels with the padding bits behind each row's last pixel cleared.
std::vector<uint8_t> normalisedPixels(const TiffImage& image);
// Writes the images as one TIFF; false when libtiff refuses anything.
bool writeTiff(const std::string& path, const std::vector<TiffImage>& images);

// A bilevel kShortText page as a fax sender stores it: 204 x 196 dpi, Software and DateTime set.
TiffImage bilevelImage(uint32_t width, uint32_t length, uint16_t compression, uint32_t seed = 0);

// How libtiff should write fax pages.
struct FaxTiffOptions {
  uint16_t compression = COMPRESSION_CCITTFAX4;
  uint32_t t4Options = 0;
  uint16_t fillOrder = FILLORDER_MSB2LSB;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;  // MinIsBlack stores inverted bits
  uint32_t rowsPerStrip = 0;  // 0: one strip
  bool bigEndian = false;
  float xResolution = 204.0f;
  float yResolution = 196.0f;
};
// Writes every page (FILETYPE_PAGE, PageNumber i of n) row by row; false on any libtiff failure.
bool writeFaxTiff(const std::string& path, const std::vector<Bitmap>& pages,
                  const FaxTiffOptions& options = {});

// The fax codings libtiff writes: Modified Huffman (2), its word-aligned form (32771), Group 3
// one- and two-dimensional without and with fill bits before each EOL, and Group 4.
enum class Codec { kMH, kMHWord, kG3OneD, kG3OneDFill, kG3TwoD, kG3TwoDFill, kG4 };
const char* codecName(Codec c);
uint16_t compressionOf(Codec c);
uint32_t group3OptionsOf(Codec c);

struct Encoded {
  bool ok = false;
  std::vector<uint8_t> raw;      // the strip as stored (fill order applied)
  std::vector<uint8_t> decoded;  // libtiff's own decode of the strip (1 bits black)
  bool decodedOk = false;        // libtiff decoded it without an error (never for kMHWord,
                                 // whose rows libtiff 4.5 reads back out of step)
};
// Encodes the page as one strip (MinIsWhite, 204 x 196 dpi) and reads it back.
Encoded encodeWithLibtiff(const Bitmap& page, Codec codec, int fillOrder = FILLORDER_MSB2LSB);
// The same with any libtiff compression (PackBits, say) and Group 3 options.
Encoded encodeWithLibtiff(const Bitmap& page, uint16_t compression, uint32_t group3Options = 0,
                          int fillOrder = FILLORDER_MSB2LSB);
// Only the coded strip; empty when libtiff fails.
std::vector<uint8_t> encodeStrip(const Bitmap& page, Codec codec, int fillOrder = FILLORDER_MSB2LSB);
std::vector<uint8_t> encodeStrip(const Bitmap& page, uint16_t compression, uint32_t group3Options = 0,
                                 int fillOrder = FILLORDER_MSB2LSB);

}  // namespace tarnwell::test
