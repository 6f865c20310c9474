#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// Writes every object of the current page, analysed by t2p_read_tiff_image. Failure sets the
// error field.
void t2p_write_page(t2p_context& ctx, TIFF* input, PdfSink& out);

// Parts of the page, each returning the bytes written.
void t2p_write_pdf_page(uint32_t pageObject, t2p_context& ctx, PdfSink& out);
std::string t2p_page_content(const t2p_context& ctx);
void t2p_write_pdf_xobject_stream_dict(uint32_t tile, t2p_context& ctx, PdfSink& out);

}  // namespace tarnwell
