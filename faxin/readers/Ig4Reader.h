#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// IG4 files: one page stored as several strips of T.6 data, least significant bit first, found
// through a 336-byte trailer at the end of the file. The trailer points at an image description
// block (rows and width) and at a strip table (strip count, rows per strip, up to 66 strip
// positions). The strips are copied unchanged into one TIFF page of several strips marked with
// Orientation 7; to describe the page they are decoded into one bitmap that is then mirrored left
// to right.
class Ig4Reader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr std::size_t kTrailerSize = 336;
  static constexpr std::size_t kDescriptionSize = 208;
  static constexpr std::size_t kStripTableSize = 272;
  static constexpr std::size_t kMaxStrips = 66;

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  // Where each usable strip begins and ends: positions that are 0, outside the file or not above
  // the one before end the strips. The last strip ends at the description block.
  void locateStrips(uint16_t declaredCount, const uint8_t* positions);

  uint16_t width_ = 0;
  uint16_t imageRows_ = 0;
  uint16_t declaredStrips_ = 0;
  uint16_t rowsPerStrip_ = 0;
  uint32_t descriptionPosition_ = 0;
  std::vector<uint32_t> stripStarts_;
  std::vector<uint32_t> stripEnds_;
  // Sizes of the strips loaded for the last description, in strip order; the write takes only
  // these strips.
  std::vector<uint32_t> loadedSizes_;
  bool described_ = false;
  int32_t describedRows_ = 0;
};

}  // namespace tarnwell
