#include "pdfout/copy/tiff_copy_image.h"

#include <cstring>
#include <string>

#include "pdfout/tiffio/messages.h"
#include "pdfout/copy/tiff_copy_tags.h"
#include "pdfout/tiffio/tiff_photometric.h"

namespace tarnwell {

namespace {

constexpr uint16_t kSgiLogL = 34676;
constexpr uint16_t kSgiLogLuv = 34677;

template <typename V>
void copyValue(TIFF* in, TIFF* out, uint32_t tag) {
  V v{};
  if (TIFFGetField(in, tag, &v)) TIFFSetField(out, tag, v);
}

uint16_t orientationFor(uint16_t orientation) {
  switch (orientation) {
    case ORIENTATION_TOPLEFT:
    case ORIENTATION_BOTLEFT:
    case ORIENTATION_LEFTTOP:
    case ORIENTATION_LEFTBOT:
      return orientation;
    case ORIENTATION_BOTRIGHT:
    case ORIENTATION_RIGHTBOT:
      TIFFWarning(kPdfModule, "using bottom-left orientation");
      return ORIENTATION_BOTLEFT;
    default:
      TIFFWarning(kPdfModule, "using top-left orientation");
      return ORIENTATION_TOPLEFT;
  }
}

void copyPhotometric(TIFF* in, TIFF* out, uint16_t compression, uint16_t samplesPerPixel) {
  uint16_t photometric = 0;
  const bool hasPhotometric = tiff_read_photometric(in, photometric);
  if (compression == COMPRESSION_JPEG) {
    uint16_t inputCompression = COMPRESSION_NONE;
    TIFFGetField(in, TIFFTAG_COMPRESSION, &inputCompression);
    // A JPEG source is decoded to RGB so that the encoder sees plain samples.
    if (inputCompression == COMPRESSION_JPEG) {
      TIFFSetField(in, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (hasPhotometric && photometric == PHOTOMETRIC_RGB) {
      photometric = PHOTOMETRIC_YCBCR;
    }
    if (hasPhotometric) TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
  } else if (compression == kSgiLogL || compression == kSgiLogLuv) {
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC,
                 samplesPerPixel == 1 ? PHOTOMETRIC_LOGL : PHOTOMETRIC_LOGLUV);
  } else if (hasPhotometric) {
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, photometric);
  }
}

void setLayout(TIFF* in, TIFF* out, bool tiledOutput) {
  if (tiledOutput) {
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(in, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(in, TIFFTAG_TILELENGTH, &tileLength);
    TIFFDefaultTileSize(out, &tileWidth, &tileLength);
    TIFFSetField(out, TIFFTAG_TILEWIDTH, tileWidth);
    TIFFSetField(out, TIFFTAG_TILELENGTH, tileLength);
    return;
  }
  uint32_t rowsPerStrip = 0;
  // A tiled source has no strips of its own; libtiff then picks strips of about 8 KiB.
  if (TIFFIsTiled(in) || !TIFFGetField(in, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) ||
      rowsPerStrip == 0) {
    rowsPerStrip = TIFFDefaultStripSize(out, 0);
  }
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
}

void copyTables(TIFF* in, TIFF* out, uint16_t bitsPerSample, uint16_t samplesPerPixel) {
  // libtiff sizes both tables by 2^BitsPerSample; wider samples carry no usable table.
  if (bitsPerSample > 16) return;
  if (samplesPerPixel <= 4)
    copyTag(in, out, {TIFFTAG_TRANSFERFUNCTION, 4, CopiedTagType::Short}, "");
  copyTag(in, out, {TIFFTAG_COLORMAP, 4, CopiedTagType::Short}, "");
}

void setCodecFields(TIFF* in, TIFF* out, const CopySettings& settings, uint16_t compression) {
  switch (compression) {
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
      if (compression == COMPRESSION_CCITTFAX3) {
        // An image kept in Group 3 is written with options 0, whatever its own were.
        TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, uint32_t{0});
      } else {
        copyValue<uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
      }
      copyValue<uint32_t>(in, out, TIFFTAG_BADFAXLINES);
      copyValue<uint16_t>(in, out, TIFFTAG_CLEANFAXDATA);
      copyValue<uint32_t>(in, out, TIFFTAG_CONSECUTIVEBADFAXLINES);
      copyValue<uint32_t>(in, out, TIFFTAG_FAXRECVPARAMS);
      copyValue<uint32_t>(in, out, TIFFTAG_FAXRECVTIME);
      copyValue<char*>(in, out, TIFFTAG_FAXSUBADDRESS);
      break;
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      copyValue<uint16_t>(in, out, TIFFTAG_PREDICTOR);
      break;
    case COMPRESSION_JPEG:
      TIFFSetField(out, TIFFTAG_JPEGQUALITY, settings.jpegQuality);
      TIFFSetField(out, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      break;
    default:
      break;
  }
}

void copyInks(TIFF* in, TIFF* out) {
  uint16_t inks = 0;
  if (TIFFGetField(in, TIFFTAG_NUMBEROFINKS, &inks)) TIFFSetField(out, TIFFTAG_NUMBEROFINKS, inks);
  char* names = nullptr;
  if (!TIFFGetField(in, TIFFTAG_INKNAMES, &names) || names == nullptr) return;
  // libtiff keeps NumberOfInks equal to the count of NUL-terminated names it accepted, so
  // walking that many names stays inside its block.
  uint16_t count = 0;
  if (!TIFFGetField(in, TIFFTAG_NUMBEROFINKS, &count) || count == 0) return;
  size_t length = 0;
  for (uint16_t i = 0; i < count; ++i) length += std::strlen(names + length) + 1;
  if (length <= UINT16_MAX) TIFFSetField(out, TIFFTAG_INKNAMES, static_cast<int>(length), names);
}

}  // namespace

CopySettings copySettingsFor(const TiffCopyOptions& options) {
  CopySettings s;
  s.jpegQuality = options.jpegQuality;
  s.fillOrder = static_cast<uint16_t>(options.fillOrder);
  s.tiling = options.tiling;
  // The program asks for Group 4 (6) or for each image's own compression (any other choice).
  if (options.compression == 6) s.compression = COMPRESSION_CCITTFAX4;
  return s;
}

bool setUpOutputImage(TIFF* in, TIFF* out, const CopySettings& settings, bool tiledOutput,
                      const char* sourceName, ImageShape& shape) {
  uint32_t width = 0, length = 0;
  uint16_t bits = 0, samples = 0;
  if (TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width) && !TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width))
    return false;
  if (TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length) &&
      !TIFFSetField(out, TIFFTAG_IMAGELENGTH, length))
    return false;
  if (TIFFGetField(in, TIFFTAG_BITSPERSAMPLE, &bits) &&
      !TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits))
    return false;
  if (TIFFGetField(in, TIFFTAG_SAMPLESPERPIXEL, &samples) &&
      !TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, samples))
    return false;
  shape.width = width;
  shape.length = length;
  TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &shape.bitsPerSample);
  TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &shape.samplesPerPixel);

  uint16_t compression = COMPRESSION_NONE;
  if (settings.compression >= 0) {
    compression = static_cast<uint16_t>(settings.compression);
  } else {
    TIFFGetField(in, TIFFTAG_COMPRESSION, &compression);
  }
  if (!TIFFSetField(out, TIFFTAG_COMPRESSION, compression)) return false;

  copyPhotometric(in, out, compression, shape.samplesPerPixel);

  if (settings.fillOrder != 0) {
    TIFFSetField(out, TIFFTAG_FILLORDER, settings.fillOrder);
  } else {
    copyValue<uint16_t>(in, out, TIFFTAG_FILLORDER);
  }

  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(in, TIFFTAG_ORIENTATION, &orientation);
  TIFFSetField(out, TIFFTAG_ORIENTATION, orientationFor(orientation));

  setLayout(in, out, tiledOutput);
  copyValue<uint16_t>(in, out, TIFFTAG_PLANARCONFIG);
  copyTables(in, out, shape.bitsPerSample, shape.samplesPerPixel);
  setCodecFields(in, out, settings, compression);

  uint32_t iccLength = 0;
  void* icc = nullptr;
  if (TIFFGetField(in, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc != nullptr) {
    TIFFSetField(out, TIFFTAG_ICCPROFILE, iccLength, icc);
  }
  copyInks(in, out);

  uint16_t page = 0, pages = 0;
  if (TIFFGetField(in, TIFFTAG_PAGENUMBER, &page, &pages)) {
    TIFFSetField(out, TIFFTAG_PAGENUMBER, page, pages);
  }
  for (const CopiedTag& tag : copiedTags()) copyTag(in, out, tag, sourceName);

  TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &shape.inputPlanar);
  TIFFGetFieldDefaulted(out, TIFFTAG_PLANARCONFIG, &shape.outputPlanar);
  shape.inputTiled = TIFFIsTiled(in) != 0;
  shape.outputTiled = tiledOutput;
  return true;
}

}  // namespace tarnwell
