#pragma once

#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// One-bit Windows (and OS/2) bitmaps: one page, stored uncompressed rows of 32-bit aligned length,
// bottom row first unless the height is negative. The page has the rows the file holds, never
// more than its header declares; a file that holds none converts to an error. The page is written uncompressed from its
// bitmap, with the resolution of the file in pixels per centimetre (200 per inch when the file
// gives none).
//
// The colour table decides the sense of the bits: when entry 0 is the lighter colour, 0 bits are
// white (PhotometricInterpretation 0); otherwise, and without a usable table, 0 bits are black
// (PhotometricInterpretation 1). Information headers of 40 bytes or more and the 12-byte OS/2
// header (16-bit width and height) are read; compressed bitmaps are no fax.
class BmpReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr uint32_t kFileHeaderSize = 14;
  static constexpr uint32_t kCoreHeaderSize = 12;
  static constexpr uint32_t kInfoHeaderSize = 40;

  bool needsPages() const override { return true; }

  // Result of the write for a file whose pixel rows begin at or past its end: the page its
  // header declares has no data at all.
  static constexpr int kNoPixelData = -5;

 protected:
  int readHeader() override;
  uint16_t indexPages() override { return 1; }
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  struct Layout {
    int64_t width = 0;
    int64_t height = 0;  // negative: top row first
    uint16_t bitsPerPixel = 0;
    uint32_t compression = 0;
    int32_t xPixelsPerMetre = 0;
    int32_t yPixelsPerMetre = 0;
    uint64_t tableStart = 0;
    uint32_t tableEntries = 0;
    uint32_t entrySize = 4;
  };
  // Describes the page into `page` and loads its bitmap as the page data; `keepBitmap` puts a
  // copy of it into the record too. kNoPixelData, with the declared size in `page`, when the
  // file holds no pixel row.
  int loadPage(int index, FaxPage& page, bool keepBitmap);
  // Reads the information header. False when it is of a size this reader does not know.
  bool readLayout(Layout& layout);
  // PhotometricInterpretation from the colour table: 0 when entry 0 is the lighter colour, else 1.
  uint16_t photometricFromTable(const Layout& layout);

  uint32_t pixelOffset_ = 0;
};

}  // namespace tarnwell
