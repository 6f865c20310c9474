#pragma once

#include <cstdint>

#include "faxin/readers/SingleT6PageReader.h"

namespace tarnwell {

// ED: 0xFF 0xFF 0x00 0x01, resolution (u16 at 614), rows (u32 at 732) and width (u32 at 736),
// all big-endian; T.6 data from offset 740, least significant bit first.
class EdReader : public SingleT6PageReader {
 public:
  using SingleT6PageReader::SingleT6PageReader;
  static constexpr uint32_t kHeaderSize = 740;
  static constexpr uint32_t kRowsField = 732;
  static constexpr uint32_t kWidthField = 736;

 protected:
  int readHeader() override;
};

}  // namespace tarnwell
