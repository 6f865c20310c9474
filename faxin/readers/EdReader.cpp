#include "faxin/readers/EdReader.h"

#include <array>
#include <string_view>

#include "faxin/readers/ByteFields.h"

namespace tarnwell {

int EdReader::readHeader() {
  std::array<uint8_t, kHeaderSize> header{};
  if (!readAt(0, header)) return -2;
  const ByteFields fields(header);
  // The magic number is tested before any field is used.
  if (!fields.matches(0, std::string_view("\xFF\xFF\x00\x01", 4))) return -3;
  Declared declared;
  fields.u16be(614, declared.resolution);
  fields.u32be(kRowsField, declared.rows);
  fields.u32be(kWidthField, declared.width);
  declared.dataOffset = kHeaderSize;
  declared.fillOrder = 2;
  return declare(declared);
}

}  // namespace tarnwell
