#include "faxin/raw/RawFaxRecorder.h"

#include <algorithm>
#include <limits>

#include "faxin/decode/FaxProbe.h"
#include "faxin/raw/RawFaxPages.h"

namespace tarnwell {

namespace {

constexpr std::size_t kRowBufferLimit = 1 << 20;

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
                            uint8_t bitOrder, uint8_t coding, uint32_t sourceSize) {
  *this = RawFaxRecorder{};
  indexPath_ = indexPath;
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
  index_.width = static_cast<uint32_t>(width);
  index_.bitOrder = bitOrder;
  index_.coding = coding;
  index_.paperClass = wc.pageSize;
  maxSegmentRows_ = rowsPerPageFor(wc.pageSize, 400);
  maxTotalRows_ = maxSegmentRows_ * static_cast<uint32_t>(kRawPageTableEntries);

  work_ = openFile(workPath, "wb");
  FileHandle index = openFile(indexPath, "wb");
  if (!work_ || !index) return false;
  const auto workHeader = encodeWorkHeader(header_);
  const std::vector<uint8_t> indexHeader = encodeIndexHeader(index_);
  return writeFileAt(work_.get(), 0, workHeader) && writeFileAt(index.get(), 0, indexHeader);
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
  rowBuffer_.insert(rowBuffer_.end(), row.begin(), row.end());
  if (rowBuffer_.size() >= kRowBufferLimit) flushRows();
  ++rows_;
  ++totalRows_;
  end_ = endAddress;
}

void RawFaxRecorder::closeSegment() {
  if (open_ && rows_ > 0) segments_.push_back(segmentAt(start_, end_, rows_));
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

int RawFaxRecorder::finish() {
  closeSegment();
  if (!work_) return -1;
  flushRows();

  uint32_t longest = 0;
  for (const RawSegment& s : segments_) longest = std::max(longest, s.rows);
  index_.segmentCount = static_cast<uint32_t>(segments_.size());
  index_.totalRows = totalRows_;
  index_.longestSegment = longest;
  index_.verticalResolution = estimateVerticalResolution(index_.paperClass, longest);

  FileHandle index = openFile(indexPath_, "wb");
  if (!index) return -1;
  std::vector<uint8_t> bytes = encodeIndexHeader(index_);
  bytes.reserve(bytes.size() + segments_.size() * kRawSegmentRecordSize);
  for (const RawSegment& s : segments_) {
    const auto record = encodeSegment(s);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  if (!writeFileAt(index.get(), 0, bytes)) failed_ = true;

  header_.rows = static_cast<int32_t>(std::min<uint32_t>(totalRows_, std::numeric_limits<int32_t>::max()));
  header_.yResolution = index_.verticalResolution;
  if (!writeFileAt(work_.get(), 0, encodeWorkHeader(header_))) failed_ = true;
  if (std::fflush(work_.get()) != 0) failed_ = true;
  work_.reset();
  return failed_ ? -1 : 0;
}

}  // namespace tarnwell
