#include "pdfout/pdf/t2p_image.h"

#include <algorithm>
#include <vector>

#include "pdfout/pdf/t2p_analysis.h"
#include "pdfout/pdf/t2p_encoder.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/pdf/t2p_samples.h"

namespace tarnwell {
namespace {

const char* fileName(TIFF* input) {
  const char* name = TIFFFileName(input);
  return name != nullptr ? name : "";
}


uint64_t writeRaw(t2p_context& ctx, TIFF* input, PdfSink& out, std::vector<uint8_t>& buffer,
                  const char* where) {
  if (ctx.page.fillOrder == FILLORDER_LSB2MSB) {
    TIFFReverseBits(buffer.data(), static_cast<tmsize_t>(buffer.size()));
  }
  const size_t written = out.write(buffer.data(), buffer.size());
  if (written != buffer.size()) {
    t2pError("Error writing encoded %s to output PDF %s", where, fileName(input));
    ctx.doc.error = 1;
  }
  return written;
}

uint64_t encode(t2p_context& ctx, TIFF* input, PdfSink& out, std::span<const uint8_t> samples,
                uint32_t width, uint32_t length, const char* where) {
  EncodeRequest request;
  request.width = width;
  request.length = length;
  request.bitsPerSample = t2p_output_bits(ctx);
  request.samplesPerPixel = t2p_output_samples(ctx);
  request.photometric = ctx.page.photometric;
  request.pdfCompression = ctx.page.pdfCompression;
  const uint64_t needed = t2p_row_bytes(width, request.bitsPerSample, request.samplesPerPixel) *
                          length;
  // Uncompressed data is the whole buffer; a narrower or shorter image takes what it covers.
  request.samples = samples.first(std::min<uint64_t>(needed, samples.size()));
  uint64_t written = 0;
  if (!t2p_encode_image(request, out, written)) {
    t2pError("Error writing encoded %s to output PDF %s", where, fileName(input));
    ctx.doc.error = 1;
  }
  return written;
}

// Reads the strips of separate planes and interleaves them into `buffer`.
void readSeparatePlanes(t2p_context& ctx, TIFF* input, std::vector<uint8_t>& buffer,
                        std::vector<uint8_t>& planes) {
  const unsigned spp = ctx.page.samplesPerPixel;
  const uint32_t stripsPerPlane = TIFFNumberOfStrips(input) / spp;
  const uint64_t stripSize = static_cast<uint64_t>(TIFFStripSize64(input));
  size_t position = 0;
  for (uint32_t r = 0; r < stripsPerPlane && position < buffer.size(); ++r) {
    std::fill(planes.begin(), planes.end(), 0);
    const uint64_t room = (buffer.size() - position) / spp;
    const uint64_t limit = std::min(stripSize, room);
    tmsize_t got = TIFFReadEncodedStrip(input, r, planes.data(), static_cast<tmsize_t>(limit));
    const uint64_t planeSize = got < 0 ? limit : static_cast<uint64_t>(got);
    for (unsigned k = 1; k < spp; ++k) {
      TIFFReadEncodedStrip(input, r + k * stripsPerPlane, planes.data() + k * planeSize,
                           static_cast<tmsize_t>(planeSize));
    }
    position += t2p_sample_planar_separate_to_contig(
        std::span(buffer).subspan(position), planes, static_cast<size_t>(planeSize), spp);
  }
}

// Replaces the buffer by the RGB samples of the libtiff RGBA raster of the page.
bool readYCbCr(t2p_context& ctx, TIFF* input, std::vector<uint8_t>& buffer) {
  const uint64_t pixels = uint64_t{ctx.page.width} * ctx.page.length;
  std::vector<uint8_t> raster;
  if (!t2p_allocate(ctx, raster, pixels * 4)) {
    t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image, %s",
             static_cast<unsigned long long>(pixels * 4), fileName(input));
    return false;
  }
  if (TIFFReadRGBAImageOriented(input, ctx.page.width, ctx.page.length,
                                reinterpret_cast<uint32_t*>(raster.data()), ORIENTATION_TOPLEFT,
                                0) == 0) {
    t2pError("Can't use TIFFReadRGBAImageOriented to extract RGB image from %s",
             fileName(input));
    return false;
  }
  raster.resize(t2p_sample_abgr_to_rgb(raster, pixels));
  buffer.swap(raster);
  return true;
}

// Applies the RGBA and Lab conversions to `pixels` pixels.
void convertSamples(const t2p_context& ctx, std::vector<uint8_t>& buffer, uint64_t pixels) {
  if (ctx.page.sampleConversion & kConvRgbaToRgb) {
    buffer.resize(t2p_sample_rgba_to_rgb(buffer, pixels));
  }
  if (ctx.page.sampleConversion & kConvAssocAlphaToRgb) {
    buffer.resize(t2p_sample_rgbaa_to_rgb(buffer, pixels));
  }
  if (ctx.page.sampleConversion & kConvLabSignedToUnsigned) {
    buffer.resize(t2p_sample_lab_signed_to_unsigned(buffer, pixels));
  }
}

// Makes the CMYK samples of an archival page RGB (rows of `width` pixels); false when the RGB
// buffer cannot be allocated.
bool convertCmyk(t2p_context& ctx, TIFF* input, std::vector<uint8_t>& buffer, uint32_t width,
                 uint32_t rows) {
  if ((ctx.page.sampleConversion & kConvCmykToRgb) == 0) return true;
  const bool inverted = (ctx.page.sampleConversion & kConvInvertCmyk) != 0;
  if (ctx.page.bitsPerSample == 8) {
    buffer.resize(t2p_sample_cmyk_to_rgb(buffer, buffer, width, rows, 8, inverted));
    return true;
  }
  std::vector<uint8_t> rgb;
  if (!t2p_allocate(ctx, rgb, uint64_t{width} * rows * 3)) {
    t2pError("Can't allocate %llu bytes of memory for the RGB samples of %s",
             static_cast<unsigned long long>(uint64_t{width} * rows * 3), fileName(input));
    ctx.doc.error = 1;
    return false;
  }
  rgb.resize(t2p_sample_cmyk_to_rgb(buffer, rgb, width, rows, ctx.page.bitsPerSample, inverted));
  buffer.swap(rgb);
  return true;
}

}  // namespace

