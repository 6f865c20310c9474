#include "pdfout/pdf/pdfa_page.h"

#include <string>

#include "pdfout/pdf/pdfa_icc.h"
#include "pdfout/pdf/t2p_analysis.h"
#include "pdfout/pdf/t2p_colour_map.h"
#include "pdfout/pdf/t2p_samples.h"
#include "pdfout/tiffio/tiff_photometric.h"

namespace tarnwell {
namespace {

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

void note(t2p_context& ctx, const char* what) {
  ctx.doc.notes.push_back("page " + std::to_string(ctx.doc.currentPage + 1) + ": " + what);
}

}  // namespace

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

uint16_t t2p_page_transfer_tables(const t2p_context& ctx, TIFF* input,
                                  const uint16_t* tables[3]) {
  const uint16_t count = t2p_transfer_tables(input, tables);
  if (!ctx.options.pdfa) return count;
  tables[0] = tables[1] = tables[2] = nullptr;
  return 0;
}

void t2p_archival_page(t2p_context& ctx, TIFF* input) {
  const uint16_t* tables[3] = {};
  if (t2p_transfer_tables(input, tables) != 0)
    note(ctx, "its transfer function is left out (PDF/A does not allow one)");
  uint32_t length = 0;
  const uint8_t* profile = nullptr;
  if (t2p_icc_profile(input, length, profile) && (ctx.page.colorspaceFlags & kCsIcc) == 0)
    note(ctx, "its colour profile is left out (not a version 2 profile of its colours)");
  if (ctx.page.compression == COMPRESSION_LZW && ctx.page.pdfCompression == kPdfCompressionNone)
    ctx.page.pdfCompression = kPdfCompressionFlate;
  const uint32_t flags = ctx.page.colorspaceFlags;
  if ((flags & kCsCmyk) == 0 || (flags & kCsIcc) != 0) return;
  if (flags & kCsPalette) {
    const uint32_t entries = ctx.page.paletteSize / 4;
    ctx.page.paletteSize = static_cast<uint32_t>(
        t2p_sample_cmyk_to_rgb(ctx.page.palette, ctx.page.palette, entries, 1, 8, false));
  } else {
    ctx.page.sampleConversion |= kConvCmykToRgb;
    if (ctx.page.switchDecode != 0) ctx.page.sampleConversion |= kConvInvertCmyk;
    ctx.page.switchDecode = 0;
  }
  ctx.page.colorspaceFlags = (flags & ~kCsCmyk) | kCsRgb;
  note(ctx, "CMYK colours without a colour profile are converted to RGB");
}

}  // namespace tarnwell
