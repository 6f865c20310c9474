#pragma once

// Collects what a measuring pass over a raw fax stream finds: good rows go to the work file,
// unbroken runs of good rows become segments of the segment index. The pass reports positions as
// bit addresses (byte index × 8 + bits of that byte already consumed).
//
// Memory stays bounded whatever the stream holds: rows and segment records are written out in
// blocks as they come, and rows past the work file's row limit (workFileRowLimit) are counted and
// indexed but neither painted nor written.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/FaxPage.h"
#include "faxin/raw/RawFaxFiles.h"
#include "faxin/raw/RawFaxPages.h"

namespace tarnwell {

class RawFaxRecorder {
 public:
  // Creates both files empty and writes their placeholder headers. fixedResolution: the vertical
  // resolution the pages will be cut at when the user chose one, 0 when it will be estimated.
  // rowLimit: rows taken at most, on top of the 1024 pages below. False when either file cannot
  // be created; the pass then fails.
  bool create(const std::string& workPath, const std::string& indexPath, int width,
              uint8_t bitOrder, uint8_t coding, uint32_t sourceSize, uint16_t fixedResolution = 0,
              uint64_t workFileBytes = kRawWorkFileBytes, uint32_t rowLimit = kRawNoRowLimit);

  // A segment begins at this bit address (ignored while one is open).
  void openSegment(uint64_t startAddress);
  // Whether the next good row will be recorded. Rows are recorded up to what 1024 pages of the
  // page length in use can hold: the length of the chosen resolution, or of the resolution the
  // longest segment so far gives, and never less than that segment. A segment holds at most the
  // longest page the width's paper class can have (at 400 lines per inch): a full segment is
  // closed here, and the row then opens a new one only when mayOpen (a row that can be decoded
  // without the rows before it). A false answer leaves the row to be dropped unpainted.
  bool makeRoom(bool mayOpen);
  bool full() const { return totalRows_ >= maxTotalRows_; }
  bool segmentOpen() const { return open_; }
  // Whether the next row recorded goes into the work file (rows past its limit are only counted).
  bool storesRow() const { return totalRows_ < workRowLimit_; }
  // Appends a good row to the work file (while storesRow()) and to the open segment, whose end
  // moves to endAddress. A row with no open segment opens one at rowStartAddress first.
  void addRow(std::span<const uint8_t> row, uint64_t rowStartAddress, uint64_t endAddress);
  // Keeps a segment closed at its last good row; a segment without rows leaves no record.
  void closeSegment();
  // Closes the open segment, writes the rest of the index and its header, estimates the vertical
  // resolution and rewrites the work file header. 0, or -1 when a file could not be written.
  int finish();

  uint32_t totalRows() const { return totalRows_; }
  uint32_t segmentCount() const { return segmentCount_; }

 private:
  bool flushRows();
  bool flushRecords();
  void updateLimit();

  FileHandle work_;
  FileHandle index_;
  FaxPage header_;
  RawIndexHeader indexHeader_;
  std::vector<uint8_t> rowBuffer_;
  std::vector<uint8_t> recordBuffer_;
  bool open_ = false;
  bool failed_ = false;
  uint64_t start_ = 0;
  uint64_t end_ = 0;
  uint32_t rows_ = 0;
  uint32_t totalRows_ = 0;
  uint32_t segmentCount_ = 0;
  uint32_t longest_ = 0;
  uint16_t fixedResolution_ = 0;
  uint32_t maxSegmentRows_ = 0;
  uint32_t maxTotalRows_ = 0;
  uint64_t workRowLimit_ = 0;
  uint32_t rowLimit_ = kRawNoRowLimit;
};

}  // namespace tarnwell
