#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// PC Research G3 files: pages of a 64-byte header (a zero byte and "PC Research, Inc") followed by
// Group 3 data up to the next page header. The pages are found by searching the text; each page's
// coding and bit order come from the coding probe, and its coded bytes are copied unchanged.
class PcResearchReader final : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr std::size_t kHeaderSize = 64;
  static constexpr uint32_t kPageWidth = 1728;
  static constexpr uint32_t kRowLimit = 3288;

  bool canWriteEachPage() const override { return true; }

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  std::array<uint8_t, kHeaderSize> header_{};
};

}  // namespace tarnwell
