#pragma once

#include <tiffio.h>

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// Samples per pixel and bits per sample of the current page's image data as written, after the
// sample conversions.
uint16_t t2p_output_samples(const t2p_context& ctx);
uint16_t t2p_output_bits(const t2p_context& ctx);

// Writes the image data of the current untiled page (after its data size was set) and returns
// the stream length. Failure sets the error field.
uint64_t t2p_readwrite_pdf_image(t2p_context& ctx, TIFF* input, PdfSink& out);

// The same for tile `tile` of the current page.
uint64_t t2p_readwrite_pdf_image_tile(t2p_context& ctx, TIFF* input, PdfSink& out,
                                      uint32_t tile);

}  // namespace tarnwell
