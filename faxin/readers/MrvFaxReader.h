#pragma once

#include <cstdint>

#include "faxin/readers/HeaderedPageReader.h"

namespace tarnwell {

// MRV-FAX files: a chain of pages, each a 64-byte header ("MRV-FAX", data position and size,
// width, rows, fill order, coding, resolutions) directly followed by its coded data. The first
// page is at 0; the next header follows at the data position plus the data size.
class MrvFaxReader final : public HeaderedPageReader {
 public:
  using HeaderedPageReader::HeaderedPageReader;
  static constexpr std::size_t kHeaderSize = 64;
  static constexpr uint32_t kDefaultWidth = 1728;
  static constexpr uint32_t kDefaultRows = 4576;

 protected:
  uint16_t indexPages() override;
  int loadPage(std::size_t index, HeaderedPage& out) override;
};

}  // namespace tarnwell
