// Fuzzes the row-width probes, the coding probe and the T.6 width probe. The first byte chooses
// the probe, the second the rows required.

#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/FaxBitReader.h"
#include "codec/FaxProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int which = data[0] % 8;
  const int bitOrder = 1 + ((data[0] >> 3) & 1);
  const int required = 1 + data[1] % 8;
  const std::span<const uint8_t> coded(data + 2, size - 2);
  tarnwell::FaxBitReader reader(coded, bitOrder);
  int32_t width = 0;
  int result = 0;
  tarnwell::FaxProbeResult found;
  switch (which) {
    case 0: result = tarnwell::probeStandardWidth1D(reader, required, width); break;
    case 1: result = tarnwell::probeStandardWidth2D(reader, required, width); break;
    case 2: result = tarnwell::probeMinimumWidth1D(reader, required, 16, width); break;
    case 3: result = tarnwell::probeMinimumWidth2D(reader, required, 16, width); break;
    case 4: result = tarnwell::probeT6Width(reader, 16 + data[1], required, 3, true); break;
    case 5: result = tarnwell::probeT6Width(reader, 1728, required, 0, false); break;
    case 6: result = tarnwell::probeCoding(coded, required, found); break;
    default: result = tarnwell::probeT6Widths(coded, required, found); break;
  }
  // Every probe leaves the reader at the start of the data.
  if (reader.bitPosition() != 0) __builtin_trap();
  if (result == 0 && which < 4 && width <= 0) __builtin_trap();
  return 0;
}
