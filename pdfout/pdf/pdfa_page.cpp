#include "pdfout/pdf/pdfa_page.h"

#include <string>

#include "pdfout/pdf/t2p_analysis.h"
#include "pdfout/pdf/t2p_colour_map.h"
#include "pdfout/pdf/t2p_samples.h"

namespace tarnwell {
namespace {

void note(t2p_context& ctx, const char* what) {
  ctx.doc.notes.push_back("page " + std::to_string(ctx.doc.currentPage + 1) + ": " + what);
}

}  // namespace

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