uint16_t t2p_output_samples(const t2p_context& ctx) {
  if (ctx.page.sampleConversion &
      (kConvRgbaToRgb | kConvAssocAlphaToRgb | kConvYCbCrToRgb | kConvCmykToRgb))
    return 3;
  return ctx.page.samplesPerPixel;
}

uint16_t t2p_output_bits(const t2p_context& ctx) {
  return (ctx.page.sampleConversion & kConvCmykToRgb) != 0 ? 8 : ctx.page.bitsPerSample;
}

uint64_t t2p_readwrite_pdf_image(t2p_context& ctx, TIFF* input, PdfSink& out) {
  std::vector<uint8_t> buffer;
  if (ctx.page.transcode == kTranscodeRaw && ctx.page.pdfCompression == kPdfCompressionG4) {
    if (!t2p_allocate(ctx, buffer, ctx.page.dataSize)) {
      t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image, %s",
               static_cast<unsigned long long>(ctx.page.dataSize), fileName(input));
      ctx.doc.error = 1;
      return 0;
    }
    if (TIFFReadRawStrip(input, 0, buffer.data(), static_cast<tmsize_t>(buffer.size())) ==
        static_cast<tmsize_t>(buffer.size())) {
      return writeRaw(ctx, input, out, buffer, "strip");
    }
    // A strip that cannot be copied whole is decoded like any other, keeping what decodes.
    t2pWarning("Can't copy strip 0 of %s, decoding it", fileName(input));
    ctx.page.transcode = kTranscodeDecode;
    t2p_read_tiff_size(ctx, input);
    if (ctx.doc.error != 0) return 0;
  }
  if (!t2p_allocate(ctx, buffer, ctx.page.dataSize)) {
    t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image, %s",
             static_cast<unsigned long long>(ctx.page.dataSize), fileName(input));
    ctx.doc.error = 1;
    return 0;
  }
  if (ctx.page.sampleConversion & kConvPlanarToContig) {
    std::vector<uint8_t> planes;
    const uint64_t stripSize = static_cast<uint64_t>(TIFFStripSize64(input));
    if (!t2p_allocate(ctx, planes, stripSize * ctx.page.samplesPerPixel)) {
      t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image, %s",
               static_cast<unsigned long long>(stripSize * ctx.page.samplesPerPixel),
               fileName(input));
      ctx.doc.error = 1;
      return 0;
    }
    readSeparatePlanes(ctx, input, buffer, planes);
  } else if (ctx.page.sampleConversion & kConvYCbCrToRgb) {
    if (!readYCbCr(ctx, input, buffer)) {
      ctx.doc.error = 1;
      return 0;
    }
  } else {
    // A strip that does not decode leaves its area zero and the page is still written.
    const uint64_t stripSize = static_cast<uint64_t>(TIFFStripSize64(input));
    const uint32_t strips = TIFFNumberOfStrips(input);
    uint64_t position = 0;
    for (uint32_t s = 0; s < strips && position < buffer.size(); ++s) {
      const uint64_t limit = std::min<uint64_t>(stripSize, buffer.size() - position);
      const tmsize_t got = TIFFReadEncodedStrip(input, s, buffer.data() + position,
                                                static_cast<tmsize_t>(limit));
      position += got < 0 ? stripSize : static_cast<uint64_t>(got);
    }
    convertSamples(ctx, buffer, uint64_t{ctx.page.width} * ctx.page.length);
  }
  if (!convertCmyk(ctx, input, buffer, ctx.page.width, ctx.page.length)) return 0;
  return encode(ctx, input, out, buffer, ctx.page.width, ctx.page.length, "strip");
}

