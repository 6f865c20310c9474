#pragma once

// IG4 and DS container files built around pages coded by libtiff.
//
// IG4: leading bytes, the T.6 strips (least significant bit first), the 208-byte image description
// block (rows at 4, width at 6), the 272-byte strip table (count, rows per strip, 4 bytes, 66
// positions) and the 336-byte trailer (mark, data size + 4 at 28, description position at 40,
// strip table position at 56). DS: a 280-byte header (mark, document name at 6), then records of
// a 55-byte header (name, content size at 47, prefix size at 51) and their content.

#include <cstdint>
#include <string>
#include <vector>

#include "support/Bitmap.h"

namespace tarnwell::test {

// Stores `bytes` bytes of `value`, least significant first, at `offset` (growing the buffer).
void putLe(std::vector<uint8_t>& out, std::size_t offset, uint32_t value, int bytes);

// The bitmap with its rows in reverse order.
Bitmap flippedRows(const Bitmap& b);

// The stored page cut into `strips` strips of equal rows, each coded T.6 least significant bit
// first by libtiff.
std::vector<std::vector<uint8_t>> t6Strips(const Bitmap& stored, uint32_t strips);

struct Ig4File {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> stripPositions;
  uint32_t descriptionPosition = 0;
  uint32_t tablePosition = 0;
  // Offset of strip position i in the file, for tests that damage it.
  std::size_t stripPositionOffset(std::size_t i) const { return tablePosition + 8 + 4 * i; }
  std::size_t trailerOffset() const { return bytes.size() - 336; }
};
Ig4File buildIg4(const std::vector<std::vector<uint8_t>>& strips, uint16_t width,
                 uint16_t imageRows, uint16_t rowsPerStrip);

struct DsRecord {
  std::string name;
  std::vector<uint8_t> content;       // prefix included
  uint32_t prefixSize = 0;
  uint32_t contentSize = UINT32_MAX;  // UINT32_MAX: the content's size
};
// A record whose content is `prefixSize` filler bytes and then the TIFF file `tiff`.
DsRecord dsPage(const std::string& name, const std::vector<uint8_t>& tiff, uint32_t prefixSize);
// The DS file: header with the document name, the records, and (when `close`) the closing record
// named like the document.
std::vector<uint8_t> buildDs(const std::string& documentName, const std::vector<DsRecord>& records,
                             bool close = true);

}  // namespace tarnwell::test
