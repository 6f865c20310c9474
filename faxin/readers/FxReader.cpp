#include "faxin/readers/FxReader.h"

#include <array>
#include <string_view>

#include "faxin/readers/ByteFields.h"

namespace tarnwell {

namespace {

constexpr uint16_t kXResolution = 200;
constexpr std::string_view kMark = "\x0B\x23";

uint16_t verticalResolution(uint8_t code) {
  if (code == 0) return 100;
  if (code == 1) return 200;
  return 400;
}

}  // namespace

bool FxReader::readHeaderAt(uint64_t position, Header& header) {
  header.fill(0);
  (void)readSome(position, header);
  return ByteFields(header).matches(0, kMark);
}

uint16_t FxReader::indexPages() {
  Header header{};
  if (!readHeaderAt(0, header)) return 0;
  uint64_t position = 0;
  while (addPage(static_cast<uint32_t>(position)) == 0) {
    const ByteFields fields(header);
    uint32_t first = 0;
    uint32_t second = 0;
    uint32_t size = 0;
    uint8_t factor1 = 0;
    uint8_t factor2 = 0;
    fields.u32le(89, first);
    fields.u32le(105, second);
    fields.u32le(116, size);
    fields.u8(113, factor1);
    fields.u8(114, factor2);
    const uint64_t next = uint64_t{first} + second + size + uint32_t{factor1} * factor2;
    // The chain ends at the end of the file, at a position that does not move forward, or at a
    // header without the signature.
    if (next >= fileSize() || next <= position || next > UINT32_MAX ||
        !readHeaderAt(next, header)) {
      break;
    }
    position = next;
  }
  return pageCount();
}

int FxReader::loadPage(std::size_t index, HeaderedPage& out) {
  if (index >= pageCount()) return -1;
  const uint64_t position = pagePosition(index);
  Header header{};
  (void)readHeaderAt(position, header);
  const ByteFields fields(header);
  uint16_t width = 0;
  uint16_t rows = 0;
  uint8_t coding = 0;
  uint8_t resolution = 0;
  uint32_t size = 0;
  fields.u16le(3, width);
  fields.u16le(5, rows);
  fields.u8(7, coding);
  fields.u8(115, resolution);
  fields.u32le(116, size);
  out.geometry.width = width == 0 ? kDefaultWidth : width;
  out.geometry.rows = rows == 0 ? kDefaultRows : rows;
  out.geometry.coding = static_cast<uint8_t>(coding == 0 ? FaxCoding::kT4OneD : FaxCoding::kT6);
  out.geometry.fillOrder = 2;
  out.xResolution = kXResolution;
  out.yResolution = verticalResolution(resolution);
  return loadDataBehindHeader(position + kHeaderSize, size);
}

}  // namespace tarnwell
