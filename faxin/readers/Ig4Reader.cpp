#include "faxin/readers/Ig4Reader.h"

#include <algorithm>
#include <numeric>

#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"
#include "faxin/readers/ByteFields.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

namespace {

constexpr uint8_t kTrailerMark[] = {0x1A, 0x1A, 0x55, 0x64, 0x73};
constexpr std::size_t kStripPositionsOffset = 8;
constexpr uint16_t kResolution = 300;
constexpr uint16_t kOrientation = 7;

constexpr int kShortTrailer = -2;
constexpr int kNoMark = -3;
constexpr int kShortDescription = -4;
constexpr int kShortStripTable = -5;

}  // namespace

int Ig4Reader::readHeader() {
  described_ = false;
  loadedSizes_.clear();
  stripStarts_.clear();
  stripEnds_.clear();

  std::array<uint8_t, kTrailerSize> trailer{};
  if (fileSize() < kTrailerSize || !readAt(fileSize() - kTrailerSize, trailer)) {
    return kShortTrailer;
  }
  if (!std::equal(std::begin(kTrailerMark), std::end(kTrailerMark), trailer.begin())) {
    return kNoMark;
  }
  const ByteFields t(trailer);
  uint32_t tablePosition = 0;
  t.u32le(40, descriptionPosition_);
  t.u32le(56, tablePosition);

  std::array<uint8_t, kDescriptionSize> description{};
  if (!readAt(descriptionPosition_, description)) return kShortDescription;
  ByteFields(description).u16le(4, imageRows_);
  ByteFields(description).u16le(6, width_);

  std::array<uint8_t, kStripTableSize> table{};
  if (!readAt(tablePosition, table)) return kShortStripTable;
  ByteFields(table).u16le(0, declaredStrips_);
  ByteFields(table).u16le(2, rowsPerStrip_);
  locateStrips(declaredStrips_, table.data() + kStripPositionsOffset);
  return 0;
}

void Ig4Reader::locateStrips(uint16_t declaredCount, const uint8_t* positions) {
  // The table has room for kMaxStrips positions; a larger count is limited to it.
  const std::size_t count = std::min<std::size_t>(declaredCount, kMaxStrips);
  const ByteFields table(std::span<const uint8_t>(positions, kMaxStrips * 4));
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t position = 0;
    table.u32le(i * 4, position);
    const bool ascending = stripStarts_.empty() || position > stripStarts_.back();
    if (position == 0 || position >= fileSize() || !ascending) break;
    stripStarts_.push_back(position);
  }
  for (std::size_t i = 0; i < stripStarts_.size(); ++i) {
    if (i + 1 < stripStarts_.size()) {
      stripEnds_.push_back(stripStarts_[i + 1]);
    } else {
      // The last strip runs to the description block; one that lies before the strip (or outside
      // the file) leaves the strip running to the end of the file.
      const bool blockFollows =
          descriptionPosition_ > stripStarts_[i] && descriptionPosition_ <= fileSize();
      stripEnds_.push_back(blockFollows
                               ? descriptionPosition_
                               : static_cast<uint32_t>(std::min<uint64_t>(fileSize(), UINT32_MAX)));
    }
  }
}

uint16_t Ig4Reader::indexPages() {
  // One page; the position is not used.
  (void)addPage(4);
  return pageCount();
}

