#pragma once

// Builders of the container files from their layouts, for the reader and end-to-end tests:
// PC Research, QLIIFAX, BIT FAX, MRV-FAX, FX, APF, DCX, CALS, ED and BMP. Coded pages come from
// libtiff (an independent Group 3/4 encoder); DCX pages from a small PCX run-length encoder of
// the tests' own.

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "faxin/FaxFormat.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

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

inline void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void putBe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// Writes v little-endian at `at`, growing the buffer as needed.
inline void setLe(std::vector<uint8_t>& out, std::size_t at, uint64_t v, int bytes) {
  if (out.size() < at + bytes) out.resize(at + bytes);
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

namespace container {

inline void put8(std::vector<uint8_t>& out, std::size_t at, uint8_t v) { setLe(out, at, v, 1); }
inline void put16(std::vector<uint8_t>& out, std::size_t at, uint16_t v) { setLe(out, at, v, 2); }
inline void put32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) { setLe(out, at, v, 4); }
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

// One page coded by libtiff, its strips as stored: all rows in one strip, or one strip per row.
inline std::vector<std::vector<uint8_t>> codeStrips(const TempTree& dir, const Bitmap& page,
                                                    uint16_t compression, uint16_t fillOrder,
                                                    bool stripPerRow = false) {
  FaxTiffOptions o;
  o.compression = compression;
  o.t4Options = 0;
  o.fillOrder = fillOrder;
  o.rowsPerStrip = stripPerRow ? 1 : 0;
  const std::string tif = dir.file("coded-page.tif");
  if (!writeFaxTiff(tif, {page}, o)) return {};
  std::vector<TiffPage> pages = readTiffPages(tif);
  if (pages.empty()) return {};
  return std::move(pages.front().rawStrips);
}

inline std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---- APF ----
struct ApfPage {
  std::vector<uint8_t> data;  // Group 3 one-dimensional, least significant bit first
  uint8_t flags = 0;
  uint32_t declaredSize = UINT32_MAX;  // UINT32_MAX: the data's size
};

// APF data of a page: with `rowWords`, two arbitrary bytes before the first row and after each row.
inline std::vector<uint8_t> apfData(const TempTree& dir, const Bitmap& page, bool rowWords) {
  if (!rowWords) return joined(codeStrips(dir, page, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB));
  std::vector<uint8_t> out{0xA5, 0x5A};
  uint8_t junk = 0x11;
  for (const auto& row : codeStrips(dir, page, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB, true)) {
    out.insert(out.end(), row.begin(), row.end());
    out.push_back(junk);
    out.push_back(static_cast<uint8_t>(~junk));
    junk = static_cast<uint8_t>(junk * 7 + 3);
  }
  return out;
}

inline std::vector<uint8_t> buildApf(const std::vector<ApfPage>& pages, int16_t declaredCount) {
  std::vector<uint8_t> file{'A', 'P', 'F', '1', '0'};
  file.resize(64, 0x20);
  setLe(file, 32, static_cast<uint16_t>(declaredCount), 2);
  setLe(file, 34, 66, 4);  // an even, not 4-aligned first page
  file.resize(66, 0);
  for (const ApfPage& p : pages) {
    putLe(file, p.declaredSize == UINT32_MAX ? p.data.size() : p.declaredSize, 4);
    file.push_back(p.flags);
    file.resize(file.size() + 11, 0);
    file.insert(file.end(), p.data.begin(), p.data.end());
  }
  return file;
}

// ---- DCX ----
// PCX run-length coding of one row: runs of up to 63 bytes as (0xC0 + n, value); single bytes
// below 0xC0 as themselves.
inline void pcxEncodeRow(const uint8_t* row, std::size_t n, std::vector<uint8_t>& out) {
  for (std::size_t i = 0; i < n;) {
    std::size_t run = 1;
    while (i + run < n && run < 63 && row[i + run] == row[i]) ++run;
    if (run > 1 || row[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 + run));
    out.push_back(row[i]);
    i += run;
  }
}

struct PcxOptions {
  uint8_t bitsPerPixel = 1;
  uint8_t planes = 1;
  int16_t resolution = 200;
  int16_t xmin = 0;
  int16_t ymin = 0;
  int16_t xmaxOverride = -1;  // -1: from the page
  int16_t ymaxOverride = -1;
};

// A PCX page of the bitmap (1 = black in the bitmap; PCX keeps 1 = white), rows of the given
// bytes per plane row (the bitmap's own row length when 0).
inline std::vector<uint8_t> buildPcx(const Bitmap& b, const PcxOptions& o = {},
                                     uint32_t planeRowBytes = 0) {
  if (planeRowBytes == 0) planeRowBytes = b.bytesPerRow();
  std::vector<uint8_t> out(128, 0);
  out[0] = 0x0A;
  out[1] = 5;
  out[2] = 1;
  out[3] = o.bitsPerPixel;
  setLe(out, 4, static_cast<uint16_t>(o.xmin), 2);
  setLe(out, 6, static_cast<uint16_t>(o.ymin), 2);
  setLe(out, 8, static_cast<uint16_t>(o.xmaxOverride >= 0 ? o.xmaxOverride : o.xmin + b.width - 1), 2);
  setLe(out, 10, static_cast<uint16_t>(o.ymaxOverride >= 0 ? o.ymaxOverride : o.ymin + b.rows - 1), 2);
  setLe(out, 12, static_cast<uint16_t>(o.resolution), 2);
  setLe(out, 14, static_cast<uint16_t>(o.resolution), 2);
  out[65] = o.planes;
  setLe(out, 66, planeRowBytes, 2);
  std::vector<uint8_t> row(planeRowBytes);
  for (uint32_t y = 0; y < b.rows; ++y) {
    for (uint32_t p = 0; p < o.planes; ++p) {
      std::fill(row.begin(), row.end(), 0xFF);
      for (uint32_t i = 0; i < std::min(planeRowBytes, b.bytesPerRow()); ++i) {
        row[i] = static_cast<uint8_t>(~b.bits[size_t{y} * b.bytesPerRow() + i]);
      }
      pcxEncodeRow(row.data(), row.size(), out);
    }
  }
  return out;
}

inline std::vector<uint8_t> buildDcx(const std::vector<std::vector<uint8_t>>& pages,
                                     bool terminated = true) {
  std::vector<uint8_t> file;
  putLe(file, 987654321, 4);
  const std::size_t listSize = 4 * (pages.size() + (terminated ? 1 : 0));
  uint64_t position = 4 + listSize;
  for (const auto& p : pages) {
    putLe(file, position, 4);
    position += p.size();
  }
  if (terminated) putLe(file, 0, 4);
  for (const auto& p : pages) file.insert(file.end(), p.begin(), p.end());
  return file;
}

// ---- CALS and ED ----
inline std::vector<uint8_t> buildCals(const std::vector<uint8_t>& t6, const std::string& pelCount,
                                      const std::string& density) {
  std::vector<uint8_t> file(2048, ' ');
  auto record = [&](std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
  };
  record(0, "srcdocid: NONE");
  record(128, "rtype: 1");
  record(1024, "rpelcnt: " + pelCount);
  record(1152, "rdensty: " + density);
  file.insert(file.end(), t6.begin(), t6.end());
  return file;
}

inline std::vector<uint8_t> buildEd(const std::vector<uint8_t>& t6, uint32_t width,
                                    uint32_t rows, uint16_t resolution) {
  std::vector<uint8_t> file{0xFF, 0xFF, 0x00, 0x01};
  file.resize(614, 0);
  putBe(file, resolution, 2);
  file.resize(732, 0);
  putBe(file, rows, 4);
  putBe(file, width, 4);
  file.insert(file.end(), t6.begin(), t6.end());
  return file;
}

// ---- BMP ----
struct BmpOptions {
  bool topDown = false;
  bool whiteFirst = false;  // colour table entry 0 white (1 bits black), else entry 0 black
  bool coreHeader = false;  // the 12-byte OS/2 header
  int32_t pixelsPerMetre = 0;
};

// A one-bit BMP of the bitmap (1 = black), bits stored in the sense the colour table asks for.
inline std::vector<uint8_t> buildBmp(const Bitmap& b, const BmpOptions& o = {}) {
  const uint32_t stride = (b.width + 31) / 32 * 4;
  const uint32_t headerSize = o.coreHeader ? 12 : 40;
  const uint32_t entrySize = o.coreHeader ? 3 : 4;
  const uint32_t pixels = 14 + headerSize + 2 * entrySize;
  std::vector<uint8_t> file{'B', 'M'};
  putLe(file, pixels + stride * b.rows, 4);
  putLe(file, 0, 4);
  putLe(file, pixels, 4);
  putLe(file, headerSize, 4);
  if (o.coreHeader) {
    putLe(file, b.width, 2);
    putLe(file, b.rows, 2);
    putLe(file, 1, 2);
    putLe(file, 1, 2);
  } else {
    putLe(file, b.width, 4);
    putLe(file, o.topDown ? -static_cast<int64_t>(b.rows) : b.rows, 4);
    putLe(file, 1, 2);
    putLe(file, 1, 2);
    putLe(file, 0, 4);
    putLe(file, stride * b.rows, 4);
    putLe(file, static_cast<uint32_t>(o.pixelsPerMetre), 4);
    putLe(file, static_cast<uint32_t>(o.pixelsPerMetre), 4);
    putLe(file, 2, 4);
    putLe(file, 0, 4);
  }
  const uint8_t first = o.whiteFirst ? 0xFF : 0x00;
  for (uint8_t colour : {first, static_cast<uint8_t>(~first)}) {
    for (uint32_t i = 0; i < 3; ++i) file.push_back(colour);
    if (entrySize == 4) file.push_back(0);
  }
  for (uint32_t r = 0; r < b.rows; ++r) {
    const bool bottomUp = o.coreHeader || !o.topDown;
    const uint32_t row = bottomUp ? b.rows - 1 - r : r;
    for (uint32_t i = 0; i < stride; ++i) {
      uint8_t v = i < b.bytesPerRow() ? b.bits[size_t{row} * b.bytesPerRow() + i] : 0x5A;
      // Entry 0 black: a 1 bit is white.
      if (!o.whiteFirst && i < b.bytesPerRow()) v = static_cast<uint8_t>(~v);
      file.push_back(v);
    }
  }
  return file;
}

// ---- one sample file of every container, with the pages it must give ----
struct ContainerSample {
  const char* name;
  FaxFormat format;
  // Builds the file and the pages (1 = black) that must come out, with their resolution.
  std::function<std::vector<uint8_t>(const TempTree&, std::vector<Bitmap>&)> build;
  float xResolution;  // as written into the TIFF, in the unit below
  float yResolution;
  const char* fileName;  // a name the program classifies as this container
  bool centimetres = false;
};

inline std::vector<ContainerSample> containerSamples() {
  return {
      {"ApfNormalAndFine", FaxFormat::kApf,
       [](const TempTree& d, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1728, 90, 1), makePage(Pattern::kWords, 1728, 60, 2)};
         return buildApf({{apfData(d, pages[0], false), 0x00}, {apfData(d, pages[1], false), 0x01}}, 2);
       },
       200, 100, "fax.apf"},
      {"ApfWideFine", FaxFormat::kApf,
       [](const TempTree& d, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 2048, 70, 3)};
         return buildApf({{apfData(d, pages[0], false), 0x03}}, 1);
       },
       200, 200, "wide.APF"},
      {"ApfRowWords", FaxFormat::kApf,
       [](const TempTree& d, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1728, 50, 4)};
         return buildApf({{apfData(d, pages[0], true), 0x04}}, 1);
       },
       200, 100, "rows.apf"},
      {"DcxThreePages", FaxFormat::kDcx,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1728, 40, 5), makePage(Pattern::kWords, 1728, 30, 6), makePage(Pattern::kWords, 2048, 20, 7)};
         return buildDcx({buildPcx(pages[0]), buildPcx(pages[1]), buildPcx(pages[2])});
       },
       200, 200, "pages.dcx"},
      {"DcxUnterminatedList", FaxFormat::kDcx,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1728, 25, 8)};
         return buildDcx({buildPcx(pages[0])}, false);
       },
       200, 200, "short.DCX"},
      {"CalsG4", FaxFormat::kCals,
       [](const TempTree& d, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1728, 80, 9)};
         return buildCals(joined(codeStrips(d, pages[0], COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB)),
                          "001728,000080", "0300");
       },
       300, 300, "page.cal"},
      {"EdG4", FaxFormat::kEd,
       [](const TempTree& d, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 2592, 60, 10)};
         return buildEd(joined(codeStrips(d, pages[0], COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB)),
                        2592, 60, 300);
       },
       300, 300, "scan.ed"},
      {"BmpBottomUpBlackFirst", FaxFormat::kBmp,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1700, 33, 11)};
         return buildBmp(pages[0]);
       },
       200, 200, "bottom.bmp"},
      {"BmpTopDownWhiteFirst", FaxFormat::kBmp,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1000, 21, 12)};
         return buildBmp(pages[0], {.topDown = true, .whiteFirst = true});
       },
       200, 200, "top.BMP"},
      {"BmpOs2Header", FaxFormat::kBmp,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 435, 17, 13)};
         return buildBmp(pages[0], {.whiteFirst = true, .coreHeader = true});
       },
       200, 200, "os2.bmp"},
      {"BmpCentimetres", FaxFormat::kBmp,
       [](const TempTree&, std::vector<Bitmap>& pages) {
         pages = {makePage(Pattern::kWords, 1701, 40, 14)};
         return buildBmp(pages[0], {.pixelsPerMetre = 7874});
       },
       78, 78, "cm.bmp", true},
  };
}

}  // namespace tarnwell::test
