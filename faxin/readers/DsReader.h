#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// DS files: a 280-byte header (mark 0xFD 0xCA 0x64, then the document name) followed by named
// records. Each record is a 55-byte record header (name, content size at 47, prefix size at 51)
// and its content; the content behind the prefix is a complete TIFF file holding the record's
// pages. The list ends at the first record named like the document.
//
// Nothing is decoded here: each page record's TIFF is cut out into a page file and its pages are
// gathered in record order into the scratch TIFF, which the engine then reads as a TIFF fax.
class DsReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr std::size_t kHeaderSize = 280;
  static constexpr std::size_t kRecordHeaderSize = 55;

  // The engine reads the scratch TIFF: makeScratchTiff opens the source, checks its header,
  // counts the page records and gathers their pages (page file: the scratch path with ".tiff"
  // appended). kNone when the header is rejected or no record gave a page.
  bool needsScratchTiff() const override { return true; }
  ScratchResult makeScratchTiff(const std::string& sourcePath) override;

  // Writes the TIFF of page record `index` into the page file (replacing it). 0, or -1 when the
  // record has no TIFF to give (no such record, a prefix larger than its content), -2 when it
  // cannot be read, -3 when the page file cannot be written.
  int extractPage(int index, const std::string& pageFilePath);
  // Builds the scratch TIFF afresh from page records 0 to count-1, in order; a record whose
  // content is no readable TIFF adds no page. The page file is removed afterwards. 0 when at least
  // one page reached the scratch TIFF, else -1 (no scratch TIFF is left then).
  int extractPages(const std::string& scratchTiffPath, const std::string& pageFilePath,
                   uint16_t count);

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  // DS pages are read through the scratch TIFF; the reader itself describes and writes nothing.
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  // Where the TIFF of the record at `position` lies; false when there is none.
  bool locateTiff(uint64_t position, uint64_t& start, uint64_t& size);

  std::vector<uint8_t> documentName_;
};

}  // namespace tarnwell
