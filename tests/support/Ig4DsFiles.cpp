#include "support/Ig4DsFiles.h"

#include <algorithm>

#include "support/LibtiffWriter.h"

namespace tarnwell::test {

void putLe(std::vector<uint8_t>& out, std::size_t offset, uint32_t value, int bytes) {
  if (out.size() < offset + bytes) out.resize(offset + bytes);
  for (int i = 0; i < bytes; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

Bitmap flippedRows(const Bitmap& b) {
  Bitmap out = b;
  for (uint32_t y = 0; y < b.rows; ++y) {
    std::copy_n(b.row(b.rows - 1 - y), b.bytesPerRow(),
                out.bits.begin() + std::ptrdiff_t{y} * b.bytesPerRow());
  }
  return out;
}

std::vector<std::vector<uint8_t>> t6Strips(const Bitmap& stored, uint32_t strips) {
  std::vector<std::vector<uint8_t>> out;
  const uint32_t rows = stored.rows / strips;
  for (uint32_t s = 0; s < strips; ++s) {
    out.push_back(encodeStrip(stored.rowsOf(s * rows, rows), Codec::kG4, FILLORDER_LSB2MSB));
  }
  return out;
}

Ig4File buildIg4(const std::vector<std::vector<uint8_t>>& strips, uint16_t width,
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

DsRecord dsPage(const std::string& name, const std::vector<uint8_t>& tiff, uint32_t prefixSize) {
  DsRecord r{name, std::vector<uint8_t>(prefixSize, 0xC3), prefixSize};
  r.content.insert(r.content.end(), tiff.begin(), tiff.end());
  return r;
}

std::vector<uint8_t> buildDs(const std::string& documentName, const std::vector<DsRecord>& records,
                             bool close) {
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

}  // namespace tarnwell::test