int Ig4Reader::readPage(int index, FaxPage& page) {
  if (index != 0) return -1;
  described_ = true;
  loadedSizes_.clear();
  describedRows_ = 0;
  page = FaxPage{};

  const std::size_t bytesPerRow = (std::size_t{width_} + 7) / 8;
  const DescribeLimits& limits = describeLimits();
  if (width_ == 0 || width_ > limits.maxWidth || imageRows_ == 0) return -1;
  // Rows of all strips together, never more than the engine's bitmap limit holds.
  const uint64_t capacity = std::min<uint64_t>(uint64_t{stripStarts_.size()} * imageRows_,
                                               limits.maxBitmapBytes / bytesPerRow);
  std::vector<uint8_t> bitmap;

  uint64_t rows = 0;
  for (std::size_t s = 0; s < stripStarts_.size(); ++s) {
    // A strip that cannot be loaded ends the description; the page has the rows decoded so far.
    if (loadPageData(stripStarts_[s], stripEnds_[s] - stripStarts_[s]) != 0) break;
    loadedSizes_.push_back(static_cast<uint32_t>(pageData().size()));
    if (rows >= capacity) continue;

    FaxDecodeParams params;
    params.bitOrder = 2;
    params.coding = static_cast<uint8_t>(FaxCoding::kT6);
    params.width = width_;
    params.rowLimit = static_cast<int32_t>(std::min<uint64_t>(imageRows_, capacity - rows));
    FaxPage strip;
    (void)decodePageT6(pageData(), params, strip);
    const std::size_t stripRows = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(strip.rows, 0)), strip.bitmap.size() / bytesPerRow);
    if (s == 0) {
      // The first strip's rows become the page's bitmap as they are, without a copy.
      bitmap = std::move(strip.bitmap);
      bitmap.resize(stripRows * bytesPerRow);
      page = std::move(strip);
      page.bitmap.clear();
      page.rows = 0;
    } else {
      bitmap.insert(bitmap.end(), strip.bitmap.begin(),
                    strip.bitmap.begin() + static_cast<std::ptrdiff_t>(stripRows * bytesPerRow));
    }
    rows += stripRows;
  }
  clearPageData();
  if (loadedSizes_.empty()) return -1;

  page.rows = static_cast<int32_t>(rows);
  page.bitmap = std::move(bitmap);
  page.resolutionUnit = 2;
  page.xResolution = kResolution;
  page.yResolution = kResolution;
  // The strips hold each row mirrored.
  mirrorRows(page);
  describedRows_ = page.rows;
  return 0;
}

int Ig4Reader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  if (index != 0) return leaveOut(LeftOutReason::kNoData);
  if (!described_ && readPage(0, page) != 0) return leaveOut(LeftOutReason::kNoData);
  // Only the strips that were loaded for the description are written, so every strip size handed
  // to the writer is one that was really measured.
  const std::size_t strips = loadedSizes_.size();
  if (strips == 0) return leaveOut(LeftOutReason::kNoData);
  const uint64_t blockSize = std::accumulate(loadedSizes_.begin(), loadedSizes_.end(), uint64_t{0});
  if (loadPageData(stripStarts_[0], blockSize) != 0 || pageData().size() != blockSize) {
    return leaveOut(LeftOutReason::kNoData);
  }

  // The strips ended early: only the rows that were decoded exist.
  uint32_t rows = strips < declaredStrips_
                      ? std::min<uint32_t>(static_cast<uint32_t>(std::max(describedRows_, 0)),
                                           imageRows_ * uint32_t{kMaxStrips})
                      : imageRows_;
  // Never more rows than the written strips can hold.
  if (rowsPerStrip_ > 0) rows = std::min<uint32_t>(rows, uint32_t{rowsPerStrip_} * strips);
  if (rows == 0) return leaveOut(LeftOutReason::kNoRows);

  out.form = PageToWrite::Form::kCoded;
  out.data = pageData();
  out.coding = static_cast<uint8_t>(FaxCoding::kT6);
  out.photometric = 0;
  out.fillOrder = 2;
  out.width = width_;
  out.rows = rows;
  out.orientation = kOrientation;
  out.xResolution = kResolution;
  out.yResolution = kResolution;
  out.resolutionUnit = 2;
  out.stripStarts.assign(stripStarts_.begin(),
                         stripStarts_.begin() + static_cast<std::ptrdiff_t>(strips));
  out.stripByteCounts = loadedSizes_;
  out.rowsPerStrip = rowsPerStrip_ > 0 ? rowsPerStrip_
                                        : static_cast<uint16_t>(std::min<uint32_t>(rows, UINT16_MAX));
  return 0;
}

}  // namespace tarnwell
