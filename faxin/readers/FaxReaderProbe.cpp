// The coding probe of the reader base: pages of containers that do not say how their data is
// coded are identified by the row-width probes and then decoded.
#include "faxin/readers/FaxReader.h"

#include <algorithm>
#include <new>

#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"
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
  ProbeMemo& memo = probeMemo_;
  const bool known = memo.valid && memo.threshold == threshold() && memo.flagNum == flagNum() &&
                     memo.t6Fallback == setup.t6Fallback &&
                     std::equal(data.begin(), data.end(), memo.data.begin(), memo.data.end());
  FaxProbeResult found;
  int outcome = -1;
  if (known) {
    outcome = memo.outcome;
    found.coding = memo.coding;
    found.bitOrder = memo.bitOrder;
    found.width = memo.width;
  } else {
    // The fallback resynchronises on flags of flagNum 0xFF bytes, as the T.6 decoder does.
    if (probeCoding(data, threshold(), found) == 0) {
      outcome = 0;
    } else if (setup.t6Fallback && probeT6Widths(data, threshold(), found, flagNum()) == 0) {
      outcome = 1;
    }
    memo.valid = false;
    try {
      memo.data.assign(data.begin(), data.end());
      memo.threshold = threshold();
      memo.flagNum = flagNum();
      memo.t6Fallback = setup.t6Fallback;
      memo.outcome = outcome;
      memo.coding = found.coding;
      memo.bitOrder = found.bitOrder;
      memo.width = found.width;
      memo.valid = true;
    } catch (const std::bad_alloc&) {
      memo.data.clear();  // no memo: the next probe runs again
    }
  }

  FaxDecodeParams params;
  params.photometric = 0;
  if (outcome == 0) {
    params.bitOrder = found.bitOrder;
    params.coding = found.coding;
    params.width = decoderWidth(setup.width, found.width);
    params.rowLimit = decoderRowLimit(setup.rowLimit, params.width, describeLimits());
    return decodePage(data, params, page) < 0 ? -2 : 0;
  }
  if (outcome == 1) {
    params.bitOrder = found.bitOrder;
    params.coding = static_cast<uint8_t>(FaxCoding::kT6);
    params.width = decoderWidth(setup.width, found.width);
    params.rowLimit = decoderRowLimit(setup.rowLimit, params.width, describeLimits());
    params.markerCount = flagNum();
    return decodePageT6(data, params, page) < 0 ? -2 : 0;
  }
  return -1;
}

}  // namespace tarnwell
