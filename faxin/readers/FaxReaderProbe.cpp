// The coding probe of the reader base: pages of containers that do not say how their data is
// coded are identified by the row-width probes and then decoded.
#include "faxin/readers/FaxReader.h"

#include <algorithm>

#include "faxin/decode/FaxDecoder.h"
#include "faxin/decode/FaxProbe.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

namespace {

int32_t decoderWidth(uint32_t given, int32_t probed) {
  if (given == 0) return probed;
  return static_cast<int32_t>(std::min<uint32_t>(given, INT32_MAX));
}

// The row limit, cut so that the bitmap of a page of this width stays within the reader's bitmap
// limit whatever row count a container declares.
int32_t decoderRowLimit(uint32_t rowLimit, int32_t width, const DescribeLimits& limits) {
  const std::size_t bytesPerRow = width > 0 ? (static_cast<std::size_t>(width) + 7) / 8 : 1;
  const std::size_t fitting = limits.maxBitmapBytes / bytesPerRow;
  return static_cast<int32_t>(std::min<std::size_t>({rowLimit, fitting, INT32_MAX}));
}

}  // namespace

int FaxReader::describeByProbe(std::span<const uint8_t> data, const ProbeSetup& setup,
                               FaxPage& page) {
  FaxProbeResult found;
  FaxDecodeParams params;
  params.photometric = 0;
  if (probeCoding(data, threshold(), found) == 0) {
    params.bitOrder = found.bitOrder;
    params.coding = found.coding;
    params.width = decoderWidth(setup.width, found.width);
    params.rowLimit = decoderRowLimit(setup.rowLimit, params.width, describeLimits());
    return decodePage(data, params, page) < 0 ? -2 : 0;
  }
  // The fallback resynchronises on flags of flagNum 0xFF bytes, as the T.6 decoder does.
  if (setup.t6Fallback && probeT6Widths(data, threshold(), found, flagNum()) == 0) {
    params.bitOrder = found.bitOrder;
    params.coding = 7;
    params.width = decoderWidth(setup.width, found.width);
    params.rowLimit = decoderRowLimit(setup.rowLimit, params.width, describeLimits());
    params.markerCount = flagNum();
    return decodePageT6(data, params, page) < 0 ? -2 : 0;
  }
  return -1;
}

}  // namespace tarnwell
