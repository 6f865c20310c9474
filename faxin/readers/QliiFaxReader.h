#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// QLIIFAX files: a 1532-byte header ("QLIIFAX", page count, row counts, resolution code and a
// table of 375 page positions), then each page's Group 3 or Group 4 data, which runs to the next
// page's position. Coding, bit order and width come from the coding probe (with the T.6
// fallback); the coded bytes are copied unchanged. The table ends at an entry that repeats an
// earlier one, and a page's data ends at the nearest position listed behind it.
class QliiFaxReader final : public FaxReader {
 public:
  using FaxReader::FaxReader;
  static constexpr std::size_t kHeaderSize = 1532;
  static constexpr uint16_t kMaxPages = 375;

  bool canWriteEachPage() const override { return true; }

 protected:
  int readHeader() override;
  uint16_t indexPages() override;
  int readPage(int index, FaxPage& page) override;
  int preparePage(int index, FaxPage& page, PageToWrite& out) override;

 private:
  uint32_t tableEntry(std::size_t index) const;

  std::array<uint8_t, kHeaderSize> header_{};
  uint16_t count_ = 0;
};

}  // namespace tarnwell
