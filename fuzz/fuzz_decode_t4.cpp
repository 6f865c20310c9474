// Fuzzes the modified Huffman and T.4 page decoders (codings 3 to 6, and the row-complete
// variant). The first bytes choose the coding, bit order, photometric, width and row limit.

#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/FaxDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  tarnwell::FaxDecodeParams params;
  params.coding = static_cast<uint8_t>(3 + data[0] % 5);  // 3..6, and 7 for the row-complete variant
  params.bitOrder = 1 + (data[0] >> 3) % 2;
  params.photometric = (data[0] >> 4) & 1;
  // Widths 0 to 8191, mostly small so that rows complete; now and then a standard width.
  params.width = ((data[1] << 8) | data[2]) & 0x1FFF;
  if (data[0] & 0x80) params.width = 1728;
  params.rowLimit = data[3] % 64;
  const bool skipWords = (data[0] & 0x40) != 0;
  const std::span<const uint8_t> coded(data + 4, size - 4);
  tarnwell::FaxPage page;
  int result;
  if (params.coding == 7) {
    params.coding = 5;
    result = tarnwell::decodePageT4RowComplete(coded, params, skipWords, page);
  } else {
    result = tarnwell::decodePage(coded, params, page);
  }
  // The page never holds more rows than the limit, nor bitmap bytes beyond its rows.
  if (page.rows > params.rowLimit || page.rows < 0) __builtin_trap();
  if (page.bitmap.size() != static_cast<size_t>(page.rows) * page.bytesPerRow) __builtin_trap();
  if (result < -1) __builtin_trap();
  return 0;
}
