#include "pdfout/copy/tiff_copy_whole.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "pdfout/tiffio/messages.h"
#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {

namespace {

// The decoded image: `planes` planes of `length` rows of `rowBytes` bytes each.
struct PlaneImage {
  uint32_t planes = 1;
  uint32_t length = 0;
  uint64_t bitsPerPixel = 0;  // per plane
  size_t rowBytes = 0;
  uint64_t budget = 0;  // largest buffer for this page of the source
  std::vector<uint8_t> data;

  uint8_t* row(uint32_t plane, uint32_t y) {
    return data.data() + (static_cast<size_t>(plane) * length + y) * rowBytes;
  }
};

// Copies `count` bits one at a time, highest bit first.
void copyBitByBit(std::span<uint8_t> dst, uint64_t dstBit, std::span<const uint8_t> src,
                  uint64_t srcBit, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t s = srcBit + i, d = dstBit + i;
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (d % 8));
    if (src[s / 8] & (0x80u >> (s % 8))) {
      dst[d / 8] |= mask;
    } else {
      dst[d / 8] &= static_cast<uint8_t>(~mask);
    }
  }
}

// Copies `bits` bits from src (starting at bit srcBit) to dst (at bit dstBit), highest bit
// first. Both spans must hold the bits; callers check that. Tile columns of an odd width start
// inside bytes, so the bits up to dst's next byte boundary go one at a time and the rest a
// whole dst byte at a time, each made of two neighbouring src bytes.
void copyBits(std::span<uint8_t> dst, uint64_t dstBit, std::span<const uint8_t> src,
              uint64_t srcBit, uint64_t bits) {
  const uint64_t lead = std::min<uint64_t>(bits, (8 - dstBit % 8) % 8);
  copyBitByBit(dst, dstBit, src, srcBit, lead);
  dstBit += lead;
  srcBit += lead;
  bits -= lead;
  const size_t whole = static_cast<size_t>(bits / 8);
  uint8_t* out = dst.data() + dstBit / 8;
  const size_t from = static_cast<size_t>(srcBit / 8);
  const unsigned shift = static_cast<unsigned>(srcBit % 8);
  if (shift == 0) {
    std::memcpy(out, src.data() + from, whole);
  } else {
    // Each byte made here takes 8 - shift bits from src[from + k] and shift bits from the
    // next byte; both lie inside the bits being copied.
    for (size_t k = 0; k < whole; ++k) {
      out[k] = static_cast<uint8_t>((src[from + k] << shift) | (src[from + k + 1] >> (8 - shift)));
    }
  }
  dstBit += uint64_t{whole} * 8;
  srcBit += uint64_t{whole} * 8;
  copyBitByBit(dst, dstBit, src, srcBit, bits - uint64_t{whole} * 8);
}

bool allocate(PlaneImage& image, const ImageShape& shape, uint64_t budget) {
  image.budget = budget;
  image.planes = shape.inputPlanar == PLANARCONFIG_SEPARATE ? shape.samplesPerPixel : 1u;
  image.length = shape.length;
  image.bitsPerPixel =
      uint64_t{shape.bitsPerSample} * (image.planes == 1 ? shape.samplesPerPixel : 1u);
  const uint64_t rowBytes = (uint64_t{shape.width} * image.bitsPerPixel + 7) / 8;
  if (rowBytes == 0 || rowBytes > budget) return false;
  const uint64_t total = rowBytes * shape.length * image.planes;  // each factor below 2^32
  if (total / image.planes / shape.length != rowBytes || total > budget) return false;
  image.rowBytes = static_cast<size_t>(rowBytes);
  image.data.assign(static_cast<size_t>(total), 0);
  return true;
}

uint32_t rowsPerStripOf(TIFF* tiff, uint32_t length) {
  uint32_t rows = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows);
  return std::min(rows, length);
}

// Calls strip(number, rows of the plane image, byte count) for every strip of the image, plane
// by plane, stopping at the first false. False also when the strip layout does not fit the image.
template <typename StripFn>
bool forEachStrip(TIFF* tiff, PlaneImage& image, StripFn strip) {
  const uint32_t rowsPerStrip = rowsPerStripOf(tiff, image.length);
  if (rowsPerStrip == 0 || TIFFScanlineSize(tiff) != static_cast<tmsize_t>(image.rowBytes))
    return false;
  const uint32_t stripsPerPlane = (image.length + rowsPerStrip - 1) / rowsPerStrip;
  for (uint32_t plane = 0; plane < image.planes; ++plane) {
    for (uint32_t k = 0; k < stripsPerPlane; ++k) {
      const uint32_t y = k * rowsPerStrip;
      const uint32_t rows = std::min(rowsPerStrip, image.length - y);
      if (!strip(plane * stripsPerPlane + k, image.row(plane, y),
                 static_cast<tmsize_t>(rows * image.rowBytes))) {
        return false;
      }
    }
  }
  return true;
}

// Read errors leave the buffer's zeros in place and the copy goes on.
bool readStrips(TIFF* in, PlaneImage& image) {
  return forEachStrip(in, image, [in](uint32_t number, uint8_t* data, tmsize_t size) {
    (void)TIFFReadEncodedStrip(in, number, data, size);
    return true;
  });
}

