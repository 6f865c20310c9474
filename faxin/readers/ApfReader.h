#pragma once

#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// APF10 files: a 64-byte file header ("APF10", page count, position of the first page), then a
// chain of pages, each a 16-byte page header (data size, flags) followed by Group 3
// one-dimensional data stored least significant bit first. Every page is decoded into a bitmap and
// written re-encoded (PackBits, or uncompressed when that does not pay).
class ApfReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr uint32_t kFileHeaderSize = 64;
  static constexpr uint32_t kPageHeaderSize = 16;
  static constexpr int32_t kRowLimit = 3000;

  // Page flags.
  static constexpr uint8_t kFine = 0x01;       // 200 lines per inch, else 100
  static constexpr uint8_t kWide = 0x02;       // 2048 pixels per row, else 1728
  static constexpr uint8_t kRowWords = 0x04;   // a 16-bit value before the data and after each row

  bool canWriteEachPage() const override { return true; }

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  // Reads the page header at the page's position and its data into pageData. 0, or -1 (no such
  // page), -2 (page header unreadable; the message says so), or a loadPageData failure.
  int loadPage(int index);

  int16_t declaredPages_ = 0;
  uint32_t firstPage_ = 0;
  uint8_t flags_ = 0;
};

}  // namespace tarnwell
