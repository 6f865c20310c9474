#include "faxin/readers/BmpReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <vector>

#include "codec/FaxG4Encoder.h"
#include "faxin/readers/ByteFields.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

namespace {

// Lightness of a colour table entry (blue, green, red), weighted as the eye sees it.
uint32_t lightness(std::span<const uint8_t> entry) {
  return 114u * entry[0] + 587u * entry[1] + 299u * entry[2];
}

// Pixels per metre to pixels per centimetre; 0 when the value cannot serve as a resolution.
uint16_t perCentimetre(int32_t perMetre) {
  const int32_t value = perMetre / 100;
  return value > 0 && value <= UINT16_MAX ? static_cast<uint16_t>(value) : 0;
}

}  // namespace

int BmpReader::readHeader() {
  std::array<uint8_t, kFileHeaderSize> header{};
  if (!readAt(0, header)) return -2;
  const ByteFields fields(header);
  if (!fields.matches(0, "BM")) return -3;
  fields.u32le(10, pixelOffset_);
  return 0;
}

bool BmpReader::readLayout(Layout& layout) {
  std::array<uint8_t, kInfoHeaderSize> info{};
  uint32_t headerSize = 0;
  if (readSome(kFileHeaderSize, info) < 4 || !ByteFields(info).u32le(0, headerSize)) return false;
  const ByteFields fields(info);
  if (headerSize == kCoreHeaderSize) {
    // OS/2: 16-bit width and height (always bottom row first), 3-byte colour table entries.
    uint16_t width = 0, height = 0;
    if (!readAt(kFileHeaderSize, std::span(info).first(kCoreHeaderSize))) return false;
    fields.u16le(4, width);
    fields.u16le(6, height);
    fields.u16le(10, layout.bitsPerPixel);
    layout.width = width;
    layout.height = height;
    layout.entrySize = 3;
    layout.tableEntries = 2;
  } else if (headerSize >= kInfoHeaderSize) {
    if (!readAt(kFileHeaderSize, info)) return false;
    int32_t width = 0, height = 0;
    uint32_t coloursUsed = 0;
    fields.i32le(4, width);
    fields.i32le(8, height);
    fields.u16le(14, layout.bitsPerPixel);
    fields.u32le(16, layout.compression);
    fields.i32le(24, layout.xPixelsPerMetre);
    fields.i32le(28, layout.yPixelsPerMetre);
    fields.u32le(32, coloursUsed);
    layout.width = width;
    layout.height = height;
    layout.entrySize = 4;
    layout.tableEntries = coloursUsed == 0 ? 2 : std::min<uint32_t>(coloursUsed, 2);
  } else {
    return false;
  }
  layout.tableStart = uint64_t{kFileHeaderSize} + headerSize;
  return true;
}

uint16_t BmpReader::photometricFromTable(const Layout& layout) {
  // The table ends where the pixel rows begin, when they begin behind it.
  uint64_t tableEnd = fileSize();
  if (pixelOffset_ > layout.tableStart) tableEnd = std::min<uint64_t>(tableEnd, pixelOffset_);
  const uint64_t room = tableEnd > layout.tableStart ? tableEnd - layout.tableStart : 0;
  if (layout.tableEntries < 2 || room < 2 * uint64_t{layout.entrySize}) return 1;
  std::array<uint8_t, 8> table{};
  if (!readAt(layout.tableStart, std::span(table).first(2 * layout.entrySize))) return 1;
  const uint32_t first = lightness(std::span(table).subspan(0, 3));
  const uint32_t second = lightness(std::span(table).subspan(layout.entrySize, 3));
  return first > second ? 0 : 1;
}

int BmpReader::readPage(int index, FaxPage& page) { return loadPage(index, page, true); }

