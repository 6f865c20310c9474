#pragma once

// Reader of bare Group 3 / Group 4 bit streams (files whose name matches no container).
//
// Nothing in such a file tells its coding, bit order, width, page ends or vertical resolution;
// analyse() finds them from the data and leaves two working files: the work file (a 37-byte page
// header and the good rows, up to a bound of 64 MiB) and the segment index (runs of good rows in
// the source). Rows past the bound are decoded again from the source whenever a page needs them.
//
// Use by the engine, for one source file (the reader is made with the engine's setup):
//
//   open(sourcePath)                          // false -> cannot open (-1)
//   checkHeader()                             // the analysis: coding, bit order and width from
//                                             // the data, both working files written; the page
//                                             // length from the work file's header and the
//                                             // settings' verticalResolution. Nonzero: not a fax
//   countPages()                              // pages of that length (0: not a fax)
//   describePage(index, page)                 // page `index` from the work file
//   writeConverted(intermediateTiffPath, n)   // every page into the intermediate TIFF
//
// No call throws; results are the integer codes documented below.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "codec/FaxBitReader.h"
#include "codec/FaxPage.h"
#include "faxin/FaxResult.h"
#include "faxin/raw/RawFaxPages.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// Bounds of the analysis beside the engine's settings; tests and the fuzz target lower them.
struct RawAnalysisBounds {
  // Bytes of rows the work file may hold; lowered, small streams reach the rows past the limit.
  uint64_t workFileBytes = kRawWorkFileBytes;
  // Rows the analysis records at most (no bound but 1024 pages' worth). A few KB of blank
  // Group 4 codes are tens of thousands of rows, and past a few pages more rows only run the
  // same code again.
  uint32_t rowLimit = kRawNoRowLimit;
};

class RawFaxReader : public FaxReader {
 public:
  // Results of the work-file operations.
  static constexpr int kWorkFileBad = faxCode(FaxResult::kWorkFileBad);
  static constexpr int kWorkFileNoMemory = faxCode(FaxResult::kWorkFileNoMemory);
  static constexpr int kWorkFileUnreadable = faxCode(FaxResult::kWorkFileUnreadable);

  // Takes the engine's working-file paths and settings (threshold, flagNum, minWidth, rawFax,
  // bitOrder, nonStandardWidth, verticalResolution).
  explicit RawFaxReader(const EngineSetup& setup = {}, const RawAnalysisBounds& bounds = {})
      : FaxReader(setup), bounds_(bounds) {}

  // Reads the open source in chunks (never whole into memory), finds coding, bit order and width (bitOrder 0: least
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
  // known and the work file cannot be read. countPages gives the same, 0 for -13.
  int countWorkPages();

  // describePage (index, page), inherited: page `index` from the work file. 0; -13 work file not
  // readable; -11 empty or inconsistent work file; -12 allocation failure.

  // Cuts the segments into pages and writes every page (at most 1024) into a new TIFF at
  // outputPath as slices of the source's coded bytes; resolutions come from `page`. 0; -1 index
  // missing or unreadable, -2 no segments, or the result of FaxReader::writeAll.
  int writeSlices(const std::string& outputPath, const FaxPage& page);

  // writeSlices with the resolutions of the page described last.
  int writeConverted(const std::string& outputPath, uint16_t count) override;

  // Takes these bytes as the source instead of the open file's (the fuzz target, tests); the
  // reader must still be open, on any file. The bytes must stay alive and unchanged while the
  // reader uses them. An empty span goes back to the file.
  void setSourceBytes(std::span<const uint8_t> bytes);
  // The size of the bytes set there, else the open file's.
  uint64_t sourceSize() const override {
    return memorySource_ ? memorySource_->size() : fileSize();
  }

 protected:
  // The analysis with the settings' bit order and width options, then the page length. 0, or
  // -1 when nothing decodes.
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  // The open file as a byte source, read through the checked reads of FaxReader.
  class FileSource final : public FaxByteSource {
   public:
    explicit FileSource(RawFaxReader& reader) : reader_(reader) {}
    uint64_t size() const override { return reader_.fileSize(); }
    std::size_t read(uint64_t at, std::span<uint8_t> into) override { return reader_.readSome(at, into); }

   private:
    RawFaxReader& reader_;
  };

  bool hasSource() const { return isOpen(); }
  // Copies the source bytes a segment's slice needs into segmentBytes_ and gives the segment
  // counted from them; false when the segment does not lie inside the source.
  bool loadSegmentBytes(FaxByteSource& source, const RawSegment& segment, RawSegment& local);
  // Whether every segment of the page lies wholly inside the source.
  bool segmentsInSource(const RawPageCut& cut) const;

  // Fills page.bitmap (width and bytesPerRow set) with `rows` rows from row firstRow of the work
  // file; rows past the work file's limit (workFileRowLimit) are decoded again from the source.
  int fillBitmapFromWork(uint64_t firstRow, uint64_t rows, FaxPage& page);
  // Paints rows [firstRow, firstRow + rows) from the source into the bitmap, whose first row is
  // bitmapFirstRow; rows no segment holds stay as they are.
  void fillRowsFromSource(uint64_t firstRow, uint64_t rows, uint64_t bitmapFirstRow, FaxPage& page);

  std::optional<MemoryByteSource> memorySource_;
  uint32_t totalRows_ = 0;
  uint32_t rowsPerPage_ = 0;
  uint16_t pageYResolution_ = 0;  // the resolution rowsPerPage_ stands for
  RawAnalysisBounds bounds_;

  // State of one writeAll call.
  RawSegmentIndex index_;
  std::vector<RawPageCut> cut_;
  std::vector<uint8_t> pageBytes_;
  std::vector<uint8_t> segmentBytes_;
  uint16_t xResolution_ = 0;
  uint16_t yResolution_ = 0;

  // Resolutions of the page described last, for writeConverted.
  uint16_t describedXResolution_ = 0;
  uint16_t describedYResolution_ = 0;
};

}  // namespace tarnwell
