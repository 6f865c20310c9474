#include "faxin/readers/QliiFaxReader.h"

#include <algorithm>
#include <string_view>

#include "faxin/readers/ByteFields.h"
#include "faxin/readers/PassThroughPage.h"

namespace tarnwell {

namespace {

constexpr std::size_t kCountOffset = 8;
constexpr std::size_t kLastRowsOffset = 10;
constexpr std::size_t kRowsOffset = 12;
constexpr std::size_t kResolutionOffset = 16;
constexpr std::size_t kTableOffset = 32;

uint16_t verticalResolution(uint16_t code) {
  if (code == 1) return 200;
  if (code == 2) return 100;
  return 400;
}

}  // namespace

int QliiFaxReader::readHeader() {
  // A file shorter than the header leaves the rest of it zero.
  header_.fill(0);
  (void)readSome(0, header_);
  // The signature is the header taken as a zero-terminated text.
  const ByteFields fields(header_);
  return fields.matches(0, std::string_view("QLIIFAX\0", 8)) ? 0 : -2;
}

uint16_t QliiFaxReader::indexPages() {
  const ByteFields fields(header_);
  uint16_t count = 0;
  fields.u16le(kCountOffset, count);
  count_ = std::min(count, kMaxPages);
  // The table is walked once: an entry that repeats an earlier position ends it, so no page is
  // written twice (an entry of 0 names no position: that page is left out).
  for (uint16_t i = 1; i < count_; ++i) {
    const uint32_t position = tableEntry(i);
    bool repeated = false;
    if (position == 0) continue;
    for (uint16_t j = 0; j < i && !repeated; ++j) repeated = tableEntry(j) == position;
    if (repeated) {
      count_ = i;
      break;
    }
  }
  header_[kCountOffset] = static_cast<uint8_t>(count_);
  header_[kCountOffset + 1] = static_cast<uint8_t>(count_ >> 8);
  return count_;
}

uint32_t QliiFaxReader::tableEntry(std::size_t index) const {
  uint32_t position = 0;
  if (index < kMaxPages) ByteFields(header_).u32le(kTableOffset + 4 * index, position);
  return position;
}

int QliiFaxReader::readPage(int index, FaxPage& page) {
  clearPageData();
  const auto i = static_cast<std::size_t>(index);
  const uint64_t start = tableEntry(i);
  // No such page, or a position at or past the end of the file: no page.
  if (i >= kMaxPages || start == 0 || start >= fileSize()) return -1;
  // The page runs to the nearest position the table gives behind its start (the entries of the
  // pages and the one after the last), or to the end of the file: no byte belongs to two pages.
  uint64_t end = fileSize();
  const std::size_t entries = std::min<std::size_t>(std::size_t{count_} + 1, kMaxPages);
  for (std::size_t j = 0; j < entries; ++j) {
    const uint64_t position = tableEntry(j);
    if (position > start && position < end) end = position;
  }
  if (const int loaded = loadPageData(start, end - start); loaded != 0) return loaded;

  const ByteFields fields(header_);
  uint16_t lastRows = 0;
  uint32_t rows = 0;
  uint16_t resolution = 0;
  fields.u16le(kLastRowsOffset, lastRows);
  fields.u32le(kRowsOffset, rows);
  fields.u16le(kResolutionOffset, resolution);
  const uint32_t rowLimit = i + 1 == count_ ? lastRows : rows;
  const int decoded = describeByProbe(pageData(), {0, rowLimit, true}, page);
  if (decoded == -1) return -1;  // coding not recognised: the record keeps its values
  page.resolutionUnit = 2;
  page.xResolution = 200;
  page.yResolution = verticalResolution(resolution);
  return decoded;
}

int QliiFaxReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  const int read = readPage(index, page);
  if (read != 0 || !passThroughDecoded(page, pageData(), out)) return leaveOut(reasonFor(read));
  return 0;
}

}  // namespace tarnwell
