#pragma once

#include <array>
#include <cstdint>

#include "faxin/readers/HeaderedPageReader.h"

namespace tarnwell {

// FX files: a chain of pages, each a 128-byte header (0x0B 0x23, width, rows, coding byte, the
// terms of the next header's position, resolution code, data size) directly followed by its
// coded data, always least significant bit first. The first page is at 0; the chain ends at the
// end of the file or at a header without the signature.
class FxReader final : public HeaderedPageReader {
 public:
  using HeaderedPageReader::HeaderedPageReader;
  static constexpr std::size_t kHeaderSize = 128;
  static constexpr uint32_t kDefaultWidth = 1728;
  static constexpr uint32_t kDefaultRows = 3432;

 protected:
  uint16_t indexPages() override;
  int loadPage(std::size_t index, HeaderedPage& out) override;

 private:
  using Header = std::array<uint8_t, kHeaderSize>;
  // Reads the header at `position`; a header cut by the end of the file reads as zeros behind its
  // last byte. True when it carries the signature.
  bool readHeaderAt(uint64_t position, Header& header);
};

}  // namespace tarnwell
