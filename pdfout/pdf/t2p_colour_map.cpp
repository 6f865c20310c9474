#include "pdfout/pdf/t2p_colour_map.h"

#include <cmath>

#include "pdfout/pdf/pdfa_icc.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/tiffio/tiff_photometric.h"

namespace tarnwell {
namespace {

const char* fileName(TIFF* input) {
  const char* name = TIFFFileName(input);
  return name != nullptr ? name : "";
}

// Reads the colour map into an RGB or CMYK palette of 2^bits entries.
bool buildPalette(t2p_context& ctx, TIFF* input, unsigned bytesPerEntry) {
  const uint32_t entries = 1u << ctx.page.bitsPerSample;
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (TIFFGetField(input, TIFFTAG_COLORMAP, &red, &green, &blue) == 0 || red == nullptr ||
      green == nullptr || blue == nullptr) {
    t2pError("Palettized image %s has no color map", fileName(input));
    return false;
  }
  ctx.page.palette.clear();
  const uint32_t bytes = entries * bytesPerEntry;
  if (!t2p_allocate(ctx, ctx.page.palette, bytes)) {
    t2pError("Can't allocate %u bytes of memory for t2p_read_tiff_image, %s", bytes,
             fileName(input));
    return false;
  }
  // libtiff holds 2^bits entries per table for the bits per sample of the directory.
  for (uint32_t i = 0; i < entries; ++i) {
    uint8_t* entry = ctx.page.palette.data() + static_cast<size_t>(i) * bytesPerEntry;
    entry[0] = static_cast<uint8_t>(red[i] >> 8);
    entry[1] = static_cast<uint8_t>(green[i] >> 8);
    entry[2] = static_cast<uint8_t>(blue[i] >> 8);
    if (bytesPerEntry == 4) entry[3] = 0;  // the colour map has no black table: no black ink
  }
  ctx.page.paletteSize = bytes;
  return true;
}

// Colour space and conversions from the photometric interpretation; false when refused.
bool usableChromaticity(float x, float y) {
  return std::isfinite(x) && std::isfinite(y) && y > 0.0f;
}

// Channels of the samples a profile of the current directory would colour; 0 when a profile
// cannot colour them in an archival PDF (palettes, Lab, YCbCr, extra samples).
unsigned profileChannels(TIFF* input) {
  uint16_t photometric = 0, samples = 1, indexed = 0;
  if (!tiff_read_photometric(input, photometric)) return 0;
  TIFFGetFieldDefaulted(input, TIFFTAG_SAMPLESPERPIXEL, &samples);
  if (t2p_indexed_tag(input, &indexed) && indexed == 1) return 0;
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: return samples == 1 ? 1 : 0;
    case PHOTOMETRIC_RGB: return samples == 3 ? 3 : 0;
    case PHOTOMETRIC_SEPARATED: return samples == 4 ? 4 : 0;
    default: return 0;
  }
}

}  // namespace

bool t2p_indexed_tag(TIFF* input, uint16_t* value) {
  uint16_t indexed = 0;
  if (TIFFGetField(input, TIFFTAG_INDEXED, &indexed) == 0) return false;
  if (value != nullptr) *value = indexed;
  return true;
}

bool t2p_icc_profile(TIFF* input, uint32_t& length, const uint8_t*& data) {
  uint32_t size = 0;
  void* bytes = nullptr;
  if (TIFFGetField(input, TIFFTAG_ICCPROFILE, &size, &bytes) == 0 || bytes == nullptr ||
      size == 0) {
    return false;
  }
  length = size;
  data = static_cast<const uint8_t*>(bytes);
  return true;
}

bool t2p_page_icc_profile(const t2p_context& ctx, TIFF* input, uint32_t& length,
                          const uint8_t*& data) {
  uint32_t size = 0;
  const uint8_t* bytes = nullptr;
  if (!t2p_icc_profile(input, size, bytes)) return false;
  if (ctx.options.pdfa && !archivalIccProfile({bytes, size}, profileChannels(input))) return false;
  length = size;
  data = bytes;
  return true;
}

