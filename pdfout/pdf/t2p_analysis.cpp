#include "pdfout/pdf/t2p_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "pdfout/pdf/t2p_colour_map.h"
#include "pdfout/pdf/t2p_geometry.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/tiffio/tiff_photometric.h"

namespace tarnwell {
namespace {

// Keeps the planned object count far from the 32-bit limit and from the sizes the
// cross-reference table can describe.
constexpr uint64_t kMaxObjects = 0x7FFFFFFFull;

const char* fileName(TIFF* input) {
  const char* name = TIFFFileName(input);
  return name != nullptr ? name : "";
}

void fail(t2p_context& ctx) { ctx.doc.error = 1; }

// Whether the selected directory is a page of the document.
bool isPage(TIFF* input) {
  uint16_t first = 0, second = 0;
  if (TIFFGetField(input, TIFFTAG_PAGENUMBER, &first, &second) != 0) return true;
  uint32_t subfile = 0;
  if (TIFFGetField(input, TIFFTAG_SUBFILETYPE, &subfile) != 0) {
    return (subfile & FILETYPE_PAGE) != 0 || subfile == 0;
  }
  uint16_t old = 0;
  if (TIFFGetField(input, TIFFTAG_OSUBFILETYPE, &old) != 0) {
    return old == 0 || old == 1 || old == 3;
  }
  return true;
}

// A palette object is planned exactly when the colour mapping builds a palette: photometric
// palette, or RGB or separated with Indexed = 1.
bool needsPaletteObject(TIFF* input) {
  uint16_t photometric = 0, indexed = 0;
  if (TIFFGetField(input, TIFFTAG_PHOTOMETRIC, &photometric) == 0) return false;
  if (photometric == PHOTOMETRIC_PALETTE) return true;
  return (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_SEPARATED) &&
         t2p_indexed_tag(input, &indexed) && indexed == 1;
}

bool hasIccProfile(const t2p_context& ctx, TIFF* input) {
  uint32_t length = 0;
  const uint8_t* data = nullptr;
  return t2p_page_icc_profile(ctx, input, length, data);
}

// Adds the objects of one page to the plan; false when the page cannot be planned.
bool planPage(t2p_context& ctx, TIFF* input, size_t index, uint64_t& objects) {
  PageEntry& page = ctx.doc.tiff_pages[index];
  TileGrid& grid = ctx.doc.tiff_tiles[index];
  uint32_t extra = 0;
  if (needsPaletteObject(input)) ++extra;
  const uint16_t* tables[3] = {};
  const uint16_t transfers = t2p_page_transfer_tables(ctx, input, tables);
  if (transfers != 0) {
    extra += transfers == 1 ? 2 : 4;
    if (ctx.doc.pdfMinor < 2) ctx.doc.pdfMinor = 2;
  }
  if (hasIccProfile(ctx, input)) {
    ++extra;
    if (ctx.doc.pdfMinor < 3) ctx.doc.pdfMinor = 3;
  }
  objects += 5 + extra;
  page.extraObjects = extra;
  if (page.tileCount != 0) {
    uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetFieldDefaulted(input, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(input, TIFFTAG_SAMPLESPERPIXEL, &samples);
    uint32_t count = page.tileCount;
    if (planar == PLANARCONFIG_SEPARATE && samples > 1) count /= samples;
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(input, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(input, TIFFTAG_TILELENGTH, &tileLength);
    // The page and its grid must agree on the tile count: the page-tree references and the
    // objects written for the tiles are both derived from it.
    page.tileCount = count;
    grid.tileCount = count;
    grid.tileWidth = tileWidth;
    grid.tileLength = tileLength;
    if (count != 0) {
      objects += 2ull * count - 2;
      if (!t2p_allocate(ctx, grid.boxes, count)) {
        t2pError("Can't allocate %u bytes of memory for t2p_read_tiff_init, %s",
                 static_cast<unsigned>(static_cast<uint64_t>(count) * 52), fileName(input));
        return false;
      }
    }
  }
  return objects <= kMaxObjects;
}

// Steps up to the photometric interpretation; false when the image is refused.
bool readBasics(t2p_context& ctx, TIFF* input) {
  const char* name = fileName(input);
  uint32_t width = 0, length = 0;
  if (TIFFGetField(input, TIFFTAG_IMAGEWIDTH, &width) == 0 || width == 0) {
    t2pError("No support for %s with zero width", name);
    return false;
  }
  if (TIFFGetField(input, TIFFTAG_IMAGELENGTH, &length) == 0 || length == 0) {
    t2pError("No support for %s with zero length", name);
    return false;
  }
  ctx.page.width = width;
  ctx.page.length = length;
  if (TIFFGetField(input, TIFFTAG_COMPRESSION, &ctx.page.compression) == 0) {
    t2pError("No support for %s with no compression tag", name);
    return false;
  }
  if (TIFFIsCODECConfigured(ctx.page.compression) == 0) {
    t2pError("No support for %s with compression type %u:  not configured", name,
             ctx.page.compression);
    return false;
  }
  TIFFGetFieldDefaulted(input, TIFFTAG_BITSPERSAMPLE, &ctx.page.bitsPerSample);
  switch (ctx.page.bitsPerSample) {
    case 0:
      t2pWarning("Image %s has 0 bits per sample, assuming 1", name);
      ctx.page.bitsPerSample = 1;
      break;
    case 1: case 2: case 4: case 8:
      break;
    default:
      t2pError("No support for %s with %u bits per sample", name, ctx.page.bitsPerSample);
      return false;
  }
  TIFFGetFieldDefaulted(input, TIFFTAG_SAMPLESPERPIXEL, &ctx.page.samplesPerPixel);
  if (ctx.page.samplesPerPixel > 4) {
    t2pError("No support for %s with %u samples per pixel", name, ctx.page.samplesPerPixel);
    return false;
  }
  if (ctx.page.samplesPerPixel == 0) {
    t2pWarning("Image %s has 0 samples per pixel, assuming 1", name);
    ctx.page.samplesPerPixel = 1;
  }
  uint16_t format = 0;
  if (TIFFGetField(input, TIFFTAG_SAMPLEFORMAT, &format) != 0 && format != 0 &&
      format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID) {
    t2pError("No support for %s with sample format %u", name, format);
    return false;
  }
  TIFFGetFieldDefaulted(input, TIFFTAG_FILLORDER, &ctx.page.fillOrder);
  if (!tiff_read_photometric(input, ctx.page.photometric)) {
    t2pError("No support for %s with no photometric interpretation tag", name);
    return false;
  }
  return t2p_map_colour(ctx, input);
}

// Planar configuration, orientation and resolution; false when refused.
bool readLayout(t2p_context& ctx, TIFF* input) {
  const char* name = fileName(input);
  ctx.page.planarConfig = PLANARCONFIG_CONTIG;
  uint16_t planar = 0;
  if (TIFFGetField(input, TIFFTAG_PLANARCONFIG, &planar) != 0) {
    if (planar == 0) {
      t2pWarning("Image %s has planar configuration 0, assuming 1", name);
    } else if (planar == PLANARCONFIG_SEPARATE) {
      ctx.page.sampleConversion = kConvPlanarToContig;
      if (ctx.page.bitsPerSample != 8) {
        t2pError("No support for %s with separated planar configuration and %u bits per sample",
                 name, ctx.page.bitsPerSample);
        return false;
      }
      ctx.page.planarConfig = PLANARCONFIG_SEPARATE;
    } else if (planar != PLANARCONFIG_CONTIG) {
      t2pError("No support for %s with planar configuration %u", name, planar);
      return false;
    }
  }
  TIFFGetFieldDefaulted(input, TIFFTAG_ORIENTATION, &ctx.page.orientation);
  if (ctx.page.orientation > 8) {
    t2pWarning("Image %s has orientation %u, assuming 0", name, ctx.page.orientation);
    ctx.page.orientation = 0;
  }
  ctx.page.xres = 0;
  ctx.page.yres = 0;
  TIFFGetField(input, TIFFTAG_XRESOLUTION, &ctx.page.xres);
  TIFFGetField(input, TIFFTAG_YRESOLUTION, &ctx.page.yres);
  // A resolution that cannot size a page counts as absent.
  if (!std::isfinite(ctx.page.xres) || ctx.page.xres < 0) ctx.page.xres = 0;
  if (!std::isfinite(ctx.page.yres) || ctx.page.yres < 0) ctx.page.yres = 0;
  TIFFGetFieldDefaulted(input, TIFFTAG_RESOLUTIONUNIT, &ctx.page.resolutionUnit);
  if (ctx.page.resolutionUnit == RESUNIT_CENTIMETER) {
    ctx.page.xres *= 2.54f;
    ctx.page.yres *= 2.54f;
  }
  return true;
}

}  // namespace

uint16_t t2p_transfer_tables(TIFF* input, const uint16_t* tables[3]) {
  tables[0] = tables[1] = tables[2] = nullptr;
  uint16_t bits = 1;
  TIFFGetFieldDefaulted(input, TIFFTAG_BITSPERSAMPLE, &bits);
  if (bits < 1 || bits > 8) return 0;
  // libtiff hands out one table for single-channel images and three otherwise.
  uint16_t *first = nullptr, *second = nullptr, *third = nullptr;
  if (TIFFGetField(input, TIFFTAG_TRANSFERFUNCTION, &first, &second, &third) == 0 ||
      first == nullptr) {
    return 0;
  }
  tables[0] = tables[1] = tables[2] = first;
  if (second == nullptr || third == nullptr || second == first) return 1;
  tables[1] = second;
  tables[2] = third;
  return 3;
}

uint16_t t2p_page_transfer_tables(const t2p_context& ctx, TIFF* input,
                                  const uint16_t* tables[3]) {
  const uint16_t count = t2p_transfer_tables(input, tables);
  if (!ctx.options.pdfa) return count;
  tables[0] = tables[1] = tables[2] = nullptr;
  return 0;
}

namespace {

// Makes `directory` the current directory. libtiff's TIFFSetDirectory walks the chain from the
// first directory every time, which makes a pass over the pages of a long file quadratic; pages
// are visited in file order, so a directory ahead of the current one is reached by reading on
// from there. When that fails (a damaged directory in between that the walk skips over),
// TIFFSetDirectory decides.
bool goToDirectory(TIFF* input, tdir_t directory) {
  const tdir_t current = TIFFCurrentDirectory(input);
  if (current != static_cast<tdir_t>(-1) && directory > current &&
      directory - current <= 64) {
    tdir_t at = current;
    while (at < directory && TIFFReadDirectory(input) != 0) ++at;
    if (at == directory && TIFFCurrentDirectory(input) == directory) return true;
  }
  return TIFFSetDirectory(input, directory) != 0;
}

}  // namespace

void t2p_read_tiff_init(t2p_context& ctx, TIFF* input) {
  const char* name = fileName(input);
  const uint32_t directories = TIFFNumberOfDirectories(input);
  if (directories > 0xFFFF || !t2p_allocate(ctx, ctx.doc.tiff_pages, directories)) {
    t2pError("Can't allocate %u bytes of memory for tiff_pages array, %s",
             static_cast<unsigned>(directories * 16u), name);
    return fail(ctx);
  }
  if (!t2p_allocate(ctx, ctx.doc.tiff_tiles, directories)) {
    t2pError("Can't allocate %u bytes of memory for tiff_tiles array, %s",
             static_cast<unsigned>(directories * 32u), name);
    return fail(ctx);
  }
  ctx.doc.pageCount = 0;
  for (uint32_t d = 0; d < directories; ++d) {
    if (!goToDirectory(input, static_cast<tdir_t>(d))) {
      t2pError("Can't set directory %u of input file %s", d, name);
      return fail(ctx);
    }
    if (!isPage(input)) continue;
    PageEntry& page = ctx.doc.tiff_pages[ctx.doc.pageCount];
    page.directory = static_cast<uint16_t>(d);
    page.order = ctx.doc.pageCount;
    page.tileCount = TIFFIsTiled(input) ? TIFFNumberOfTiles(input) : 0;
    ++ctx.doc.pageCount;
  }
  // Rows are already in ascending, distinct key order: pages follow the file order.
  uint64_t objects = 3;
  for (uint16_t i = 0; i < ctx.doc.pageCount; ++i) {
    const uint16_t directory = ctx.doc.tiff_pages[i].directory;
    if (!goToDirectory(input, directory)) {
      t2pError("Can't set directory %u of input file %s", directory, name);
      return fail(ctx);
    }
    if (!planPage(ctx, input, i, objects)) return fail(ctx);
  }
  ctx.doc.objectCount = static_cast<uint32_t>(objects);
}

void t2p_read_tiff_image(t2p_context& ctx, TIFF* input) {
  ctx.page.transcode = kTranscodeDecode;
  ctx.page.sampleConversion = 0;
  ctx.page.switchDecode = 0;
  ctx.page.colorspaceFlags = 0;
  ctx.page.paletteSize = 0;
  ctx.page.palette.clear();
  ctx.page.transferCount = 0;
  if (ctx.doc.currentPage >= ctx.doc.pageCount) return fail(ctx);
  const uint16_t directory = ctx.doc.tiff_pages[ctx.doc.currentPage].directory;
  if (!goToDirectory(input, directory)) {
    t2pError("Can't set directory %u of input file %s", directory, fileName(input));
    return fail(ctx);
  }
  if (!readBasics(ctx, input) || !readLayout(ctx, input)) return fail(ctx);
  t2p_page_geometry(ctx);
  const bool tiled = ctx.doc.tiff_tiles[ctx.doc.currentPage].tileCount != 0;
  if (ctx.page.compression == COMPRESSION_CCITTFAX4 && (tiled || TIFFNumberOfStrips(input) == 1)) {
    ctx.page.transcode = kTranscodeRaw;
    ctx.page.pdfCompression = kPdfCompressionG4;
  } else {
    ctx.page.pdfCompression = kPdfCompressionNone;
  }
  ctx.page.transferCount = t2p_page_transfer_tables(ctx, input, ctx.page.transfer);
  t2p_read_calibration(ctx, input);
  if (ctx.page.bitsPerSample == 1 && ctx.page.samplesPerPixel == 1)
    ctx.page.pdfCompression = kPdfCompressionG4;
}

bool t2p_tile_is_right_edge(const TileGrid& grid, uint32_t tile) {
  return grid.tilesAcross != 0 && (uint64_t{tile} + 1) % grid.tilesAcross == 0 &&
         grid.edgeWidth != 0;
}

bool t2p_tile_is_bottom_edge(const TileGrid& grid, uint32_t tile) {
  return uint64_t{tile} + 1 >
             uint64_t{grid.tileCount} - std::min(grid.tileCount, grid.tilesAcross) &&
         grid.edgeLength != 0;
}

namespace {

void setDataSize(t2p_context& ctx, TIFF* input, uint64_t size, const char* what) {
  if (size == 0 || size > ctx.options.allocationLimit ||
      size > std::numeric_limits<uint32_t>::max()) {
    t2pError("Can't allocate %llu bytes of memory for %s, %s",
             static_cast<unsigned long long>(size), what, fileName(input));
    ctx.page.dataSize = 0;
    return fail(ctx);
  }
  ctx.page.dataSize = size;
}

}  // namespace

void t2p_read_tiff_size(t2p_context& ctx, TIFF* input) {
  uint64_t size = 0;
  if (ctx.page.transcode == kTranscodeRaw && ctx.page.pdfCompression == kPdfCompressionG4) {
    uint64_t* counts = nullptr;
    if (TIFFGetField(input, TIFFTAG_STRIPBYTECOUNTS, &counts) != 0 && counts != nullptr) {
      size = counts[0];
    }
    if (size != 0 && size <= ctx.options.allocationLimit) return setDataSize(ctx, input, size, "");
    // An empty or implausible byte count cannot be copied; the strip is decoded instead.
    ctx.page.transcode = kTranscodeDecode;
  }
  const uint64_t row = TIFFScanlineSize64(input);
  const uint64_t planes =
      ctx.page.planarConfig == PLANARCONFIG_SEPARATE ? ctx.page.samplesPerPixel : 1;
  size = 0;
  if (row != 0 && ctx.page.length <= UINT64_MAX / row / planes)
    size = row * ctx.page.length * planes;
  setDataSize(ctx, input, size, "t2p_readwrite_pdf_image");
}

void t2p_read_tiff_size_tile(t2p_context& ctx, TIFF* input, uint32_t tile) {
  const TileGrid& grid = ctx.doc.tiff_tiles[ctx.doc.currentPage];
  uint64_t size = 0;
  if (ctx.page.transcode == kTranscodeRaw && ctx.page.pdfCompression == kPdfCompressionG4 &&
      !t2p_tile_is_right_edge(grid, tile) && !t2p_tile_is_bottom_edge(grid, tile)) {
    uint64_t* counts = nullptr;
    if (TIFFGetField(input, TIFFTAG_TILEBYTECOUNTS, &counts) != 0 && counts != nullptr &&
        tile < TIFFNumberOfTiles(input)) {
      size = counts[tile];
    }
  } else {
    const uint64_t tileSize = TIFFTileSize64(input);
    const uint64_t planes =
        ctx.page.planarConfig == PLANARCONFIG_SEPARATE ? ctx.page.samplesPerPixel : 1;
    if (tileSize <= UINT64_MAX / planes) size = tileSize * planes;
  }
  setDataSize(ctx, input, size, "t2p_readwrite_pdf_image_tile");
}

}  // namespace tarnwell