uint64_t t2p_readwrite_pdf_image_tile(t2p_context& ctx, TIFF* input, PdfSink& out,
                                      uint32_t tile) {
  const TileGrid& grid = ctx.doc.tiff_tiles[ctx.doc.currentPage];
  const bool right = t2p_tile_is_right_edge(grid, tile);
  const bool bottom = t2p_tile_is_bottom_edge(grid, tile);
  std::vector<uint8_t> buffer;
  if (!t2p_allocate(ctx, buffer, ctx.page.dataSize)) {
    t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image_tile, %s",
             static_cast<unsigned long long>(ctx.page.dataSize), fileName(input));
    ctx.doc.error = 1;
    return 0;
  }
  if (ctx.page.transcode == kTranscodeRaw && ctx.page.pdfCompression == kPdfCompressionG4 &&
      !right && !bottom) {
    if (TIFFReadRawTile(input, tile, buffer.data(), static_cast<tmsize_t>(buffer.size())) !=
        static_cast<tmsize_t>(buffer.size())) {
      t2pError("Error on decoding tile %u of %s", tile, fileName(input));
      ctx.doc.error = 1;
      return 0;
    }
    return writeRaw(ctx, input, out, buffer, "tile");
  }
  const uint64_t tileSize = static_cast<uint64_t>(TIFFTileSize64(input));
  bool decoded = true;
  if (ctx.page.sampleConversion & kConvPlanarToContig) {
    const unsigned spp = ctx.page.samplesPerPixel;
    const uint32_t tilesPerPlane = TIFFNumberOfTiles(input) / spp;
    std::vector<uint8_t> planes;
    if (!t2p_allocate(ctx, planes, tileSize * spp)) {
      t2pError("Can't allocate %llu bytes of memory for t2p_readwrite_pdf_image_tile, %s",
               static_cast<unsigned long long>(tileSize * spp), fileName(input));
      ctx.doc.error = 1;
      return 0;
    }
    for (unsigned k = 0; k < spp && decoded; ++k) {
      decoded = TIFFReadEncodedTile(input, tile + k * tilesPerPlane, planes.data() + k * tileSize,
                                    static_cast<tmsize_t>(tileSize)) >= 0;
    }
    t2p_sample_planar_separate_to_contig(buffer, planes, static_cast<size_t>(tileSize), spp);
  } else if (ctx.page.sampleConversion & kConvYCbCrToRgb) {
    t2pError("No support for YCbCr to RGB in tile for %s", fileName(input));
    ctx.doc.error = 1;
    return 0;
  } else {
    decoded =
        TIFFReadEncodedTile(input, tile, buffer.data(),
                            static_cast<tmsize_t>(std::min(tileSize, ctx.page.dataSize))) >= 0;
    convertSamples(ctx, buffer, uint64_t{grid.tileWidth} * grid.tileLength);
  }
  if (!decoded) {
    t2pError("Error on decoding tile %u of %s", tile, fileName(input));
    ctx.doc.error = 1;
    return 0;
  }
  if (!convertCmyk(ctx, input, buffer, grid.tileWidth, grid.tileLength)) return 0;
  const uint32_t width = right ? grid.edgeWidth : grid.tileWidth;
  const uint32_t length = bottom ? grid.edgeLength : grid.tileLength;
  if (right) {
    // Keep the covered part of each row, rows packed together. Partial bytes are kept whole.
    const uint16_t spp = t2p_output_samples(ctx);
    const uint64_t fullRow = t2p_row_bytes(grid.tileWidth, t2p_output_bits(ctx), spp);
    const uint64_t keptRow = t2p_row_bytes(width, t2p_output_bits(ctx), spp);
    for (uint64_t row = 1; row < grid.tileLength; ++row) {
      if ((row + 1) * fullRow > buffer.size()) break;
      std::copy_n(buffer.begin() + static_cast<ptrdiff_t>(row * fullRow), keptRow,
                  buffer.begin() + static_cast<ptrdiff_t>(row * keptRow));
    }
  }
  return encode(ctx, input, out, buffer, width, length, "tile");
}

}  // namespace tarnwell