bool writeStrips(TIFF* out, PlaneImage& image) {
  return forEachStrip(out, image, [out](uint32_t number, uint8_t* data, tmsize_t size) {
    return TIFFWriteEncodedStrip(out, number, data, size) >= 0;
  });
}

// The tile grid of one side, with its buffer.
struct TileGrid {
  uint32_t width = 0, length = 0;
  size_t rowBytes = 0;
  std::vector<uint8_t> buffer;
};

bool prepareTiles(TIFF* tiff, const PlaneImage& image, uint32_t width, TileGrid& grid) {
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &grid.width);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &grid.length);
  const tmsize_t size = TIFFTileSize(tiff);
  if (grid.width == 0 || grid.length == 0 || size <= 0 ||
      static_cast<uint64_t>(size) > image.budget)
    return false;
  // The whole grid, padding included, is held to the page's budget too: an image of one row in
  // tiles of 256 rows would otherwise be read or written at 256 times its own size.
  const uint64_t across = (uint64_t{width} + grid.width - 1) / grid.width;
  const uint64_t down = (uint64_t{image.length} + grid.length - 1) / grid.length;
  if (across * down > image.budget / static_cast<uint64_t>(size) / std::max(image.planes, 1u)) {
    return false;
  }
  const uint64_t rowBytes = (uint64_t{grid.width} * image.bitsPerPixel + 7) / 8;
  if (TIFFTileRowSize(tiff) != static_cast<tmsize_t>(rowBytes) ||
      rowBytes * grid.length > static_cast<uint64_t>(size)) {
    return false;
  }
  grid.rowBytes = static_cast<size_t>(rowBytes);
  grid.buffer.assign(static_cast<size_t>(size), 0);
  return true;
}

// Visits every tile position of one plane's grid with the pixel box it covers in the image.
template <typename Visit>
bool forEachTile(const TileGrid& grid, uint32_t width, uint32_t length, Visit visit) {
  for (uint32_t y = 0; y < length; y += grid.length) {
    for (uint32_t x = 0; x < width; x += grid.width) {
      const uint32_t columns = std::min(grid.width, width - x);
      const uint32_t rows = std::min(grid.length, length - y);
      if (!visit(x, y, columns, rows)) return false;
      if (width - x <= grid.width) break;
    }
    if (length - y <= grid.length) break;
  }
  return true;
}

bool readTiles(TIFF* in, PlaneImage& image, uint32_t width) {
  TileGrid grid;
  if (!prepareTiles(in, image, width, grid)) return false;
  for (uint32_t plane = 0; plane < image.planes; ++plane) {
    forEachTile(grid, width, image.length,
                [&](uint32_t x, uint32_t y, uint32_t columns, uint32_t rows) {
                  std::fill(grid.buffer.begin(), grid.buffer.end(), uint8_t{0});
                  (void)TIFFReadTile(in, grid.buffer.data(), x, y, 0, static_cast<uint16_t>(plane));
                  for (uint32_t r = 0; r < rows; ++r) {
                    copyBits({image.row(plane, y + r), image.rowBytes}, x * image.bitsPerPixel,
                             {grid.buffer.data() + r * grid.rowBytes, grid.rowBytes}, 0,
                             columns * image.bitsPerPixel);
                  }
                  return true;
                });
  }
  return true;
}

bool writeTiles(TIFF* out, PlaneImage& image, uint32_t width) {
  TileGrid grid;
  if (!prepareTiles(out, image, width, grid)) return false;
  for (uint32_t plane = 0; plane < image.planes; ++plane) {
    const bool written = forEachTile(
        grid, width, image.length, [&](uint32_t x, uint32_t y, uint32_t columns, uint32_t rows) {
          std::fill(grid.buffer.begin(), grid.buffer.end(), uint8_t{0});
          for (uint32_t r = 0; r < rows; ++r) {
            copyBits({grid.buffer.data() + r * grid.rowBytes, grid.rowBytes}, 0,
                     {image.row(plane, y + r), image.rowBytes}, x * image.bitsPerPixel,
                     columns * image.bitsPerPixel);
          }
          return TIFFWriteTile(out, grid.buffer.data(), x, y, 0, static_cast<uint16_t>(plane)) >= 0;
        });
    if (!written) return false;
  }
  return true;
}

}  // namespace

bool copyWholeImage(TIFF* in, TIFF* out, const ImageShape& shape, const char* sourceName) {
  PlaneImage image;
  if (!allocate(image, shape, pageBufferBudget(in))) {
    TIFFError(kPdfModule, "%s: Don't know how to copy/convert image", sourceName);
    return false;
  }
  const bool read = shape.inputTiled ? readTiles(in, image, shape.width) : readStrips(in, image);
  if (!read) {
    TIFFError(kPdfModule, "%s: Don't know how to copy/convert image", sourceName);
    return false;
  }
  return shape.outputTiled ? writeTiles(out, image, shape.width) : writeStrips(out, image);
}

}  // namespace tarnwell