bool t2p_map_colour(t2p_context& ctx, TIFF* input) {
  const char* name = fileName(input);
  const uint16_t spp = ctx.page.samplesPerPixel;
  uint16_t indexed = 0;
  const bool isIndexed = t2p_indexed_tag(input, &indexed) && indexed == 1;
  switch (ctx.page.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      ctx.page.colorspaceFlags = ctx.page.bitsPerSample == 1 ? kCsBilevel : kCsGray;
      if (ctx.page.photometric == PHOTOMETRIC_MINISWHITE) ctx.page.switchDecode ^= 1;
      return true;
    case PHOTOMETRIC_RGB:
      if (isIndexed) break;  // handled as a palette below
      if (spp == 3) {
        ctx.page.colorspaceFlags = kCsRgb;
        return true;
      }
      if (spp == 4) {
        uint16_t count = 0;
        uint16_t* values = nullptr;
        if (TIFFGetField(input, TIFFTAG_EXTRASAMPLES, &count, &values) != 0 && count > 0 &&
            values != nullptr) {
          ctx.page.colorspaceFlags = kCsRgb;
          if (values[0] == EXTRASAMPLE_ASSOCALPHA) {
            ctx.page.sampleConversion = kConvAssocAlphaToRgb;
          } else {
            ctx.page.sampleConversion = kConvRgbaToRgb;
            if (values[0] != EXTRASAMPLE_UNASSALPHA) {
              t2pWarning("RGB image %s has 4 samples per pixel, assuming RGBA", name);
            }
          }
          return true;
        }
        ctx.page.colorspaceFlags = kCsCmyk;
        ctx.page.switchDecode ^= 1;
        t2pWarning("RGB image %s has 4 samples per pixel, assuming inverse CMYK", name);
        return true;
      }
      t2pError("No support for RGB image %s with %u samples per pixel", name, spp);
      return false;
    case PHOTOMETRIC_PALETTE:
      break;
    case PHOTOMETRIC_SEPARATED:
      if (isIndexed) {
        if (spp != 1) {
          t2pError("No support for palettized CMYK image %s with not one sample per pixel", name);
          return false;
        }
        ctx.page.colorspaceFlags = kCsCmyk | kCsPalette;
        return buildPalette(ctx, input, 4);
      } else {
        uint16_t inkset = 0;
        if (TIFFGetField(input, TIFFTAG_INKSET, &inkset) != 0 && inkset != INKSET_CMYK) {
          t2pError("No support for %s because its inkset is not CMYK", name);
          return false;
        }
        if (spp != 4) {
          t2pError("No support for %s because it has %u samples per pixel", name, spp);
          return false;
        }
        ctx.page.colorspaceFlags = kCsCmyk;
        return true;
      }
    case PHOTOMETRIC_YCBCR:
      if (spp == 1) {
        ctx.page.colorspaceFlags = kCsGray;
        ctx.page.photometric = PHOTOMETRIC_MINISBLACK;
      } else {
        ctx.page.colorspaceFlags = kCsRgb;
        ctx.page.sampleConversion = kConvYCbCrToRgb;
      }
      return true;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB: {
      static constexpr int kRanges[3][4] = {{-127, 127, -127, 127}, {0, 255, 0, 255},
                                            {-85, 85, -75, 124}};
      const int which = ctx.page.photometric == PHOTOMETRIC_CIELAB ? 0
                        : ctx.page.photometric == PHOTOMETRIC_ICCLAB ? 1 : 2;
      for (int i = 0; i < 4; ++i) ctx.page.labRange[i] = kRanges[which][i];
      ctx.page.colorspaceFlags = kCsLab;
      if (which != 1) ctx.page.sampleConversion = kConvLabSignedToUnsigned;
      return true;
    }
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
      t2pError("No support for %s with photometric interpretation LogL/LogLuv", name);
      return false;
    default:
      t2pError("No support for %s with photometric interpretation %u", name, ctx.page.photometric);
      return false;
  }
  // Palette images: photometric palette, or RGB with Indexed = 1.
  if (spp != 1) {
    t2pError("No support for palettized image %s with not one sample per pixel", name);
    return false;
  }
  ctx.page.colorspaceFlags = kCsRgb | kCsPalette;
  return buildPalette(ctx, input, 3);
}

void t2p_read_calibration(t2p_context& ctx, TIFF* input) {
  float* white = nullptr;
  const bool hasWhite = TIFFGetField(input, TIFFTAG_WHITEPOINT, &white) != 0 && white != nullptr &&
                        usableChromaticity(white[0], white[1]);
  float* primaries = nullptr;
  bool hasPrimaries = TIFFGetField(input, TIFFTAG_PRIMARYCHROMATICITIES, &primaries) != 0 &&
                      primaries != nullptr;
  if (hasPrimaries) {
    for (int i = 0; i < 6; i += 2) {
      hasPrimaries = hasPrimaries && usableChromaticity(primaries[i], primaries[i + 1]);
    }
  }
  if (hasWhite) {
    ctx.page.whitePoint[0] = white[0];
    ctx.page.whitePoint[1] = white[1];
    if (ctx.page.colorspaceFlags & kCsGray) ctx.page.colorspaceFlags |= kCsCalGray;
  }
  if (hasPrimaries) {
    for (int i = 0; i < 6; ++i) ctx.page.primaries[i] = primaries[i];
  }
  // The calibrated RGB space needs both the white point and the primaries.
  if (hasWhite && hasPrimaries && (ctx.page.colorspaceFlags & kCsRgb)) {
    ctx.page.colorspaceFlags |= kCsCalRgb;
  }
  if ((ctx.page.colorspaceFlags & kCsLab) && !hasWhite) {
    ctx.page.whitePoint[0] = 0.3457f;
    ctx.page.whitePoint[1] = 0.3585f;
  }
  ctx.page.iccLength = 0;
  ctx.page.iccProfile = nullptr;
  if (t2p_page_icc_profile(ctx, input, ctx.page.iccLength, ctx.page.iccProfile))
    ctx.page.colorspaceFlags |= kCsIcc;
}

}  // namespace tarnwell
