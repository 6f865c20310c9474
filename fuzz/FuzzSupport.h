#pragma once

// What the fuzz targets share: their scratch directory and the page limits they describe under.
//
// The working directory of a fuzz target: made once per process and reused by every input, on
// /dev/shm (memory) when the machine has it, else in the temporary directory. The files a target
// writes there never touch a disk, and the directory goes away when the process ends normally.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "faxin/readers/BmpReader.h"
#include "faxin/readers/ByteFields.h"
#include "faxin/readers/CalsReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/EdReader.h"
#include "faxin/tiff/TiffDirectory.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell::fuzz {

// Page descriptions in the targets: at most 8192 pixels wide and 64 KiB of bitmap (about 300
// rows of a fax page). An input of a few kilobytes can declare, or really code, a page
// of a hundred megabytes; decoding that much on every run would leave the fuzzer a few runs a
// second. A page past these limits takes the same refusing or cutting path as one past the
// engine's own limits, so no branch is hidden.
inline constexpr DescribeLimits kDescribeLimits{8192, std::size_t{64} * 1024};

// What the pages of a file declare, uncoded: the largest page and all pages together.
struct DeclaredPages {
  uint64_t largest = 0;
  uint64_t total = 0;
  uint64_t mostTiles = 0;  // tiles of the page with the most
  uint64_t rows = 0;       // rows of all pages
  uint64_t count = 0;      // pages

  void add(uint64_t bytes, uint64_t pageRows) {
    ++count;
    largest = std::max(largest, bytes);
    total = bytes > UINT64_MAX - total ? UINT64_MAX : total + bytes;
    rows = pageRows > UINT64_MAX - rows ? UINT64_MAX : rows + pageRows;
  }
};

// The pages a TIFF declares, as the engine's own TIFF view reads its directories; none for bytes
// that view does not take as a TIFF. The copy and the PDF writer let any file have pages of up to
// 32 MiB, which a header of a hundred bytes can declare: every run of such an input decodes,
// encodes and writes that much.
inline DeclaredPages declaredTiffPages(std::span<const uint8_t> data) {
  DeclaredPages pages;
  TiffView view(data);
  TiffHeader header;
  if (view.readHeader(header) != 0) return pages;
  std::vector<TiffEntry> entries;
  for (uint32_t position : view.walkChain(header.firstDirectory)) {
    uint32_t next = 0;
    // A directory whose link to the next lies past the end still holds its entries (-5), and
    // libtiff reads such a last directory.
    const int read = view.readDirectory(position, entries, next);
    if (read < 0 && read != -5) break;
    // Width, length, BitsPerSample, SamplesPerPixel and the tile size, each the largest of its
    // entries: libtiff takes the first of two entries of a tag, the fax view the last.
    uint64_t width = 0, length = 0, bitsPerSample = 1, samples = 1, tileWidth = 0, tileLength = 0;
    for (const TiffEntry& entry : entries) {
      const uint64_t value = view.scalar(entry);
      switch (entry.tag) {
        case 256: width = std::max(width, value); break;
        case 257: length = std::max(length, value); break;
        case 258: bitsPerSample = std::max(bitsPerSample, value); break;
        case 277: samples = std::max(samples, value); break;
        case 322: tileWidth = std::max(tileWidth, value); break;
        case 323: tileLength = std::max(tileLength, value); break;
        default: break;
      }
    }
    // A tiled page is held as its whole grid of tiles, padding included, and the PDF gets one
    // image per tile. A missing tile length counts as one row.
    if (tileWidth > 0) {
      tileLength = std::max<uint64_t>(tileLength, 1);
      const uint64_t across = (width + tileWidth - 1) / tileWidth;
      const uint64_t down = (length + tileLength - 1) / tileLength;
      width = across * tileWidth;
      length = down * tileLength;
      pages.mostTiles = std::max(pages.mostTiles, across * down);
    }
    // Each factor is below 2^34, so the product fits in 128 bits.
    const unsigned __int128 bits =
        static_cast<unsigned __int128>(width) * length * bitsPerSample * samples;
    const unsigned __int128 bytes = bits / 8;
    pages.add(bytes > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(bytes), length);
  }
  return pages;
}

// The pages a DCX table lists, by their PCX headers as the engine reads them; none for bytes
// without the DCX signature. PCX rows that end early are padded, so a header can declare a page
// of megabytes with no data behind it, and a table of a few bytes can list it many times.
inline DeclaredPages declaredDcxPages(std::span<const uint8_t> data) {
  DeclaredPages pages;
  const ByteFields fields(data);
  uint32_t value = 0;
  if (!fields.u32le(0, value) || value != DcxReader::kMagic) return pages;
  for (std::size_t listed = 0; listed < FaxReader::kMaxPages; ++listed) {
    uint32_t position = 0;
    if (!fields.u32le(4 + 4 * listed, position) || position == 0) break;
    PcxPageLayout layout;
    if (position < data.size() && readPcxLayout(data.subspan(position), layout)) {
      pages.add(uint64_t{layout.rowSize} * static_cast<uint64_t>(layout.rows),
                static_cast<uint64_t>(layout.rows));
    }
  }
  return pages;
}

