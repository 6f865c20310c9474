#pragma once

#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// Single-page rasters whose header gives the page's size and resolution and whose data is one
// Group 4 (T.6) page: CALS raster (a 2048-byte text header) and ED (a 740-byte header of
// big-endian fields). The page's coded bytes are copied unchanged, written with the declared width
// and the rows the data holds (never more than declared).
class SingleT6PageReader : public FaxReader {
 public:
  using FaxReader::FaxReader;

 protected:
  struct Declared {
    uint32_t width = 0;
    uint32_t rows = 0;
    uint16_t resolution = 0;
    uint32_t dataOffset = 0;
    uint16_t fillOrder = 1;
  };

  // Accepts the declared page when its width and rows are nonzero and its bitmap stays within the
  // engine's bitmap limit. 0, or -2.
  int declare(const Declared& declared);

  uint16_t indexPages() override { return 1; }
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  Declared declared_;
};

}  // namespace tarnwell