int BmpReader::loadPage(int index, FaxPage& page, bool keepBitmap) {
  if (index != 0) return -1;
  page = FaxPage{};
  clearPageData();
  Layout layout;
  if (!readLayout(layout)) return -2;
  // Colour and compressed bitmaps are no fax; so are pages of no pixels or past the engine's
  // width limit (the height's magnitude is taken in 64 bits, so the most negative one is safe).
  const int64_t declaredRows = std::llabs(layout.height);
  const DescribeLimits& limits = describeLimits();
  if (layout.bitsPerPixel != 1 || layout.compression != 0 || layout.width <= 0 ||
      declaredRows == 0 || declaredRows > INT32_MAX || layout.width > limits.maxWidth) {
    return -2;
  }
  const uint64_t bytesPerRow = (static_cast<uint64_t>(layout.width) + 7) / 8;
  const uint64_t stride = (static_cast<uint64_t>(layout.width) + 31) / 32 * 4;
  const uint16_t photometric = photometricFromTable(layout);

  page.width = static_cast<int32_t>(layout.width);
  page.rows = static_cast<int32_t>(declaredRows);
  page.bytesPerRow = static_cast<int32_t>(bytesPerRow);
  page.bitsPerSample = 1;
  page.samplesPerPixel = 1;
  page.fillOrder = 1;
  page.coding = static_cast<uint8_t>(FaxCoding::kUncompressed);
  page.photometric = static_cast<uint8_t>(photometric);
  page.xResolution = perCentimetre(layout.xPixelsPerMetre);
  page.yResolution = perCentimetre(layout.yPixelsPerMetre);
  page.resolutionUnit = 3;
  if (page.xResolution == 0 || page.yResolution == 0) {
    page.xResolution = 200;
    page.yResolution = 200;
    page.resolutionUnit = 2;
  }

  // Only the rows the file holds make the page; a last row that is cut short still counts, its
  // missing bytes white. Pixel rows that begin at or past the end of the file leave the page
  // with its declared size, no row length and no bitmap (the record claims no byte it does not
  // hold), which the write refuses.
  const uint64_t held = pixelOffset_ < fileSize() ? fileSize() - pixelOffset_ : 0;
  const uint64_t rows = std::min<uint64_t>(static_cast<uint64_t>(declaredRows),
                                           (held + stride - 1) / stride);
  if (rows == 0) {
    page.bytesPerRow = 0;
    return kNoPixelData;
  }
  if (bytesPerRow * rows > limits.maxBitmapBytes) return -2;
  page.rows = static_cast<int32_t>(rows);

  std::vector<uint8_t> bitmap(bytesPerRow * rows, photometric == 1 ? 0xFF : 0x00);
  // Bottom-up files store the lowest of the rows first.
  const bool bottomUp = layout.height > 0;
  for (uint64_t r = 0; r < rows; ++r) {
    const uint64_t to = (bottomUp ? rows - 1 - r : r) * bytesPerRow;
    (void)readSome(pixelOffset_ + r * stride,
                   std::span<uint8_t>(bitmap).subspan(static_cast<std::size_t>(to),
                                                      static_cast<std::size_t>(bytesPerRow)));
  }
  page.codedSize = static_cast<uint32_t>(bitmap.size());
  if (keepBitmap) page.bitmap = bitmap;
  // The bitmap is also the page's data, written as it is.
  setPageData(std::move(bitmap));
  return 0;
}

int BmpReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  // The page's bitmap is needed once, as the data coded.
  const int loaded = loadPage(index, page, false);
  if (loaded == kNoPixelData) return kNoPixelData;
  if (loaded != 0 || page.rows <= 0) return leaveOut(LeftOutReason::kUndecodable);
  // The page goes in Group 4-coded, so that the PDF stage passes it through rather than coding
  // it again. Like libtiff, the coder takes the 0 bits for white runs whatever the photometric
  // tag says, and skips the bits behind the last pixel of a row, so the bytes are the ones the
  // PDF stage would make of the bitmap. Written as it is when the coding fails.
  std::vector<uint8_t> coded;
  if (encodePageT6(pageData(), page.width, page.rows, static_cast<std::size_t>(page.bytesPerRow),
                   true, coded)) {
    setPageData(std::move(coded));
    out.coding = static_cast<uint8_t>(FaxCoding::kT6);
    out.ownGroup4 = true;
  } else {
    out.coding = static_cast<uint8_t>(FaxCoding::kUncompressed);
  }
  out.data = pageData();
  out.photometric = page.photometric;
  out.fillOrder = 1;
  out.width = static_cast<uint32_t>(page.width);
  out.rows = static_cast<uint32_t>(page.rows);
  out.xResolution = page.xResolution;
  out.yResolution = page.yResolution;
  out.resolutionUnit = page.resolutionUnit;
  return 0;
}

}  // namespace tarnwell
