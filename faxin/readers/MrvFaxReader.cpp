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

int MrvFaxReader::loadPage(std::size_t index, HeaderedPage& out) {
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
  return loadDataBehindHeader(position + kHeaderSize, size);
}

}  // namespace tarnwell
