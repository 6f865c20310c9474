#pragma once

// Reader of bare Group 3 / Group 4 bit streams (files whose name matches no container).
//
// Nothing in such a file tells its coding, bit order, width, page ends or vertical resolution;
// analyse() finds them from the data and leaves two working files: the work file (a 37-byte page
// header and every good row) and the segment index (runs of good rows in the source).
//
// Use by the engine, for one source file:
//
//   RawFaxReader raw;
//   if (raw.open(sourcePath) != 0) -> cannot open (-1)
//   raw.configure(settings);                 // paths, threshold, flagNum, minWidth, rawFax;
//                                            // totalRows and rowsPerPage back to 0
//   if (raw.analyse(settings.bitOrder, settings.nonStandardWidth) < 0) -> pageCount 0, not valid
//   else {
//     raw.readWorkHeader(page);              // the work file's 37-byte header into page
//     if (settings.verticalResolution > 0) page.yResolution = settings.verticalResolution;
//     raw.setPageLength(page.pageSize, page.yResolution);
//     pageCount = max(0, raw.countPages());  // valid (-13: work file unreadable)
//   }
//   raw.describePage(index, page);           // readPageInfo (FaxReader::describePage):
//                                            // page index from the work file
//   raw.writeAll(intermediateTiffPath, page);// convert: every page into the intermediate TIFF
//
// No call throws; results are the integer codes documented below.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "faxin/FaxPage.h"
#include "faxin/raw/RawFaxPages.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

class RawFaxReader : public FaxReader {
 public:
  RawFaxReader() = default;

  // Opens the source for reading (FaxReader::open). 0, or -1 when it cannot be opened.
  [[nodiscard]] int open(const std::string& path) { return FaxReader::open(path) ? 0 : -1; }

  // Takes workFilePath, segmentFilePath, threshold, flagNum, minWidth and rawFax from the engine's
  // settings; resets totalRows and rowsPerPage.
  void configure(const EngineSettings& settings);

  // Reads the open source once into memory, finds coding, bit order and width (bitOrder 0: least
  // significant bit first, then highest bit first; 1 or 2: only that order; Group 3 before
  // Group 4) and writes both working files. 0 or above (the measuring pass's error count) on
  // success; negative when nothing decodes (-1), the file is empty or cannot be read.
  [[nodiscard]] int analyse(uint8_t bitOrder, uint8_t nonStandardWidth);

  // Reads the work file's 37-byte header into page (bitmap cleared). 0; -13 when the work file
  // cannot be opened; -11 when it is empty, short or inconsistent.
  int readWorkHeader(FaxPage& page) const;

  // Rows per page from the paper class and the vertical resolution (lines per inch); the pages
  // described afterwards carry that resolution (as the step of 100 to 400 it falls in).
  void setPageLength(uint8_t pageSize, uint16_t yResolution);
  uint32_t rowsPerPage() const { return rowsPerPage_; }
  uint32_t totalRows() const { return totalRows_; }

  // totalRows / rowsPerPage rounded up and capped at 1024 pages; -13 when totalRows is not yet
  // known and the work file cannot be read. (Hides the container readers' countPages.)
  int countPages();

  // describePage (index, page), inherited: page `index` from the work file. 0; -13 work file not
  // readable; -11 empty or inconsistent work file; -12 allocation failure.

  // Cuts the segments into pages and writes every page (at most 1024) into a new TIFF at
  // outputPath as slices of the source's coded bytes; resolutions come from `page`. 0; -1 index
  // missing or unreadable, -2 no segments, or the result of FaxReader::writeAll.
  int writeAll(const std::string& outputPath, const FaxPage& page);

  // The source bytes as read by analyse (tests, benchmarks).
  std::span<const uint8_t> source() const { return source_; }

 protected:
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, bool recountLines, FaxPage& page, PageToWrite& out) override;

 private:
  int fillBitmapFromWork(uint64_t firstRow, uint64_t rows, FaxPage& page) const;

  std::vector<uint8_t> source_;
  std::string workFilePath_;
  std::string segmentFilePath_;
  uint16_t minWidth_ = 1728;
  uint8_t rawFax_ = 0;
  uint32_t totalRows_ = 0;
  uint32_t rowsPerPage_ = 0;
  uint16_t pageYResolution_ = 0;  // the resolution rowsPerPage_ stands for

  // State of one writeAll call.
  RawSegmentIndex index_;
  std::vector<RawPageCut> cut_;
  std::vector<uint8_t> pageBytes_;
  uint16_t xResolution_ = 0;
  uint16_t yResolution_ = 0;
};

}  // namespace tarnwell
