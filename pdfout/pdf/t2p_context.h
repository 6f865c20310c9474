#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdfout/pdf/pdf_metadata.h"
#include "pdfout/pdf/pdfa_metadata.h"
#include "platform/PageBudget.h"

namespace tarnwell {

namespace ocr {
struct PageText;
}

// Colour space bits of PageState::colorspaceFlags.
inline constexpr uint32_t kCsBilevel = 0x1;
inline constexpr uint32_t kCsGray = 0x2;
inline constexpr uint32_t kCsRgb = 0x4;
inline constexpr uint32_t kCsCmyk = 0x8;
inline constexpr uint32_t kCsLab = 0x10;
inline constexpr uint32_t kCsCalGray = 0x20;
inline constexpr uint32_t kCsCalRgb = 0x40;
inline constexpr uint32_t kCsIcc = 0x80;
inline constexpr uint32_t kCsPalette = 0x1000;

// Sample conversion bits of PageState::sampleConversion.
inline constexpr uint32_t kConvRgbaToRgb = 0x2;
inline constexpr uint32_t kConvAssocAlphaToRgb = 0x4;
inline constexpr uint32_t kConvYCbCrToRgb = 0x8;
inline constexpr uint32_t kConvLabSignedToUnsigned = 0x40;
inline constexpr uint32_t kConvPlanarToContig = 0x100;
// Archival pages only: CMYK samples without a colour profile become RGB (kConvCmykToRgb), after
// inverting them first for an image whose samples count ink inversely (kConvInvertCmyk).
inline constexpr uint32_t kConvCmykToRgb = 0x200;
inline constexpr uint32_t kConvInvertCmyk = 0x400;

// Transcoding choices and PDF compressions of a page.
inline constexpr int kTranscodeRaw = 1;
inline constexpr int kTranscodeDecode = 2;
inline constexpr int kPdfCompressionNone = 0;
inline constexpr int kPdfCompressionG4 = 1;
inline constexpr int kPdfCompressionFlate = 2;  // archival pages whose TIFF is LZW-coded

// Largest single buffer the writer allocates for one image, tile, table or raster: that of the
// copy step, whose budget for the file's size lowers it further. Images that would need more are
// refused before anything is allocated.
inline constexpr uint64_t kDefaultAllocationLimit = platform::kCopyBufferCap;

// A box on the page in points and the 3x3 placement matrix (row-major) of the image in it.
struct TileBox {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  float mat[9] = {};
};

// One accepted TIFF directory.
struct PageEntry {
  uint16_t directory = 0;
  uint32_t order = 0;
  uint32_t tileCount = 0;     // 0 for an untiled page
  uint32_t extraObjects = 0;  // objects beyond the five every page has
};

// Tile layout of one page.
struct TileGrid {
  uint32_t tileCount = 0;
  uint32_t tileWidth = 0, tileLength = 0;
  uint32_t tilesAcross = 0, tilesDown = 0;
  uint32_t edgeWidth = 0, edgeLength = 0;  // right and bottom edge tiles; 0 when even
  std::vector<TileBox> boxes;
};

// Resolution of a page whose TIFF gives none, in pixels per inch.
inline constexpr float kDefaultResolution = 300.0f;

// What the caller chose for the whole conversion.
struct WriterOptions {
  // Recognised text by TIFF directory for the invisible text layer (none: no text layer).
  const std::vector<ocr::PageText>* pageText = nullptr;
  // Largest single allocation allowed; tests lower it to reach the out-of-memory paths.
  uint64_t allocationLimit = kDefaultAllocationLimit;
  // Values of the identifier's generator drawn before this document's (pdfFileIdentifier).
  unsigned long long identifierPosition = 0;
  // PDF/A-1b output, and the caller's values for its metadata.
  bool pdfa = false;
  PdfMetadata metadata;
};

// The document being written: its version, object numbers and offsets, and its page list.
struct DocumentState {
  int error = 0;
  uint16_t pdfMajor = 1, pdfMinor = 1;
  uint32_t objectCount = 3;
  std::vector<uint64_t> xrefOffsets;
  uint32_t catalogObject = 1, infoObject = 2, pagesObject = 3;
  uint32_t paletteObject = 0, iccObject = 0;
  uint64_t xrefStart = 0;
  std::string creationDate;  // empty until built
  std::string fileId;
  std::vector<PageEntry> tiff_pages;
  uint16_t pageCount = 0;
  uint16_t currentPage = 0;
  std::vector<TileGrid> tiff_tiles;
  // Object number of the text font (0 while no page has text).
  uint32_t textFontObject = 0;
  // Archival documents: the XMP metadata stream and the output intent's profile (0 otherwise),
  // and the metadata the information dictionary and the XMP packet share.
  uint32_t metadataObject = 0, outputProfileObject = 0;
  ArchivalInfo archival;
  // What the archival output changed on the way, one sentence each, for the user.
  std::vector<std::string> notes;
};

// The page being written, read afresh from its TIFF directory.
struct PageState {
  uint16_t compression = 0, photometric = 0, fillOrder = 1;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1, planarConfig = 1;
  uint32_t width = 0, length = 0;
  float xres = 0, yres = 0;
  uint16_t orientation = 1, resolutionUnit = 2;
  uint64_t dataSize = 0;
  float pdfXRes = 0, pdfYRes = 0;
  float imageWidth = 0, imageLength = 0;
  float pageWidth = 0, pageLength = 0;
  float mediaBox[4] = {};
  TileBox imageBox;
  uint32_t colorspaceFlags = 0;
  uint16_t switchDecode = 0;
  uint32_t paletteSize = 0;  // entries while building, then bytes
  std::vector<uint8_t> palette;
  int labRange[4] = {};
  float whitePoint[2] = {};
  float primaries[6] = {};
  int transcode = kTranscodeDecode;
  int pdfCompression = kPdfCompressionNone;
  uint32_t sampleConversion = 0;
  const uint16_t* transfer[3] = {};
  uint16_t transferCount = 0;
  uint32_t iccLength = 0;
  const uint8_t* iccProfile = nullptr;  // owned by libtiff
};

// The writer's context: the options, the document and its current page.
struct t2p_context {
  WriterOptions options;
  DocumentState doc;
  PageState page;
};

// A new context with the defaults, or nullptr when memory runs out (reported).
[[nodiscard]] std::unique_ptr<t2p_context> t2p_init();

// Resizes a buffer unless the size passes the context's limit or memory runs out; false then.
template <typename T>
[[nodiscard]] bool t2p_allocate(const t2p_context& ctx, std::vector<T>& buffer, uint64_t count) {
  if (count > ctx.options.allocationLimit / sizeof(T)) return false;
  try {
    buffer.assign(static_cast<size_t>(count), T{});
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

}  // namespace tarnwell
