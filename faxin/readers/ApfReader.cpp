#include "faxin/readers/ApfReader.h"

#include <algorithm>
#include <array>

#include "codec/FaxDecoder.h"
#include "faxin/readers/ByteFields.h"

namespace tarnwell {

int ApfReader::readHeader() {
  std::array<uint8_t, kFileHeaderSize> header{};
  if (!readAt(0, header)) return -2;
  const ByteFields fields(header);
  if (!fields.matches(0, "APF10")) return -3;
  fields.i16le(32, declaredPages_);
  fields.u32le(34, firstPage_);
  return 0;
}

uint16_t ApfReader::indexPages() {
  // The first page is always there, whatever the page count says (0, 1 or negative included).
  uint64_t position = firstPage_;
  (void)addPage(firstPage_);
  for (int i = 0; i < declaredPages_ - 1; ++i) {
    std::array<uint8_t, kPageHeaderSize> header{};
    if (!readAt(position, header)) break;
    uint32_t dataSize = 0;
    ByteFields(header).u32le(0, dataSize);
    position += kPageHeaderSize + uint64_t{dataSize};
    // A page past the end of the file (or past what a page position can hold) ends the chain.
    if (position > fileSize() || position > UINT32_MAX) break;
    if (addPage(static_cast<uint32_t>(position)) != 0) break;
  }
  return pageCount();
}

int ApfReader::loadPage(int index) {
  const uint32_t position = pagePosition(static_cast<std::size_t>(index));
  if (position == 0) return -1;
  std::array<uint8_t, kPageHeaderSize> header{};
  if (!readAt(position, header)) return -2;
  const ByteFields fields(header);
  uint32_t dataSize = 0;
  uint8_t flags = 0;
  fields.u32le(0, dataSize);
  fields.u8(4, flags);
  // A data size past the end of the file is cut at the end.
  const int loaded = loadPageData(uint64_t{position} + kPageHeaderSize, dataSize);
  if (loaded != 0) return loaded;
  flags_ = flags & (kFine | kWide | kRowWords);
  return 0;
}

int ApfReader::readPage(int index, FaxPage& page) {
  const int loaded = loadPage(index);
  if (loaded != 0) return loaded;
  FaxDecodeParams params;
  params.bitOrder = 2;
  params.coding = static_cast<uint8_t>(FaxCoding::kT4OneD);
  params.width = (flags_ & kWide) != 0 ? 2048 : 1728;
  // At most kRowLimit rows, and never more than the describe limits' bitmap holds.
  const std::size_t bytesPerRow = (static_cast<std::size_t>(params.width) + 7) / 8;
  params.rowLimit = static_cast<int32_t>(std::min<std::size_t>(
      kRowLimit, describeLimits().maxBitmapBytes / bytesPerRow));
  (void)decodePageT4RowComplete(pageData(), params, (flags_ & kRowWords) != 0, page);
  page.resolutionUnit = 2;
  page.xResolution = 200;
  page.yResolution = (flags_ & kFine) != 0 ? 200 : 100;
  return 0;
}

int ApfReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  // A page that cannot be read or decodes to no row is no page: it is left out.
  const int read = readPage(index, page);
  if (read != 0 || pageData().empty()) return leaveOut(reasonFor(read));
  if (page.rows <= 0) return leaveOut(LeftOutReason::kUndecodable);
  out.form = PageToWrite::Form::kBitmap;
  return 0;
}

}  // namespace tarnwell
