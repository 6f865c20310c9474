#include "faxin/raw/RawFaxRecorder.h"

#include <algorithm>
#include <limits>

#include "codec/FaxProbe.h"
#include "faxin/raw/RawFaxPages.h"

namespace tarnwell {

namespace {

// Rows and segment records are written in blocks of about this size.
constexpr std::size_t kRowBufferLimit = 1 << 16;
constexpr std::size_t kRecordBufferLimit = 1 << 16;

RawSegment segmentAt(uint64_t start, uint64_t end, uint32_t rows) {
  RawSegment s;
  constexpr uint64_t kMaxByte = std::numeric_limits<uint32_t>::max();
  s.startByte = static_cast<uint32_t>(std::min(start / 8, kMaxByte));
  s.startBit = static_cast<uint8_t>(start % 8);
  s.endByte = static_cast<uint32_t>(std::min(end / 8, kMaxByte));
  s.endBit = static_cast<uint8_t>(end % 8);
  s.rows = rows;
  return s;
}

}  // namespace

bool RawFaxRecorder::create(const std::string& workPath, const std::string& indexPath, int width,
                            uint8_t bitOrder, uint8_t coding, uint32_t sourceSize,
                            uint16_t fixedResolution, uint64_t workFileBytes, uint32_t rowLimit) {
  *this = RawFaxRecorder{};
  rowLimit_ = rowLimit;
  const FaxWidthClass wc = widthClass(width);
  header_.width = width;
  header_.bytesPerRow = (width + 7) / 8;
  header_.bitsPerSample = 1;
  header_.samplesPerPixel = 1;
  header_.codedSize = sourceSize;
  header_.xResolution = wc.xResolution;
  header_.yResolution = 100;
  header_.resolutionUnit = 2;
  header_.fillOrder = bitOrder;
  header_.coding = coding;
  header_.pageSize = wc.pageSize;
  header_.photometric = 0;
  indexHeader_.width = static_cast<uint32_t>(width);
  indexHeader_.bitOrder = bitOrder;
  indexHeader_.coding = coding;
  indexHeader_.paperClass = wc.pageSize;
  fixedResolution_ = fixedResolution;
  maxSegmentRows_ = rowsPerPageFor(wc.pageSize, 400);
  workRowLimit_ = workFileRowLimit(wc.pageSize, static_cast<uint32_t>(header_.bytesPerRow),
                                   workFileBytes);
  updateLimit();
  // Room for a whole block of rows from the start: grown row by row, the buffer was copied a
  // dozen times on the way to the block limit.
  rowBuffer_.reserve(kRowBufferLimit + static_cast<std::size_t>(header_.bytesPerRow));

  work_ = openFile(workPath, "wb");
  index_ = openFile(indexPath, "wb");
  if (!work_ || !index_) return false;
  const auto workHeader = encodeWorkHeader(header_);
  const std::vector<uint8_t> indexHeader = encodeIndexHeader(indexHeader_);
  // The segment records follow the index header as their segments close.
  return writeFileAt(work_.get(), 0, workHeader) && writeFileAt(index_.get(), 0, indexHeader);
}

void RawFaxRecorder::updateLimit() {
  // The page length in use: the chosen resolution's, or the one the longest segment so far makes
  // the estimate give; pages are cut no shorter than the longest segment. Both only grow, so
  // rows already recorded stay inside the limit.
  const uint8_t paperClass = indexHeader_.paperClass;
  const uint32_t resolution =
      fixedResolution_ > 0 ? fixedResolution_ : estimateVerticalResolution(paperClass, longest_);
  const uint32_t pageRows = std::max(rowsPerPageFor(paperClass, resolution), longest_);
  maxTotalRows_ = static_cast<uint32_t>(std::min<uint64_t>(
      uint64_t{pageRows} * kRawPageTableEntries, rowLimit_));
}

void RawFaxRecorder::openSegment(uint64_t startAddress) {
  if (open_) return;
  open_ = true;
  start_ = startAddress;
  end_ = startAddress;
  rows_ = 0;
}

bool RawFaxRecorder::makeRoom(bool mayOpen) {
  if (full()) return false;
  if (open_ && rows_ >= maxSegmentRows_) closeSegment();
  return open_ || mayOpen;
}

void RawFaxRecorder::addRow(std::span<const uint8_t> row, uint64_t rowStartAddress,
                            uint64_t endAddress) {
  if (full()) return;
  if (!open_) openSegment(rowStartAddress);
  if (storesRow()) {
    rowBuffer_.insert(rowBuffer_.end(), row.begin(), row.end());
    if (rowBuffer_.size() >= kRowBufferLimit) flushRows();
  }
  ++rows_;
  ++totalRows_;
  end_ = endAddress;
  if (rows_ > longest_) {
    longest_ = rows_;
    updateLimit();
  }
}

void RawFaxRecorder::closeSegment() {
  if (open_ && rows_ > 0) {
    const auto record = encodeSegment(segmentAt(start_, end_, rows_));
    recordBuffer_.insert(recordBuffer_.end(), record.begin(), record.end());
    ++segmentCount_;
    if (recordBuffer_.size() >= kRecordBufferLimit) flushRecords();
  }
  open_ = false;
  rows_ = 0;
}

bool RawFaxRecorder::flushRows() {
  if (!rowBuffer_.empty() && work_) {
    if (std::fwrite(rowBuffer_.data(), 1, rowBuffer_.size(), work_.get()) != rowBuffer_.size()) {
      failed_ = true;
    }
  }
  rowBuffer_.clear();
  return !failed_;
}

bool RawFaxRecorder::flushRecords() {
  if (!recordBuffer_.empty() && index_) {
    if (std::fwrite(recordBuffer_.data(), 1, recordBuffer_.size(), index_.get()) != recordBuffer_.size()) {
      failed_ = true;
    }
  }
  recordBuffer_.clear();
  return !failed_;
}

int RawFaxRecorder::finish() {
  closeSegment();
  if (!work_ || !index_) return -1;
  flushRows();
  flushRecords();

  indexHeader_.segmentCount = segmentCount_;
  indexHeader_.totalRows = totalRows_;
  indexHeader_.longestSegment = longest_;
  indexHeader_.verticalResolution = estimateVerticalResolution(indexHeader_.paperClass, longest_);
  if (!writeFileAt(index_.get(), 0, encodeIndexHeader(indexHeader_))) failed_ = true;
  if (std::fflush(index_.get()) != 0) failed_ = true;
  index_.reset();

  header_.rows = static_cast<int32_t>(std::min<uint32_t>(totalRows_, std::numeric_limits<int32_t>::max()));
  header_.yResolution = indexHeader_.verticalResolution;
  if (!writeFileAt(work_.get(), 0, encodeWorkHeader(header_))) failed_ = true;
  if (std::fflush(work_.get()) != 0) failed_ = true;
  work_.reset();
  return failed_ ? -1 : 0;
}

}  // namespace tarnwell
