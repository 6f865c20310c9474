#include "faxin/readers/MrvFaxReader.h"

#include <array>
#include <string_view>

#include "faxin/readers/ByteFields.h"

namespace tarnwell {

namespace {

using Header = std::array<uint8_t, MrvFaxReader::kHeaderSize>;

constexpr std::string_view kMark = "MRV-FAX";

}  // namespace

uint16_t MrvFaxReader::indexPages() {
  uint64_t position = 0;
  for (;;) {
    // A header cut by the end of the file reads as zeros behind its last byte.
    Header header{};
    (void)readSome(position, header);
    const ByteFields fields(header);
    if (!fields.matches(0, kMark) || addPage(static_cast<uint32_t>(position)) != 0) break;
    uint32_t dataPosition = 0;
    uint32_t dataSize = 0;
    fields.u32le(8, dataPosition);
    fields.u32le(12, dataSize);
    const uint64_t next = uint64_t{dataPosition} + dataSize;
    // The chain must move forward and stay within the positions the page table holds.
    if (next <= position || next > UINT32_MAX) break;
    position = next;
  }
  return pageCount();
}

int MrvFaxReader::loadPage(std::size_t index, Page& out) {
  if (index >= pageCount()) return -1;
  const uint64_t position = pagePosition(index);
  Header header{};
  (void)readSome(position, header);
  const ByteFields fields(header);
  uint32_t size = 0;
  fields.u32le(12, size);
  fields.u32le(16, out.geometry.width);
  fields.u32le(20, out.geometry.rows);
  fields.u8(26, out.geometry.fillOrder);
  fields.u8(27, out.geometry.coding);
  uint8_t xResolution = 0;
  uint8_t yResolution = 0;
  fields.u8(28, xResolution);
  fields.u8(29, yResolution);
  if (out.geometry.width == 0) out.geometry.width = kDefaultWidth;
  if (out.geometry.rows == 0) out.geometry.rows = kDefaultRows;
  // Only the two TIFF fill orders exist; anything else is taken as highest bit first, for the
  // decoder and the TIFF alike.
  out.geometry.fillOrder = out.geometry.fillOrder == 2 ? 2 : 1;
  out.xResolution = xResolution;
  out.yResolution = yResolution;
  // The data follows the header; a size past the end of the file is cut to what follows.
  if (const int loaded = loadPageData(position + kHeaderSize, size); loaded != 0) return loaded;
  return pageData().empty() ? -1 : 0;
}

int MrvFaxReader::readPage(int index, FaxPage& page) {
  Page loaded;
  if (const int result = loadPage(static_cast<std::size_t>(index), loaded); result != 0) {
    return result;
  }
  // Codings outside 3 to 7 are not decoded: the record keeps its values.
  const int decoded = decodeByHeader(pageData(), loaded.geometry, page);
  if (decoded < 0) return -1;
  page.resolutionUnit = 2;
  page.xResolution = loaded.xResolution;
  page.yResolution = loaded.yResolution;
  return 0;
}

int MrvFaxReader::preparePage(int index, bool recountLines, FaxPage& page, PageToWrite& out) {
  Page loaded;
  if (loadPage(static_cast<std::size_t>(index), loaded) != 0) return kSkipPage;
  HeaderGeometry& geometry = loaded.geometry;
  // A coding the fax TIFF has no compression for cannot be copied: writing it as uncompressed
  // would turn coded bytes into a picture of noise. Such a page is left out.
  if (!FaxTiffWriter::knowsCoding(geometry.coding)) return kSkipPage;
  if (recountLines) {
    // A page that does not decode keeps its header's row count.
    if (decodeByHeader(pageData(), geometry, page) >= 0 && page.rows > 0) {
      geometry.rows = static_cast<uint32_t>(page.rows);
    }
  }
  // Uncompressed and PackBits pages never claim more rows than their data holds.
  geometry.rows = rowsHeldByData(pageData(), geometry);
  if (geometry.rows == 0) return kSkipPage;
  out.form = PageToWrite::Form::kCoded;
  out.data = pageData();
  out.coding = geometry.coding;
  out.photometric = 0;
  out.fillOrder = geometry.fillOrder;
  out.width = geometry.width;
  out.rows = geometry.rows;
  out.xResolution = loaded.xResolution;
  out.yResolution = loaded.yResolution;
  out.resolutionUnit = 2;
  return 0;
}

}  // namespace tarnwell
