#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string_view>

#include "pdfout/t2p_context.h"
#include "pdfout/t2p_sink.h"

namespace tarnwell {

// Object syntax primitives; each returns the bytes it wrote.
size_t t2p_write_pdf_obj_start(uint32_t number, PdfSink& out);
size_t t2p_write_pdf_obj_end(PdfSink& out);
size_t t2p_write_pdf_dict_start(PdfSink& out);
size_t t2p_write_pdf_dict_end(PdfSink& out);
size_t t2p_write_pdf_stream_start(PdfSink& out);
size_t t2p_write_pdf_stream_end(PdfSink& out);
// "/Length " with the length, or with a reference to object `number` when length is 0.
size_t t2p_write_pdf_stream_dict(uint64_t length, uint32_t number, PdfSink& out);
size_t t2p_write_pdf_stream_length(uint64_t length, PdfSink& out);
size_t t2p_write_pdf_string(std::string_view text, PdfSink& out);

// Records the offset of the next object, counts it and writes its opening line. Sets the
// error field when more objects are written than were planned.
size_t t2p_start_object(t2p_context& ctx, PdfSink& out);

// The creation date from the TIFF's DateTime, else from the local time now.
void t2p_pdf_tiff_time(t2p_context& ctx, TIFF* input);
size_t t2p_write_pdf_info(t2p_context& ctx, TIFF* input, PdfSink& out);
size_t t2p_write_pdf_xref(t2p_context& ctx, PdfSink& out);
size_t t2p_write_pdf_trailer(t2p_context& ctx, PdfSink& out);

// Writes the whole document; returns the bytes written. Failure sets the error field.
uint64_t t2p_write_pdf(t2p_context& ctx, TIFF* input, PdfSink& out);

}  // namespace tarnwell