// The page a CALS or an ED header declares; none for other bytes. Both readers write the page's
// coded bytes with the declared size, so a few bytes of blank Group 4 data become a page of
// that size in the copy and the PDF.
inline DeclaredPages declaredSingleT6Page(std::span<const uint8_t> data) {
  DeclaredPages pages;
  uint32_t width = 0, rows = 0;
  if (data.size() >= CalsReader::kHeaderSize &&
      calsPelCount(data.first(CalsReader::kHeaderSize), width, rows)) {
    pages.add((uint64_t{width} + 7) / 8 * rows, rows);
  }
  const ByteFields fields(data);
  if (fields.matches(0, std::string_view("\xFF\xFF\x00\x01", 4)) &&
      fields.u32be(EdReader::kRowsField, rows) && fields.u32be(EdReader::kWidthField, width)) {
    pages.add((uint64_t{width} + 7) / 8 * rows, rows);
  }
  return pages;
}

// The page a BMP header declares (a 12-byte OS/2 header or a longer information header); none for
// other bytes. Rows the file does not hold are white, so 100 bytes can declare a page of 8 x
// 16,777,230 pixels, which the engine takes whole.
inline DeclaredPages declaredBmpPage(std::span<const uint8_t> data) {
  DeclaredPages pages;
  const ByteFields fields(data);
  uint32_t headerSize = 0;
  if (!fields.matches(0, "BM") || !fields.u32le(BmpReader::kFileHeaderSize, headerSize)) {
    return pages;
  }
  uint64_t width = 0, rows = 0;
  if (headerSize == BmpReader::kCoreHeaderSize) {
    uint16_t w = 0, h = 0;
    if (!fields.u16le(18, w) || !fields.u16le(20, h)) return pages;
    width = w;
    rows = h;
  } else {
    uint32_t w = 0, h = 0;
    if (!fields.u32le(18, w) || !fields.u32le(22, h)) return pages;
    // Both are signed; a negative height stores the top row first.
    width = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(w))));
    rows = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(h))));
  }
  pages.add((width + 31) / 32 * 4 * rows, rows);
  return pages;
}

// Inputs whose pages are larger than this, or together larger than kMaxDeclaredDocument, are
// left to the unit tests of the engine's, the copy's and the writer's budgets: the code they run
// is the same as for pages within these sizes, only longer. 64 KiB is the readers' bitmap limit
// in the targets (kDescribeLimits), about 300 rows of a fax page.
inline constexpr uint64_t kMaxDeclaredPage = uint64_t{64} << 10;
inline constexpr uint64_t kMaxDeclaredDocument = uint64_t{1} << 20;
// Tiles of one page: the copy reads and writes each tile on its own and the PDF writer makes each
// an image of its own, about 50 microseconds per tile in the targets. A fax page in 256 x 256
// tiles has about 60.
inline constexpr uint64_t kMaxDeclaredTiles = 64;
// Rows of all pages together: every stage works row by row, so narrow pages of many rows cost far
// more than their bytes say (a DCX table listing one 1-pixel-wide page of 4,097 rows 114 times
// took a second a run). 1 MiB of 1728-pixel rows is about 4,900 rows.
inline constexpr uint64_t kMaxDeclaredRows = 8192;
// Pages: each page is a directory of the working TIFFs and a page of the PDF, some milliseconds
// in the targets however small it is (a DCX table listing one page of 258 x 2 pixels 116 times
// took a quarter of a second).
inline constexpr uint64_t kMaxDeclaredPages = 32;

// True when the bytes, read as a TIFF, DCX, CALS, ED or BMP file, declare more than the targets
// decode: larger pages, or more tiles, rows or pages than the limits above.
inline bool declaresTooMuch(std::span<const uint8_t> data) {
  for (const DeclaredPages& pages : {declaredTiffPages(data), declaredDcxPages(data),
                                     declaredSingleT6Page(data), declaredBmpPage(data)}) {
    if (pages.largest > kMaxDeclaredPage || pages.total > kMaxDeclaredDocument ||
        pages.mostTiles > kMaxDeclaredTiles || pages.rows > kMaxDeclaredRows ||
        pages.count > kMaxDeclaredPages) {
      return true;
    }
  }
  return false;
}

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name) {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) {
      base = std::filesystem::temp_directory_path(ec);
      if (ec) base = "/tmp";
    }
    path_ = base / ("trwfuzz_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_, ec);
    prefix_ = path_.string() + "/";
  }
  ~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The path of `file` inside the directory.
  std::string file(const std::string& file) const { return prefix_ + file; }
  // The directory with a trailing separator.
  const std::string& prefix() const { return prefix_; }

 private:
  std::filesystem::path path_;
  std::string prefix_;
};

}  // namespace tarnwell::fuzz
