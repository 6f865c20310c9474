#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// PDF object syntax primitives shared by the document, page and colour writers; each returns
// the bytes it wrote.
void t2p_write_pdf_obj_start(uint32_t number, PdfSink& out);
void t2p_write_pdf_obj_end(PdfSink& out);
void t2p_write_pdf_dict_start(PdfSink& out);
void t2p_write_pdf_dict_end(PdfSink& out);
void t2p_write_pdf_stream_start(PdfSink& out);
// Ends a stream: a CR before "endstream", or for an archival PDF a CR LF, the end of line
// PDF/A wants there (not counted in the stream's length).
void t2p_write_pdf_stream_end(const t2p_context& ctx, PdfSink& out);
// "/Length " with the length, or with a reference to object `number` when length is 0.
void t2p_write_pdf_stream_dict(uint64_t length, uint32_t number, PdfSink& out);
void t2p_write_pdf_stream_length(uint64_t length, PdfSink& out);
void t2p_write_pdf_string(std::string_view text, PdfSink& out);

// Records the offset of the next object, counts it and writes its opening line. Sets the
// error field when more objects are written than were planned.
void t2p_start_object(t2p_context& ctx, PdfSink& out);

}  // namespace tarnwell
