#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "faxin/tiff/TiffDirectory.h"
#include "faxin/tiff/TiffPageDescriber.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// The engine's own reader of TIFF-structured fax files ("FMF", "G3N", TIFF-headed "G3F", and the
// scratch TIFF left by the AWD converter or the DS reader).
//
// It reads the TIFF structure itself: the whole file is taken into memory at the header check and
// every structure is read from there through bounds-checked access (TiffView). Pages are decoded
// with the fax decoders to describe them, and copied into the intermediate TIFF with their coded
// bytes unchanged.
class TiffFaxReader : public FaxReader {
 public:
  explicit TiffFaxReader(const EngineSetup& setup = {});
  ~TiffFaxReader() override;

  const TiffHeader& header() const { return header_; }

  // Reads the directory at `position` into the entry buffer: its entry count, or -1 (position 0),
  // -2 (count not readable), -3 (no memory), -4 (entries not readable), -5 (next position not
  // readable, also when no file has been checked).
  int readDirectory(uint32_t position);
  // The page description of the directory last read.
  TiffPageInfo parseDirectory() const;
  // All strips of the page, in order, joined into pageData (cut where they leave the file). Also
  // remembers where each strip begins inside pageData. 0, or -1 when the buffer cannot be had.
  int collectStrips(const TiffPageInfo& info);

  // Fills `out` with everything the fax TIFF writer needs to copy the page of the directory last
  // read (after collectStrips): compression, options, fill order, photometric, size, resolution
  // and, where the page's strips are coded apart from each other, the several-strip form.
  void pageForWriting(const TiffPageInfo& info, PageToWrite& out) const;

  // The describe limits (setDescribeLimits of the base): wider pages are still copied, but
  // describe as empty, and taller ones describe cut.

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  std::vector<uint8_t> file_;  // the whole file, taken at the header check
  TiffHeader header_;
  bool bigEndian_ = false;
  uint32_t previousDirectory_ = 0;
  uint32_t nextDirectory_ = 0;
  std::vector<TiffEntry> entries_;
  std::vector<uint32_t> stripSizes_;
};

}  // namespace tarnwell
