#pragma once

#include <cstdint>
#include <vector>

namespace tarnwell {

// Coding of fax page data.
enum class FaxCoding : uint8_t {
  kNone = 0,
  kUncompressed = 1,
  kModifiedHuffman = 3,      // T.4 1-D rows without EOL, byte-aligned (TIFF compression 2)
  kModifiedHuffmanWord = 4,  // as 3, rows aligned to 16-bit words
  kT4OneD = 5,
  kT4TwoD = 6,
  kT6 = 7,
  kPackBits = 8,
};

// Description of one decoded page. On disk (the raw work file header) it is a 37-byte
// little-endian record: the fields below in order, then a 4-byte bitmap slot.
struct FaxPage {
  int32_t reserved = 0;
  int32_t width = 0;
  int32_t rows = 0;
  int32_t bytesPerRow = 0;
  int16_t bitsPerSample = 0;
  int16_t samplesPerPixel = 0;
  uint32_t codedSize = 0;
  uint16_t xResolution = 0;
  uint16_t yResolution = 0;
  uint8_t resolutionUnit = 0;
  uint8_t fillOrder = 0;
  uint8_t coding = 0;        // a FaxCoding value
  uint8_t pageSize = 0;      // width class 1 (A4), 2 (B4), 3 (A3)
  uint8_t photometric = 0;
  // rows * bytesPerRow bytes, highest bit first; with photometric 0 a 1 bit is white.
  std::vector<uint8_t> bitmap;

  static constexpr std::size_t kRecordSize = 37;
};

}  // namespace tarnwell
