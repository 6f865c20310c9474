// Fuzzes the T.6 page decoder. The first bytes choose the bit order, photometric, options,
// marker length, width and row limit.

#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/FaxDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  tarnwell::FaxDecodeParams params;
  params.coding = 7;
  params.bitOrder = 1 + (data[0] & 1);
  params.photometric = (data[0] >> 1) & 1;
  params.t6Options = (data[0] >> 2) & 3;
  params.markerCount = (data[0] >> 4) & 3;
  params.width = ((data[1] << 8) | data[2]) & 0x1FFF;
  if (data[0] & 0x80) params.width = 1728;
  params.rowLimit = data[3] % 64;
  tarnwell::FaxPage page;
  const int result = tarnwell::decodePageT6(std::span<const uint8_t>(data + 4, size - 4), params, page);
  if (page.rows > params.rowLimit || page.rows < 0) __builtin_trap();
  if (page.bitmap.size() != static_cast<size_t>(page.rows) * page.bytesPerRow) __builtin_trap();
  if (result < -1) __builtin_trap();
  if ((params.t6Options & 1) != 0 && (result != -1 || page.rows != 0)) __builtin_trap();
  return 0;
}
