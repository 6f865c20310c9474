#include "pdfout/copy/tiff_copy_strategies.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pdfout/tiffio/messages.h"
#include "pdfout/tiffio/tiff_io.h"
#include "pdfout/copy/tiff_copy_whole.h"

namespace tarnwell {

namespace {

uint32_t planesOf(const ImageShape& shape) {
  return shape.inputPlanar == PLANARCONFIG_SEPARATE ? shape.samplesPerPixel : 1u;
}

// Strips to strips with the same rows per strip: every strip is decoded and encoded as the
// same strip, one libtiff decode and encode per strip.
bool copyStrips(TIFF* in, TIFF* out, const ImageShape& shape, uint32_t rowsPerStrip) {
  const tmsize_t stripSize = TIFFStripSize(in);
  if (!usableBufferSize(in, stripSize)) return false;
  const uint32_t stripsPerPlane =
      static_cast<uint32_t>((uint64_t{shape.length} + rowsPerStrip - 1) / rowsPerStrip);
  const uint64_t strips = uint64_t{stripsPerPlane} * planesOf(shape);
  if (strips != TIFFNumberOfStrips(in) || strips != TIFFNumberOfStrips(out)) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(stripSize));
  for (uint32_t strip = 0; strip < strips; ++strip) {
    const uint32_t firstRow = (strip % stripsPerPlane) * rowsPerStrip;
    const uint32_t rows = std::min(rowsPerStrip, shape.length - firstRow);
    const tmsize_t size = TIFFVStripSize(in, rows);
    if (size <= 0 || size > stripSize) return false;
    std::memset(buffer.data(), 0, static_cast<size_t>(size));
    (void)TIFFReadEncodedStrip(in, strip, buffer.data(), size);  // errors leave zeros
    if (TIFFWriteEncodedStrip(out, strip, buffer.data(), size) < 0) return false;
  }
  return true;
}

// Strips to strips with different rows per strip: scanline by scanline, plane by plane.
bool copyRows(TIFF* in, TIFF* out, const ImageShape& shape) {
  const tmsize_t lineSize = TIFFScanlineSize(in);
  if (!usableBufferSize(in, lineSize) || lineSize != TIFFScanlineSize(out)) return false;
  // libtiff holds a whole output strip while encoding it.
  if (!usableBufferSize(in, TIFFStripSize(out))) return false;
  std::vector<uint8_t> line(static_cast<size_t>(lineSize));
  for (uint32_t plane = 0; plane < planesOf(shape); ++plane) {
    for (uint32_t row = 0; row < shape.length; ++row) {
      std::fill(line.begin(), line.end(), uint8_t{0});
      (void)TIFFReadScanline(in, line.data(), row, static_cast<uint16_t>(plane));
      if (TIFFWriteScanline(out, line.data(), row, static_cast<uint16_t>(plane)) < 0) return false;
    }
  }
  return true;
}

// Tiles to tiles of the same size: every tile is decoded and encoded as the same tile.
bool copyTiles(TIFF* in, TIFF* out) {
  const tmsize_t tileSize = TIFFTileSize(in);
  if (!usableBufferSize(in, tileSize) || tileSize != TIFFTileSize(out)) return false;
  const uint32_t tiles = TIFFNumberOfTiles(in);
  if (tiles != TIFFNumberOfTiles(out)) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(tileSize));
  for (uint32_t tile = 0; tile < tiles; ++tile) {
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    (void)TIFFReadEncodedTile(in, tile, buffer.data(), tileSize);
    if (TIFFWriteEncodedTile(out, tile, buffer.data(), tileSize) < 0) return false;
  }
  return true;
}

bool sameTileSize(TIFF* in, TIFF* out) {
  uint32_t inWidth = 0, inLength = 0, outWidth = 0, outLength = 0;
  TIFFGetField(in, TIFFTAG_TILEWIDTH, &inWidth);
  TIFFGetField(in, TIFFTAG_TILELENGTH, &inLength);
  TIFFGetField(out, TIFFTAG_TILEWIDTH, &outWidth);
  TIFFGetField(out, TIFFTAG_TILELENGTH, &outLength);
  return inWidth == outWidth && inLength == outLength;
}

}  // namespace

bool copyImageData(TIFF* in, TIFF* out, const ImageShape& shape, const char* sourceName) {
  if (shape.width == 0 || shape.length == 0 || shape.samplesPerPixel == 0 ||
      shape.bitsPerSample == 0) {
    TIFFError(kPdfModule, "%s: Don't know how to copy/convert image", sourceName);
    return false;
  }
  // However it is copied, strip by strip or line by line, a page is never larger than the
  // source's bytes could hold: the PDF writer needs it whole, and a header's word alone would
  // otherwise cost gigabytes of output.
  const uint64_t rowBytes = static_cast<uint64_t>(TIFFScanlineSize64(in));
  const uint64_t planes = planesOf(shape);
  const uint64_t budget = pageBufferBudget(in);
  if (rowBytes == 0 || rowBytes > budget / shape.length / planes) {
    TIFFError(kPdfModule, "%s: Don't know how to copy/convert image", sourceName);
    return false;
  }
  if (shape.inputPlanar != shape.outputPlanar) {
    // The output always takes the source's planar configuration; anything else is refused.
    TIFFError(kPdfModule, "%s: Don't know how to copy/convert image", sourceName);
    return false;
  }
  if (!shape.inputTiled && !shape.outputTiled) {
    uint32_t inRows = 0, outRows = 0;
    TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &inRows);
    TIFFGetFieldDefaulted(out, TIFFTAG_ROWSPERSTRIP, &outRows);
    inRows = std::min(inRows, shape.length);
    outRows = std::min(outRows, shape.length);
    if (inRows != 0 && inRows == outRows) return copyStrips(in, out, shape, inRows);
    return copyRows(in, out, shape);
  }
  if (shape.inputTiled && shape.outputTiled && sameTileSize(in, out)) return copyTiles(in, out);
  return copyWholeImage(in, out, shape, sourceName);
}

}  // namespace tarnwell
