#pragma once

// Builders of APF, DCX, CALS, ED and BMP files from their layouts, for the reader and end-to-end
// tests. Coded pages come from libtiff (an independent Group 3/4 encoder); DCX pages from a small
// PCX run-length encoder of the tests' own.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "faxin/FaxFormat.h"
#include "faxin/engine_test_util.h"

namespace tarnwell::testing {

inline void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void putBe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void setLe(std::vector<uint8_t>& out, std::size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

// The raw bytes of each strip of the first page of a TIFF, one vector per strip.
inline std::vector<std::vector<uint8_t>> rawStrips(const std::string& path) {
  quietLibtiff();
  std::vector<std::vector<uint8_t>> out;
  TiffHandle t(TIFFOpen(path.c_str(), "r"));
  if (!t) return out;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t.get()); ++s) {
    const auto size = static_cast<tmsize_t>(TIFFGetStrileByteCount(t.get(), s));
    std::vector<uint8_t> strip(static_cast<std::size_t>(size));
    const tmsize_t got = TIFFReadRawStrip(t.get(), s, strip.data(), size);
    if (got < 0) return {};
    strip.resize(static_cast<std::size_t>(got));
    out.push_back(std::move(strip));
  }
  return out;
}

// One page coded by libtiff: all rows in one strip, or one strip per row.
inline std::vector<std::vector<uint8_t>> codePage(const ScratchDir& dir, const Bitmap& page,
                                                  uint16_t compression, uint16_t fillOrder,
                                                  bool stripPerRow = false) {
  FaxTiffOptions o;
  o.compression = compression;
  o.t4Options = 0;
  o.fillOrder = fillOrder;
  o.rowsPerStrip = stripPerRow ? 1 : 0;
  const std::string tif = dir.file("coded-page.tif");
  if (!writeFaxTiff(tif, {page}, o)) return {};
  return rawStrips(tif);
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
inline std::vector<uint8_t> apfData(const ScratchDir& dir, const Bitmap& page, bool rowWords) {
  if (!rowWords) return joined(codePage(dir, page, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB));
  std::vector<uint8_t> out{0xA5, 0x5A};
  uint8_t junk = 0x11;
  for (const auto& row : codePage(dir, page, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB, true)) {
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
  std::function<std::vector<uint8_t>(const ScratchDir&, std::vector<Bitmap>&)> build;
  float xResolution;  // as written into the TIFF, in the unit below
  float yResolution;
  const char* fileName;  // a name the program classifies as this container
  bool centimetres = false;
};

inline std::vector<ContainerSample> containerSamples() {
  return {
      {"ApfNormalAndFine", fax_format::kApf,
       [](const ScratchDir& d, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1728, 90, 1), makeBitmap(1728, 60, 2)};
         return buildApf({{apfData(d, pages[0], false), 0x00}, {apfData(d, pages[1], false), 0x01}}, 2);
       },
       200, 100, "fax.apf"},
      {"ApfWideFine", fax_format::kApf,
       [](const ScratchDir& d, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(2048, 70, 3)};
         return buildApf({{apfData(d, pages[0], false), 0x03}}, 1);
       },
       200, 200, "wide.APF"},
      {"ApfRowWords", fax_format::kApf,
       [](const ScratchDir& d, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1728, 50, 4)};
         return buildApf({{apfData(d, pages[0], true), 0x04}}, 1);
       },
       200, 100, "rows.apf"},
      {"DcxThreePages", fax_format::kDcx,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1728, 40, 5), makeBitmap(1728, 30, 6), makeBitmap(2048, 20, 7)};
         return buildDcx({buildPcx(pages[0]), buildPcx(pages[1]), buildPcx(pages[2])});
       },
       200, 200, "pages.dcx"},
      {"DcxUnterminatedList", fax_format::kDcx,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1728, 25, 8)};
         return buildDcx({buildPcx(pages[0])}, false);
       },
       200, 200, "short.DCX"},
      {"CalsG4", fax_format::kCals,
       [](const ScratchDir& d, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1728, 80, 9)};
         return buildCals(joined(codePage(d, pages[0], COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB)),
                          "001728,000080", "0300");
       },
       300, 300, "page.cal"},
      {"EdG4", fax_format::kEd,
       [](const ScratchDir& d, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(2592, 60, 10)};
         return buildEd(joined(codePage(d, pages[0], COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB)),
                        2592, 60, 300);
       },
       300, 300, "scan.ed"},
      {"BmpBottomUpBlackFirst", fax_format::kBmp,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1700, 33, 11)};
         return buildBmp(pages[0]);
       },
       200, 200, "bottom.bmp"},
      {"BmpTopDownWhiteFirst", fax_format::kBmp,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1000, 21, 12)};
         return buildBmp(pages[0], {.topDown = true, .whiteFirst = true});
       },
       200, 200, "top.BMP"},
      {"BmpOs2Header", fax_format::kBmp,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(435, 17, 13)};
         return buildBmp(pages[0], {.whiteFirst = true, .coreHeader = true});
       },
       200, 200, "os2.bmp"},
      {"BmpCentimetres", fax_format::kBmp,
       [](const ScratchDir&, std::vector<Bitmap>& pages) {
         pages = {makeBitmap(1701, 40, 14)};
         return buildBmp(pages[0], {.pixelsPerMetre = 7874});
       },
       78, 78, "cm.bmp", true},
  };
}

}  // namespace tarnwell::testing
