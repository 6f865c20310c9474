#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// BIT FAX files: a 2048-byte header ("BIT  FAX", page count, resolution code and a directory of
// 127 entries: width, rows, data size and position of each page), then the pages' Group 3 or
// Group 4 data. Coding and bit order come from the coding probe (with the T.6 fallback); the
// coded bytes are copied unchanged. A file without pages is not taken.
class BitFaxReader final : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr std::size_t kHeaderSize = 2048;
  static constexpr uint16_t kMaxPages = 127;

  bool canWriteEachPage() const override { return true; }
  bool needsPages() const override { return true; }

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  std::array<uint8_t, kHeaderSize> header_{};
};

}  // namespace tarnwell
