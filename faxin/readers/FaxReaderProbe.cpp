// The coding probe of the reader base: pages of containers that do not say how their data is
// coded are identified by the row-width probes and then decoded.
#include "faxin/readers/FaxReader.h"

#include <algorithm>

#include "faxin/decode/FaxDecoder.h"
#include "faxin/decode/FaxProbe.h"

namespace tarnwell {

namespace {

int32_t decoderWidth(uint32_t given, int32_t probed) {
  if (given == 0) return probed;
  return static_cast<int32_t>(std::min<uint32_t>(given, INT32_MAX));
}

int32_t decoderRowLimit(uint32_t rowLimit) {
  return static_cast<int32_t>(std::min<uint32_t>(rowLimit, INT32_MAX));
}

}  // namespace

int FaxReader::describeByProbe(std::span<const uint8_t> data, const ProbeSetup& setup,
                               FaxPage& page) {
  FaxProbeResult found;
  FaxDecodeParams params;
  params.photometric = 0;
  params.rowLimit = decoderRowLimit(setup.rowLimit);
  if (probeCoding(data, threshold(), found) == 0) {
    params.bitOrder = found.bitOrder;
    params.coding = found.coding;
    params.width = decoderWidth(setup.width, found.width);
    return decodePage(data, params, page) < 0 ? -2 : 0;
  }
  if (setup.t6Fallback && probeT6Widths(data, threshold(), found) == 0) {
    params.bitOrder = found.bitOrder;
    params.coding = 7;
    params.width = decoderWidth(setup.width, found.width);
    params.markerCount = flagNum();
    return decodePageT6(data, params, page) < 0 ? -2 : 0;
  }
  return -1;
}

}  // namespace tarnwell
