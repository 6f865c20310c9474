// Fuzzes the Group 4 encoder by its round trip: the input bytes are a page, our encoder codes it
// and our T.6 decoder must give every pixel back. The first three bytes choose the bit sense
// (bit 0), the extra bytes behind each row (bits 1-2), and the width (1728 when bit 7 is set,
// else the next two bytes, 1 to 4096).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/FaxDecoder.h"
#include "codec/FaxG4Encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool oneIsBlack = (data[0] & 1) != 0;
  const std::size_t padding = (data[0] >> 1) & 3;
  const int32_t width = (data[0] & 0x80) != 0 ? 1728 : 1 + (((data[1] << 8) | data[2]) & 0x0FFF);
  const std::span<const uint8_t> bitmap(data + 3, size - 3);
  const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
  const std::size_t stride = rowBytes + padding;
  // Whole rows only, the last one without the extra bytes behind it.
  const std::size_t rows = bitmap.size() < rowBytes ? 0 : (bitmap.size() - rowBytes) / stride + 1;

  std::vector<uint8_t> coded;
  if (!tarnwell::encodePageT6(bitmap, width, static_cast<int32_t>(rows), stride, oneIsBlack, coded)) {
    __builtin_trap();
  }
  tarnwell::FaxDecodeParams params;
  params.coding = 7;
  params.photometric = oneIsBlack ? 1 : 0;
  params.width = width;
  params.rowLimit = static_cast<int32_t>(rows) + 1;
  tarnwell::FaxPage page;
  const int result = tarnwell::decodePageT6(coded, params, page);
  if (rows == 0) return 0;  // the end of the block alone decodes to no row
  if (result != 0 || page.rows != static_cast<int32_t>(rows)) __builtin_trap();
  const uint8_t lastMask = static_cast<uint8_t>(0xFF00 >> (width % 8 == 0 ? 8 : width % 8));
  for (std::size_t y = 0; y < rows; ++y) {
    const uint8_t* source = bitmap.data() + y * stride;
    const uint8_t* decoded = page.bitmap.data() + y * rowBytes;
    if (!std::equal(source, source + rowBytes - 1, decoded)) __builtin_trap();
    if (((source[rowBytes - 1] ^ decoded[rowBytes - 1]) & lastMask) != 0) __builtin_trap();
  }
  return 0;
}
