#pragma once

// Test-only builders of IG4 and DS container files around pages coded by libtiff.
//
// IG4: leading bytes, the T.6 strips (least significant bit first), the 208-byte image description
// block (rows at 4, width at 6), the 272-byte strip table (count, rows per strip, 4 bytes, 66
// positions) and the 336-byte trailer (mark, data size + 4 at 28, description position at 40,
// strip table position at 56). DS: a 280-byte header (mark, document name at 6), then records of
// a 55-byte header (name, content size at 47, prefix size at 51) and their content.

#include <cstdint>
#include <string>
#include <vector>

#include "faxin/engine_test_util.h"

namespace tarnwell::testing {

inline void putLe(std::vector<uint8_t>& out, std::size_t offset, uint32_t value, int bytes) {
  if (out.size() < offset + bytes) out.resize(offset + bytes);
  for (int i = 0; i < bytes; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The rows [first, first + count) of a bitmap.
inline Bitmap rowsOf(const Bitmap& b, uint32_t first, uint32_t count) {
  Bitmap out{b.width, count, {}};
  const auto begin = b.bits.begin() + std::ptrdiff_t{first} * b.bytesPerRow();
  out.bits.assign(begin, begin + std::ptrdiff_t{count} * b.bytesPerRow());
  return out;
}

// The bitmap with its rows in reverse order.
inline Bitmap flippedRows(const Bitmap& b) {
  Bitmap out = b;
  for (uint32_t y = 0; y < b.rows; ++y) {
    std::copy_n(b.bits.begin() + std::ptrdiff_t{b.rows - 1 - y} * b.bytesPerRow(), b.bytesPerRow(),
                out.bits.begin() + std::ptrdiff_t{y} * b.bytesPerRow());
  }
  return out;
}

inline bool pixel(const Bitmap& b, uint32_t x, uint32_t y) {
  return (b.bits[std::size_t{y} * b.bytesPerRow() + x / 8] >> (7 - x % 8)) & 1;
}

// One page coded by libtiff as a single strip; its raw bytes.
inline std::vector<uint8_t> codedStrip(const ScratchDir& dir, const Bitmap& page,
                                       const FaxTiffOptions& options) {
  const std::string path = dir.file("strip-source.tif");
  if (!writeFaxTiff(path, {page}, options)) return {};
  return rawStripBytes(path);
}

// The stored page cut into `strips` strips of equal rows, each coded T.6 least significant bit
// first.
inline std::vector<std::vector<uint8_t>> t6Strips(const ScratchDir& dir, const Bitmap& stored,
                                                  uint32_t strips) {
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX4;
  o.fillOrder = FILLORDER_LSB2MSB;
  std::vector<std::vector<uint8_t>> out;
  const uint32_t rows = stored.rows / strips;
  for (uint32_t s = 0; s < strips; ++s) out.push_back(codedStrip(dir, rowsOf(stored, s * rows, rows), o));
  return out;
}

struct Ig4File {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> stripPositions;
  uint32_t descriptionPosition = 0;
  uint32_t tablePosition = 0;
  // Offset of strip position i in the file, for tests that damage it.
  std::size_t stripPositionOffset(std::size_t i) const { return tablePosition + 8 + 4 * i; }
};

inline Ig4File buildIg4(const std::vector<std::vector<uint8_t>>& strips, uint16_t width,
                        uint16_t imageRows, uint16_t rowsPerStrip) {
  Ig4File f;
  f.bytes.assign(16, 0x5A);  // bytes before the image data
  for (const auto& s : strips) {
    f.stripPositions.push_back(static_cast<uint32_t>(f.bytes.size()));
    f.bytes.insert(f.bytes.end(), s.begin(), s.end());
  }
  const auto dataSize = static_cast<uint32_t>(f.bytes.size() - 16);
  f.descriptionPosition = static_cast<uint32_t>(f.bytes.size());
  putLe(f.bytes, f.descriptionPosition + 4, imageRows, 2);
  putLe(f.bytes, f.descriptionPosition + 6, width, 2);
  f.bytes.resize(f.descriptionPosition + 208);
  f.tablePosition = static_cast<uint32_t>(f.bytes.size());
  putLe(f.bytes, f.tablePosition, static_cast<uint32_t>(strips.size()), 2);
  putLe(f.bytes, f.tablePosition + 2, rowsPerStrip, 2);
  for (std::size_t i = 0; i < f.stripPositions.size(); ++i) {
    putLe(f.bytes, f.stripPositionOffset(i), f.stripPositions[i], 4);
  }
  f.bytes.resize(f.tablePosition + 272);
  const std::size_t trailer = f.bytes.size();
  f.bytes.resize(trailer + 336);
  const uint8_t mark[] = {0x1A, 0x1A, 0x55, 0x64, 0x73};
  std::copy(std::begin(mark), std::end(mark), f.bytes.begin() + std::ptrdiff_t(trailer));
  putLe(f.bytes, trailer + 28, dataSize + 4, 4);
  putLe(f.bytes, trailer + 40, f.descriptionPosition, 4);
  putLe(f.bytes, trailer + 56, f.tablePosition, 4);
  return f;
}

struct DsRecord {
  std::string name;
  std::vector<uint8_t> content;          // prefix included
  uint32_t prefixSize = 0;
  uint32_t contentSize = UINT32_MAX;     // UINT32_MAX: the content's size
};

// A record whose content is `prefixSize` filler bytes and then the TIFF file at `tiffPath`.
inline DsRecord dsPage(const std::string& name, const std::string& tiffPath, uint32_t prefixSize) {
  DsRecord r{name, std::vector<uint8_t>(prefixSize, 0xC3), prefixSize};
  std::vector<uint8_t> tiff = readFile(tiffPath);
  r.content.insert(r.content.end(), tiff.begin(), tiff.end());
  return r;
}

// The DS file: header with the document name, the records, and (when `close`) the closing record
// named like the document.
inline std::vector<uint8_t> buildDs(const std::string& documentName,
                                    const std::vector<DsRecord>& records, bool close = true) {
  std::vector<uint8_t> out(280, 0);
  out[0] = 0xFD;
  out[1] = 0xCA;
  out[2] = 0x64;
  std::copy(documentName.begin(), documentName.end(), out.begin() + 6);
  std::vector<DsRecord> all = records;
  if (close) all.push_back(DsRecord{documentName, {}, 0});
  for (const DsRecord& r : all) {
    const std::size_t at = out.size();
    out.resize(at + 55, 0);
    std::copy(r.name.begin(), r.name.end(), out.begin() + std::ptrdiff_t(at));
    putLe(out, at + 47,
          r.contentSize == UINT32_MAX ? static_cast<uint32_t>(r.content.size()) : r.contentSize, 4);
    putLe(out, at + 51, r.prefixSize, 4);
    out.insert(out.end(), r.content.begin(), r.content.end());
  }
  return out;
}

}  // namespace tarnwell::testing
