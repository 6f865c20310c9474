#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string_view>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// The creation date from the TIFF's DateTime, else from the local time now.
void t2p_pdf_tiff_time(t2p_context& ctx, TIFF* input);
void t2p_write_pdf_info(t2p_context& ctx, TIFF* input, PdfSink& out);
void t2p_write_pdf_xref(t2p_context& ctx, PdfSink& out);
void t2p_write_pdf_trailer(t2p_context& ctx, PdfSink& out);

// Writes the whole document; returns the bytes written. Failure sets the error field.
uint64_t t2p_write_pdf(t2p_context& ctx, TIFF* input, PdfSink& out);

}  // namespace tarnwell
