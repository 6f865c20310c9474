#pragma once

// Test-only builders of PC Research, QLIIFAX, BIT FAX, MRV-FAX and FX containers around pages
// coded by libtiff (an independent encoder), laid out as those formats store them.

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/Bitmap.h"
#include "support/LibtiffWriter.h"

namespace tarnwell::test {

// One page: its source bitmap (1 = black) and its coded bytes as a container stores them.
struct CodedPage {
  Bitmap bitmap;
  std::vector<uint8_t> bytes;
  uint8_t coding = 5;  // FaxCoding: 1 uncompressed, 5 T.4 1-D, 6 T.4 2-D, 7 T.6, 8 PackBits
  uint8_t fillOrder = 1;
};

// Codes the bitmap with libtiff as one strip and returns the strip's raw bytes (empty on any
// failure). Uncompressed pages are the bitmap's own bytes.
inline CodedPage codePage(const Bitmap& bitmap, uint8_t coding, uint8_t fillOrder) {
  CodedPage page{bitmap, {}, coding, fillOrder};
  if (coding == 1) {
    page.bytes = bitmap.bits;
    return page;
  }
  const uint16_t compression = coding == 7   ? COMPRESSION_CCITTFAX4
                               : coding == 8 ? COMPRESSION_PACKBITS
                                             : COMPRESSION_CCITTFAX3;
  Encoded coded = encodeWithLibtiff(bitmap, compression, coding == 6 ? GROUP3OPT_2DENCODING : 0,
                                    fillOrder);
  if (coded.ok) page.bytes = std::move(coded.raw);
  return page;
}

// A page of one short black run per row (a few bytes per coded row), for tests that run the
// readers many times.
inline Bitmap sparseBitmap(uint32_t width, uint32_t rows) {
  Bitmap b{width, rows, std::vector<uint8_t>(size_t{(width + 7) / 8} * rows, 0)};
  for (uint32_t y = 0; y < rows; ++y) {
    const uint32_t x = (y * 37) % (width - 16);
    for (uint32_t i = x; i < x + 1 + y % 13; ++i) {
      b.bits[size_t{y} * b.bytesPerRow() + i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
  }
  return b;
}

namespace container {

inline void put8(std::vector<uint8_t>& out, std::size_t at, uint8_t v) {
  if (out.size() < at + 1) out.resize(at + 1);
  out[at] = v;
}
inline void put16(std::vector<uint8_t>& out, std::size_t at, uint16_t v) {
  put8(out, at, static_cast<uint8_t>(v));
  put8(out, at + 1, static_cast<uint8_t>(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
  put16(out, at, static_cast<uint16_t>(v));
  put16(out, at + 2, static_cast<uint16_t>(v >> 16));
}
inline void putText(std::vector<uint8_t>& out, std::size_t at, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) put8(out, at + i, static_cast<uint8_t>(text[i]));
}
inline void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace container

// PC Research: each page a 64-byte header (0, "PC Research, Inc") and its data.
inline std::vector<uint8_t> buildPcResearch(const std::vector<CodedPage>& pages) {
  std::vector<uint8_t> file;
  for (const CodedPage& p : pages) {
    const std::size_t at = file.size();
    file.resize(at + 64, 0);
    container::putText(file, at + 1, "PC Research, Inc");
    container::append(file, p.bytes);
  }
  return file;
}

struct QliiFaxLayout {
  int declaredCount = -1;    // -1: the number of pages
  int lastRows = -1;         // -1: the last page's rows
  int64_t otherRows = -1;    // -1: the first page's rows
  uint16_t resolutionCode = 1;  // 200 lines per inch
};

// QLIIFAX: the 1532-byte header with the page table, then the pages' data in order.
inline std::vector<uint8_t> buildQliiFax(const std::vector<CodedPage>& pages,
                                         const QliiFaxLayout& layout = {}) {
  std::vector<uint8_t> file(1532, 0);
  container::putText(file, 0, "QLIIFAX");
  container::put16(file, 8, static_cast<uint16_t>(
                                layout.declaredCount >= 0 ? layout.declaredCount : pages.size()));
  container::put16(file, 10, static_cast<uint16_t>(
                                 layout.lastRows >= 0 ? layout.lastRows
                                 : pages.empty()      ? 0
                                                      : pages.back().bitmap.rows));
  container::put32(file, 12, static_cast<uint32_t>(
                                 layout.otherRows >= 0 ? layout.otherRows
                                 : pages.empty()       ? 0
                                                       : pages.front().bitmap.rows));
  container::put16(file, 16, layout.resolutionCode);
  for (std::size_t i = 0; i < pages.size() && i < 375; ++i) {
    container::put32(file, 32 + 4 * i, static_cast<uint32_t>(file.size()));
    container::append(file, pages[i].bytes);
  }
  return file;
}

// BIT FAX: the 2048-byte header with the page directory, then the pages' data in order.
inline std::vector<uint8_t> buildBitFax(const std::vector<CodedPage>& pages,
                                        int declaredCount = -1, uint8_t resolutionCode = 1) {
  std::vector<uint8_t> file(2048, 0);
  container::putText(file, 0, "BIT  FAX");
  container::put16(file, 9,
                   static_cast<uint16_t>(declaredCount >= 0 ? declaredCount : pages.size()));
  container::put8(file, 14, resolutionCode);
  for (std::size_t i = 0; i < pages.size() && i < 127; ++i) {
    const std::size_t entry = 16 + 16 * i;
    container::put16(file, entry, static_cast<uint16_t>(pages[i].bitmap.width));
    container::put16(file, entry + 2, static_cast<uint16_t>(pages[i].bitmap.rows));
    container::put32(file, entry + 4, static_cast<uint32_t>(pages[i].bytes.size()));
    container::put32(file, entry + 8, static_cast<uint32_t>(file.size()));
    container::append(file, pages[i].bytes);
  }
  return file;
}

// MRV-FAX: each page a 64-byte header chained to the next, then its data. With zeroGeometry the
// width and rows fields are 0 (the format's defaults).
inline std::vector<uint8_t> buildMrv(const std::vector<CodedPage>& pages,
                                     bool zeroGeometry = false) {
  std::vector<uint8_t> file;
  for (const CodedPage& p : pages) {
    const std::size_t at = file.size();
    file.resize(at + 64, 0);
    container::putText(file, at, "MRV-FAX");
    container::put32(file, at + 8, static_cast<uint32_t>(at + 64));
    container::put32(file, at + 12, static_cast<uint32_t>(p.bytes.size()));
    container::put32(file, at + 16, zeroGeometry ? 0 : p.bitmap.width);
    container::put32(file, at + 20, zeroGeometry ? 0 : p.bitmap.rows);
    container::put8(file, at + 26, p.fillOrder);
    container::put8(file, at + 27, p.coding);
    container::put8(file, at + 28, 200);
    container::put8(file, at + 29, 200);
    container::append(file, p.bytes);
  }
  return file;
}

// FX: each page a 128-byte header whose terms give the next header's position, then its data.
inline std::vector<uint8_t> buildFx(const std::vector<CodedPage>& pages, bool zeroGeometry = false) {
  std::vector<uint8_t> file;
  for (const CodedPage& p : pages) {
    const std::size_t at = file.size();
    file.resize(at + 128, 0);
    container::put8(file, at, 0x0B);
    container::put8(file, at + 1, 0x23);
    container::put16(file, at + 3, static_cast<uint16_t>(zeroGeometry ? 0 : p.bitmap.width));
    container::put16(file, at + 5, static_cast<uint16_t>(zeroGeometry ? 0 : p.bitmap.rows));
    container::put8(file, at + 7, p.coding == 7 ? 1 : 0);
    // Next header = first term + second term + data size + factor x factor.
    container::put32(file, at + 89, static_cast<uint32_t>(at + 100));
    container::put32(file, at + 105, 16);
    container::put8(file, at + 113, 4);
    container::put8(file, at + 114, 3);
    container::put8(file, at + 115, 1);
    container::put32(file, at + 116, static_cast<uint32_t>(p.bytes.size()));
    container::append(file, p.bytes);
  }
  return file;
}

}  // namespace tarnwell::test
