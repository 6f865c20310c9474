#include "faxin/readers/PassThroughPage.h"

#include <algorithm>
#include <new>
#include <vector>

#include "codec/FaxDecoder.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

bool passThroughDecoded(const FaxPage& page, std::span<const uint8_t> data, PageToWrite& out) {
  if (page.width <= 0 || page.rows <= 0 || data.empty()) return false;
  out.form = PageToWrite::Form::kCoded;
  out.data = data;
  out.coding = page.coding;
  out.photometric = 0;
  out.fillOrder = page.fillOrder == 2 ? 2 : 1;
  out.width = static_cast<uint32_t>(page.width);
  out.rows = static_cast<uint32_t>(page.rows);
  out.xResolution = page.xResolution;
  out.yResolution = page.yResolution;
  out.resolutionUnit = 2;
  return true;
}

int decodeByHeader(std::span<const uint8_t> data, const HeaderGeometry& header, FaxPage& page,
                   const DescribeLimits& limits) {
  const bool known = header.coding >= static_cast<uint8_t>(FaxCoding::kModifiedHuffman) &&
                     header.coding <= static_cast<uint8_t>(FaxCoding::kT6);
  if (!known || header.width == 0 || header.width > limits.maxWidth) return kFaxDecodeFailed;
  const std::size_t bytesPerRow = (std::size_t{header.width} + 7) / 8;
  FaxDecodeParams params;
  params.bitOrder = header.fillOrder == 2 ? 2 : 1;
  params.coding = header.coding;
  params.photometric = 0;
  params.width = static_cast<int32_t>(header.width);
  params.rowLimit = static_cast<int32_t>(
      std::min<std::size_t>(header.rows, limits.maxBitmapBytes / bytesPerRow));
  return header.coding == static_cast<uint8_t>(FaxCoding::kT6) ? decodePageT6(data, params, page)
                                                                : decodePage(data, params, page);
}

uint32_t rowsHeldByData(std::span<const uint8_t> data, const HeaderGeometry& header,
                        const DescribeLimits& limits) {
  const std::size_t bytesPerRow = (std::size_t{header.width} + 7) / 8;
  if (bytesPerRow == 0) return 0;
  if (header.coding == static_cast<uint8_t>(FaxCoding::kUncompressed)) {
    return static_cast<uint32_t>(std::min<std::size_t>(header.rows, data.size() / bytesPerRow));
  }
  if (header.coding != static_cast<uint8_t>(FaxCoding::kPackBits)) return header.rows;
  // PackBits: expand at most the bitmap limit and count the whole rows that came out. Two coded
  // bytes give at most 128, so the data cannot fill more than 64 times its size.
  const std::size_t wanted = std::min({std::size_t{header.rows} * bytesPerRow,
                                       limits.maxBitmapBytes, data.size() * 64});
  std::vector<uint8_t> rows;
  try {
    rows.resize(wanted);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return static_cast<uint32_t>(unpackBits(data, rows) / bytesPerRow);
}

}  // namespace tarnwell
