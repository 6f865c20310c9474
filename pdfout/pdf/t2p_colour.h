#pragma once

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// The /ColorSpace value of the current page's image.
void t2p_write_pdf_xobject_cs(t2p_context& ctx, PdfSink& out);
// Dictionary and stream of the palette, ICC profile, ExtGState and transfer-function objects
// (the object itself is started and ended by the caller).
void t2p_write_pdf_xobject_palettecs_stream(t2p_context& ctx, PdfSink& out);
void t2p_write_pdf_xobject_icccs(t2p_context& ctx, PdfSink& out);
void t2p_write_pdf_transfer(t2p_context& ctx, PdfSink& out);
void t2p_write_pdf_transfer_stream(t2p_context& ctx, PdfSink& out, int index);

}  // namespace tarnwell
