#include "faxin/raw/RawFaxReader.h"

#include <algorithm>
#include <limits>
#include <new>

#include "codec/FaxG4Encoder.h"
#include "codec/FaxWidthClass.h"
#include "faxin/raw/RawFaxAnalysis.h"
#include "faxin/raw/RawFaxFiles.h"

namespace tarnwell {

namespace {

// Widest row the working files may describe (the largest standard width is 4864; non-standard
// widths found by the probes stay well below this).
constexpr int32_t kMaxWidth = 1 << 17;

// The resolution step (100, 200, 300 or 400 lines per inch) whose page length rowsPerPageFor
// gives for a resolution.
uint16_t lengthResolution(uint32_t yResolution) {
  if (yResolution <= 100) return 100;
  if (yResolution <= 200) return 200;
  if (yResolution <= 300) return 300;
  return 400;
}

bool plausibleHeader(const FaxPage& page) {
  return page.width > 0 && page.width <= kMaxWidth && page.bytesPerRow == (page.width + 7) / 8 &&
         page.rows >= 0;
}

}  // namespace

int RawFaxReader::readHeader() {
  // Nothing in a raw stream tells how it is coded: the analysis stands in for a header check.
  if (analyse(settings().bitOrder, settings().nonStandardWidth) < 0) return -1;
  FaxPage header;  // stays empty when the work file cannot be read
  (void)readWorkHeader(header);
  // A vertical resolution chosen by the user replaces the one found; it sets the page length.
  const uint16_t yResolution =
      settings().verticalResolution > 0 ? settings().verticalResolution : header.yResolution;
  setPageLength(header.pageSize, yResolution);
  return 0;
}

void RawFaxReader::setSourceBytes(std::span<const uint8_t> bytes) {
  memorySource_.reset();
  if (!bytes.empty()) memorySource_.emplace(bytes);
}

int RawFaxReader::analyse(uint8_t bitOrder, uint8_t nonStandardWidth) {
  try {
    if (!hasSource()) return -1;
    FileSource file(*this);
    FaxByteSource& source = memorySource_ ? static_cast<FaxByteSource&>(*memorySource_) : file;
    if (source.size() == 0) return -1;
    totalRows_ = 0;

    RawAnalysisInput input;
    input.source = &source;
    input.workPath = files().workFilePath;
    input.indexPath = files().segmentFilePath;
    input.threshold = threshold();
    input.flagNum = flagNum();
    input.minWidth = settings().minWidth;
    input.rawFax = settings().rawFax == 1;
    input.nonStandardWidth = nonStandardWidth != 0;
    input.verticalResolution = settings().verticalResolution;
    input.workFileBytes = bounds_.workFileBytes;
    input.rowLimit = bounds_.rowLimit;

    // Least significant bit first is the common order of fax boards, so it is tried first.
    const uint8_t orders[2] = {2, 1};
    const std::span<const uint8_t> tried =
        (bitOrder == 1 || bitOrder == 2) ? std::span<const uint8_t>(&bitOrder, 1)
                                         : std::span<const uint8_t>(orders);
    for (uint8_t order : tried) {
      const int result = analyseGroup3(input, order);
      if (result >= 0) return result;
    }
    const int result = analyseGroup4(input, tried);
    if (result >= 0) return result;
    // Nothing decodes: both working files are left empty, not holding an earlier stream's rows
    // or a failed pass's. They are emptied once here rather than before every attempt, which
    // opened them six times for a stream that is no fax.
    (void)openFile(input.workPath, "wb");
    (void)openFile(input.indexPath, "wb");
    return -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int RawFaxReader::readWorkHeader(FaxPage& page) const {
  FileHandle work = openFile(files().workFilePath, "rb");
  if (!work) return kWorkFileUnreadable;
  std::array<uint8_t, kRawWorkHeaderSize> bytes{};
  const std::size_t got = readFileAt(work.get(), 0, bytes);
  page.bitmap.clear();
  page.bitmap.shrink_to_fit();
  if (got < bytes.size()) return kWorkFileBad;
  FaxPage header;
  if (!decodeWorkHeader(bytes, header) || !plausibleHeader(header)) return kWorkFileBad;
  page = std::move(header);
  return 0;
}

void RawFaxReader::setPageLength(uint8_t pageSize, uint16_t yResolution) {
  rowsPerPage_ = rowsPerPageFor(pageSize, yResolution);
  pageYResolution_ = lengthResolution(yResolution);
}

int RawFaxReader::countWorkPages() {
  if (totalRows_ == 0) {
    FaxPage header;
    const int result = readWorkHeader(header);
    if (result == kWorkFileUnreadable) return kWorkFileUnreadable;
    if (result == 0) totalRows_ = static_cast<uint32_t>(header.rows);
  }
  if (rowsPerPage_ == 0) return 0;
  const uint64_t pages = (uint64_t{totalRows_} + rowsPerPage_ - 1) / rowsPerPage_;
  return static_cast<int>(std::min<uint64_t>(pages, kMaxPages));
}

uint16_t RawFaxReader::indexPages() {
  return static_cast<uint16_t>(std::max(0, countWorkPages()));
}

int RawFaxReader::fillBitmapFromWork(uint64_t firstRow, uint64_t rows, FaxPage& page) {
  const uint64_t bytesPerRow = static_cast<uint64_t>(page.bytesPerRow);
  const uint64_t size = rows * bytesPerRow;
  if (size > (uint64_t{1} << 31)) return kWorkFileNoMemory;
  try {
    page.bitmap.assign(static_cast<std::size_t>(size), 0xFF);
  } catch (const std::bad_alloc&) {
    page.bitmap.clear();
    return kWorkFileNoMemory;
  }
  FileHandle work = openFile(files().workFilePath, "rb");
  if (!work) return kWorkFileUnreadable;
  // The work file stores rows up to its limit; rows it does not hold below that stay white.
  const uint64_t limit = workFileRowLimit(widthClass(page.width).pageSize, static_cast<uint32_t>(bytesPerRow),
                                          bounds_.workFileBytes);
  const uint64_t stored = firstRow < limit ? std::min(rows, limit - firstRow) : 0;
  readFileAt(work.get(), kRawWorkHeaderSize + firstRow * bytesPerRow,
             std::span<uint8_t>(page.bitmap).first(static_cast<std::size_t>(stored * bytesPerRow)));
  // Rows past the limit were counted but not stored: they are decoded again from the source.
  if (stored < rows) fillRowsFromSource(firstRow + stored, rows - stored, firstRow, page);
  return 0;
}

void RawFaxReader::fillRowsFromSource(uint64_t firstRow, uint64_t rows, uint64_t bitmapFirstRow,
                                      FaxPage& page) {
  if (!hasSource()) return;
  FileSource file(*this);
  FaxByteSource& source = memorySource_ ? static_cast<FaxByteSource&>(*memorySource_) : file;
  RawSegmentIndex index;
  if (loadSegmentIndex(files().segmentFilePath, index) != 0) return;
  if (index.header.width != static_cast<uint32_t>(page.width)) return;
  const int markerCount = settings().rawFax == 1 ? 0 : std::max<int>(flagNum(), 1);
  const uint64_t bytesPerRow = static_cast<uint64_t>(page.bytesPerRow);
  const uint64_t end = firstRow + rows;
  uint64_t segmentFirst = 0;  // work-file row index of the segment's first row
  for (const RawSegment& segment : index.segments) {
    const uint64_t segmentEnd = segmentFirst + segment.rows;
    if (segmentFirst >= end) break;
    if (segmentEnd > firstRow) {
      const uint64_t from = std::max(firstRow, segmentFirst);
      const uint64_t to = std::min(end, segmentEnd);
      const std::span<uint8_t> out =
          std::span<uint8_t>(page.bitmap).subspan(static_cast<std::size_t>((from - bitmapFirstRow) * bytesPerRow),
                                                  static_cast<std::size_t>((to - from) * bytesPerRow));
      (void)decodeSegmentRows(source, index.header, markerCount, segment, from - segmentFirst, to - from, out);
    }
    segmentFirst = segmentEnd;
  }
}

int RawFaxReader::readPage(int index, FaxPage& page) {
  FaxPage header;
  const int result = readWorkHeader(header);
  page.bitmap.clear();
  page.bitmap.shrink_to_fit();
  if (result != 0) return result;
  if (totalRows_ == 0) totalRows_ = static_cast<uint32_t>(header.rows);
  if (rowsPerPage_ == 0) setPageLength(header.pageSize, header.yResolution);

  const int64_t before = int64_t{rowsPerPage_} * std::max(index, 0);
  // The bitmap holds the whole page length, cut only where the describe limits are smaller.
  const uint64_t bytesPerRow =
      std::max<uint64_t>(static_cast<uint64_t>(std::max(header.bytesPerRow, 0)), 1);
  const int64_t bitmapRows = static_cast<int64_t>(
      std::min<uint64_t>(rowsPerPage_, describeLimits().maxBitmapBytes / bytesPerRow));
  const int64_t rows = std::clamp<int64_t>(int64_t{totalRows_} - before, 0, bitmapRows);
  page = std::move(header);
  page.rows = index < 0 ? 0 : static_cast<int32_t>(rows);
  page.xResolution = std::max<uint16_t>(page.xResolution, 200);
  // The pages are as long as the resolution they were sized for (the estimate or the user's
  // choice) makes them, at every paper width.
  page.yResolution = pageYResolution_;
  describedXResolution_ = page.xResolution;
  describedYResolution_ = page.yResolution;
  const int filled = fillBitmapFromWork(static_cast<uint64_t>(before),
                                        static_cast<uint64_t>(bitmapRows), page);
  if (filled != 0) return filled;
  // Rows behind the last good row (a short last page) are white, not whatever follows in the file.
  const std::size_t used = static_cast<std::size_t>(page.rows) * static_cast<std::size_t>(page.bytesPerRow);
  std::fill(page.bitmap.begin() + static_cast<std::ptrdiff_t>(std::min(used, page.bitmap.size())),
            page.bitmap.end(), uint8_t{0xFF});
  return 0;
}

int RawFaxReader::writeSlices(const std::string& outputPath, const FaxPage& page) {
  try {
    if (!hasSource()) return -1;
    index_ = RawSegmentIndex{};
    cut_.clear();
    const int loaded = loadSegmentIndex(files().segmentFilePath, index_);
    if (loaded != 0) return loaded;
    if (index_.header.width == 0 || index_.header.width > static_cast<uint32_t>(kMaxWidth)) return -1;

    if (rowsPerPage_ == 0) setPageLength(index_.header.paperClass, index_.header.verticalResolution);
    cut_ = cutPages(index_.segments, rowsPerPage_);
    // The page table keeps the segment count of the first 1024 pages; later pages are counted
    // but neither recorded nor written.
    index_.header.pageTable.fill(0);
    for (std::size_t i = 0; i < cut_.size() && i < kRawPageTableEntries; ++i) {
      index_.header.pageTable[i] = static_cast<uint32_t>(cut_[i].segmentCount);
    }
    if (FileHandle file = openFile(files().segmentFilePath, "r+b")) {
      writeFileAt(file.get(), 0, encodeIndexHeader(index_.header));
    }
    if (cut_.size() > kMaxPages) cut_.resize(kMaxPages);

    xResolution_ = page.xResolution != 0 ? page.xResolution : 200;
    yResolution_ = page.yResolution != 0 ? page.yResolution : index_.header.verticalResolution;
    const int result = FaxReader::writeAll(outputPath, static_cast<int>(cut_.size()));
    pageBytes_.clear();
    pageBytes_.shrink_to_fit();
    segmentBytes_.clear();
    segmentBytes_.shrink_to_fit();
    return result;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int RawFaxReader::writeConverted(const std::string& outputPath, uint16_t) {
  FaxPage described;
  described.xResolution = describedXResolution_;
  described.yResolution = describedYResolution_;
  return writeSlices(outputPath, described);
}

bool RawFaxReader::loadSegmentBytes(FaxByteSource& source, const RawSegment& segment, RawSegment& local) {
  segmentBytes_.clear();
  const uint64_t size = source.size();
  if (segment.endAddress() <= segment.startAddress() || segment.startByte >= size) return false;
  // From the start byte to one byte behind the end byte: all a slice of the segment reads.
  const uint64_t end = std::min<uint64_t>(uint64_t{segment.endByte} + 2, size);
  segmentBytes_.resize(static_cast<std::size_t>(end - segment.startByte));
  segmentBytes_.resize(source.read(segment.startByte, segmentBytes_));
  local = segment;
  local.startByte = 0;
  local.endByte = segment.endByte - segment.startByte;
  return true;
}

bool RawFaxReader::segmentsInSource(const RawPageCut& cut) const {
  const uint64_t size = sourceSize();
  for (std::size_t s = cut.firstSegment; s < cut.firstSegment + cut.segmentCount; ++s) {
    if (s >= index_.segments.size()) return false;
    const RawSegment& segment = index_.segments[s];
    if (segment.endAddress() <= segment.startAddress() || segment.endByte > size) return false;
  }
  return true;
}

int RawFaxReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  if (index < 0 || static_cast<std::size_t>(index) >= cut_.size()) return kSkipPage;
  const RawPageCut& cut = cut_[static_cast<std::size_t>(index)];
  const RawIndexHeader& header = index_.header;
  const bool groupFour = header.coding == static_cast<uint8_t>(FaxCoding::kT6);

  out = PageToWrite{};
  out.width = header.width;
  out.xResolution = xResolution_;
  out.yResolution = yResolution_;
  out.resolutionUnit = 2;

  if (groupFour && cut.segmentCount > 1) {
    // T.6 rows are coded against the row before them and carry no EOL to restart on, so segments
    // cut apart by errors cannot be joined as coded bytes; the page is written from its decoded
    // rows instead.
    page.width = static_cast<int32_t>(header.width);
    page.bytesPerRow = static_cast<int32_t>((header.width + 7) / 8);
    const uint64_t rows = std::min<uint64_t>(cut.rows, std::numeric_limits<int32_t>::max());
    const int filled = fillBitmapFromWork(cut.firstRow, rows, page);
    if (filled != 0 || rows == 0) return leaveOut(LeftOutReason::kNoRows);
    page.rows = static_cast<int32_t>(rows);
    page.xResolution = xResolution_;
    page.yResolution = yResolution_;
    out.form = PageToWrite::Form::kBitmap;
    return 0;
  }

  if (!groupFour && segmentsInSource(cut)) {
    // A Group 3 page is coded as Group 4 from the rows the analysis decoded: the bytes libtiff
    // would make of the same rows, so that the copy passes them straight through instead of
    // decoding the Group 3 rows and coding them once more. Its rows keep 1 bits white, so the
    // 1 bits are the white runs here. (A page table naming bytes outside the source is only
    // ever a damaged working file: such a page is joined from the bytes that are there.)
    page.width = static_cast<int32_t>(header.width);
    page.bytesPerRow = static_cast<int32_t>((header.width + 7) / 8);
    const uint64_t rows = std::min<uint64_t>(cut.rows, std::numeric_limits<int32_t>::max());
    const int filled = fillBitmapFromWork(cut.firstRow, rows, page);
    if (filled != 0 || rows == 0) return leaveOut(LeftOutReason::kNoRows);
    if (!encodePageT6(page.bitmap, static_cast<int32_t>(header.width), static_cast<int32_t>(rows),
                      static_cast<std::size_t>(page.bytesPerRow), false, pageBytes_))
      return leaveOut(LeftOutReason::kNoRows);
    page.bitmap.clear();
    out.form = PageToWrite::Form::kCoded;
    out.data = pageBytes_;
    out.coding = static_cast<uint8_t>(FaxCoding::kT6);
    out.ownGroup4 = true;
    out.photometric = 0;
    out.fillOrder = 1;
    out.rows = static_cast<uint32_t>(rows);
    return 0;
  }

  pageBytes_.clear();
  uint64_t rows = 0;
  FileSource file(*this);
  FaxByteSource& source = memorySource_ ? static_cast<FaxByteSource&>(*memorySource_) : file;
  for (std::size_t s = cut.firstSegment; s < cut.firstSegment + cut.segmentCount; ++s) {
    if (s >= index_.segments.size()) break;
    RawSegment local;
    // A segment that does not lie inside the source adds neither bytes nor rows.
    const bool copied =
        loadSegmentBytes(source, index_.segments[s], local) &&
        (groupFour ? appendSegmentBitsAligned(segmentBytes_, local, header.bitOrder, pageBytes_)
                   : appendSegmentBytes(segmentBytes_, local, header.bitOrder, pageBytes_));
    if (copied) rows += local.rows;
  }
  // A page none of whose segments lies in the source has no data; an empty directory would make
  // the whole intermediate TIFF unreadable, so the page is left out.
  if (pageBytes_.empty()) return leaveOut(LeftOutReason::kNoData);
  if (rows == 0) return leaveOut(LeftOutReason::kNoRows);
  out.form = PageToWrite::Form::kCoded;
  out.data = pageBytes_;
  out.coding = header.coding;
  out.photometric = 0;
  out.fillOrder = header.bitOrder == 1 ? 1 : 2;
  out.rows = static_cast<uint32_t>(std::min<uint64_t>(rows, std::numeric_limits<uint32_t>::max()));
  return 0;
}

}  // namespace tarnwell
