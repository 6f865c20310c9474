#include "faxin/readers/DcxReader.h"

#include <algorithm>
#include <set>
#include <vector>

#include "faxin/readers/ByteFields.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

bool readPcxLayout(std::span<const uint8_t> header, PcxPageLayout& layout,
                   const DescribeLimits& limits) {
  if (header.size() < DcxReader::kPcxHeaderSize) return false;
  const ByteFields fields(header);
  uint8_t bitsPerPixel = 0;
  uint8_t planes = 0;
  int16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0, planeRowBytes = 0;
  fields.u8(3, bitsPerPixel);
  fields.i16le(4, xmin);
  fields.i16le(6, ymin);
  fields.i16le(8, xmax);
  fields.i16le(10, ymax);
  fields.i16le(12, layout.xResolution);
  fields.i16le(14, layout.yResolution);
  fields.u8(65, planes);
  fields.i16le(66, planeRowBytes);
  // A colour or grey image is no fax page.
  if (bitsPerPixel != 1 || planes != 1) return false;
  const int32_t width = int32_t{xmax} - xmin + 1;
  const int32_t rows = int32_t{ymax} - ymin + 1;
  if (width <= 0 || rows <= 0 || planeRowBytes <= 0) return false;
  const uint32_t rowSize = (static_cast<uint32_t>(planeRowBytes) + 1) & ~1u;
  if (uint64_t{rowSize} * 8 > limits.maxWidth ||
      uint64_t{rowSize} * static_cast<uint64_t>(rows) > limits.maxBitmapBytes) {
    return false;
  }
  layout.width = width;
  layout.rows = rows;
  layout.planeRowBytes = static_cast<uint32_t>(planeRowBytes);
  layout.rowSize = rowSize;
  return true;
}

uint32_t pcxRowsHeld(std::size_t dataBytes, const PcxPageLayout& layout) {
  if (layout.planeRowBytes == 0 || layout.rows <= 0) return 0;
  // A run of two bytes gives at most 63 bytes; a lone last byte one.
  const uint64_t bytes = uint64_t{dataBytes} / 2 * 63 + dataBytes % 2;
  const uint64_t rows = (bytes + layout.planeRowBytes - 1) / layout.planeRowBytes;
  return static_cast<uint32_t>(std::min<uint64_t>(rows, static_cast<uint64_t>(layout.rows)));
}

uint32_t expandPcxRows(std::span<const uint8_t> data, const PcxPageLayout& layout,
                       std::span<uint8_t> bitmap) {
  std::size_t in = 0;
  std::size_t out = 0;
  auto append = [&](uint8_t value, std::size_t count) {
    // Bytes past the end of the bitmap are dropped.
    const std::size_t room = bitmap.size() - std::min(out, bitmap.size());
    const std::size_t n = std::min(count, room);
    std::fill_n(bitmap.begin() + static_cast<std::ptrdiff_t>(out), n, value);
    out += count;
  };
  uint32_t begun = 0;
  for (int32_t row = 0; row < layout.rows && out < bitmap.size() && in < data.size(); ++row) {
    ++begun;
    std::size_t count = 0;
    while (count < layout.planeRowBytes && in < data.size()) {
      const uint8_t c = data[in++];
      if (c > 0xC0) {
        if (in >= data.size()) break;
        const std::size_t run = c - 0xC0u;
        append(data[in++], run);
        count += run;
      } else {
        append(c, 1);
        ++count;
      }
    }
    // A short row is padded with zero bytes (the bitmap is zero already). A run that passed the
    // row's end is kept whole, so the next row starts behind it.
    if (count < layout.rowSize) out += layout.rowSize - count;
  }
  return begun;
}

int DcxReader::readHeader() {
  std::array<uint8_t, 4> magic{};
  if (!readAt(0, magic)) return -2;
  uint32_t value = 0;
  ByteFields(magic).u32le(0, value);
  return value == kMagic ? 0 : -3;
}

uint16_t DcxReader::indexPages() {
  // The listed positions, in order, up to the 0 entry, the end of the file or a position listed
  // before (the table is walked once: a repeated page would be written again and again).
  std::vector<uint32_t> listed;
  std::set<uint32_t> seen;
  for (uint64_t offset = 4; listed.size() < kMaxPages; offset += 4) {
    std::array<uint8_t, 4> entry{};
    if (!readAt(offset, entry)) break;
    uint32_t position = 0;
    ByteFields(entry).u32le(0, position);
    if (position == 0 || !seen.insert(position).second) break;
    listed.push_back(position);
  }
  for (std::size_t i = 0; i < listed.size() && pageCount() < kMaxPages; ++i) {
    // A page runs to the nearest listed position behind it, or to the end of the file, so no
    // byte belongs to two pages.
    uint64_t end = fileSize();
    if (const auto next = seen.upper_bound(listed[i]); next != seen.end()) {
      end = std::min(end, uint64_t{*next});
    }
    std::array<uint8_t, kPcxHeaderSize> header{};
    PcxPageLayout layout;
    // Pages that are no fax page (colour, empty, too large, unreadable) are not indexed.
    if (end <= listed[i] || !readAt(listed[i], header) ||
        !readPcxLayout(header, layout, describeLimits())) {
      continue;
    }
    pageEnds_[pageCount()] = static_cast<uint32_t>(end);
    (void)addPage(listed[i]);
  }
  return pageCount();
}

int DcxReader::readPage(int index, FaxPage& page) {
  const uint32_t start = pagePosition(static_cast<std::size_t>(index));
  if (start == 0) return -1;
  const uint32_t end = pageEnds_[static_cast<std::size_t>(index)];
  const int loaded = loadPageData(start, end - start);
  if (loaded != 0) return loaded;
  const std::span<const uint8_t> data = pageData();
  PcxPageLayout layout;
  if (!readPcxLayout(data.first(std::min<std::size_t>(data.size(), kPcxHeaderSize)), layout,
                     describeLimits())) {
    return -2;
  }
  page = FaxPage{};
  // Only rows the data can hold are made: memory follows the bytes present, not the header.
  const std::span<const uint8_t> rowData = data.subspan(kPcxHeaderSize);
  const uint32_t held = pcxRowsHeld(rowData.size(), layout);
  if (held == 0) return kNoRowData;
  page.bitmap.assign(std::size_t{held} * layout.rowSize, 0);
  const uint32_t rows = expandPcxRows(rowData, layout, page.bitmap);
  page.bitmap.resize(std::size_t{rows} * layout.rowSize);
  page.width = layout.width;
  page.rows = static_cast<int32_t>(rows);
  page.bytesPerRow = static_cast<int32_t>(layout.rowSize);
  page.bitsPerSample = 1;
  page.samplesPerPixel = 1;
  page.codedSize = static_cast<uint32_t>(data.size());
  // A negative resolution counts as none (0), which the PDF stage replaces by its default.
  page.xResolution = static_cast<uint16_t>(std::max<int16_t>(layout.xResolution, 0));
  page.yResolution = static_cast<uint16_t>(std::max<int16_t>(layout.yResolution, 0));
  page.resolutionUnit = 2;
  page.fillOrder = 1;
  page.photometric = 1;
  return 0;
}

int DcxReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  const int read = readPage(index, page);
  if (read == kNoRowData) return leaveOut(LeftOutReason::kNoData);
  if (read != 0 || page.rows <= 0) return leaveOut(LeftOutReason::kUndecodable);
  out.form = PageToWrite::Form::kBitmap;
  return 0;
}

}  // namespace tarnwell
