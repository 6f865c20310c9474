#include "faxin/readers/BitFaxReader.h"

#include <algorithm>

#include "faxin/readers/ByteFields.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

namespace {

constexpr std::size_t kCountOffset = 9;
constexpr std::size_t kResolutionOffset = 14;
constexpr std::size_t kDirectoryOffset = 16;
constexpr std::size_t kEntrySize = 16;

uint16_t verticalResolution(uint8_t code) {
  if (code == 0) return 100;
  if (code == 1) return 200;
  return 400;
}

}  // namespace

int BitFaxReader::readHeader() {
  header_.fill(0);
  if (!readAt(0, header_)) return -2;
  return ByteFields(header_).matches(0, "BIT  FAX") ? 0 : -3;
}

uint16_t BitFaxReader::indexPages() {
  uint16_t count = 0;
  ByteFields(header_).u16le(kCountOffset, count);
  count = std::min(count, kMaxPages);
  header_[kCountOffset] = static_cast<uint8_t>(count);
  header_[kCountOffset + 1] = static_cast<uint8_t>(count >> 8);
  return count;
}

int BitFaxReader::readPage(int index, FaxPage& page) {
  clearPageData();
  const auto i = static_cast<std::size_t>(index);
  if (i >= kMaxPages) return -1;
  const ByteFields fields(header_);
  const std::size_t entry = kDirectoryOffset + kEntrySize * i;
  uint16_t width = 0;
  uint16_t rows = 0;
  uint32_t size = 0;
  uint32_t position = 0;
  uint8_t resolution = 0;
  fields.u16le(entry, width);
  fields.u16le(entry + 2, rows);
  fields.u32le(entry + 4, size);
  fields.u32le(entry + 8, position);
  fields.u8(kResolutionOffset, resolution);
  // No such page, or data that begins at or past the end of the file: no page. Data declared
  // past the end is cut to the file.
  if (position == 0 || position >= fileSize() || size == 0) return -1;
  if (const int loaded = loadPageData(position, size); loaded != 0) return loaded;

  const int decoded = describeByProbe(pageData(), {width, rows, true}, page);
  if (decoded == -1) return -1;  // coding not recognised: the record keeps its values
  page.resolutionUnit = 2;
  page.xResolution = 200;
  page.yResolution = verticalResolution(resolution);
  return decoded;
}

int BitFaxReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  const int read = readPage(index, page);
  if (read != 0 || !passThroughDecoded(page, pageData(), out)) return leaveOut(reasonFor(read));
  return 0;
}

}  // namespace tarnwell
