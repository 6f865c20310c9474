#pragma once

// The document-level parts of an archival (PDF/A-1b) PDF: its header, the catalog's metadata and
// output intent, the information dictionary, the XMP and profile objects, and the
// cross-reference table and trailer written with the end-of-line rules PDF/A asks for.

#include <tiffio.h>

#include <array>
#include <cstdint>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// Objects the archival parts add behind all others: the XMP stream and the sRGB profile.
inline constexpr uint32_t kArchivalObjects = 2;

// Gives the archival objects their numbers behind the planned ones and sets the version to 1.4.
void t2p_plan_archival(t2p_context& ctx);

// Settles the document's metadata: the caller's values first, then the tags of the first page's
// directory (DocumentName, DateTime, ImageDescription, Artist or Copyright, Software), then the
// TIFF file's name, the caller's file date and the time now. Leaves the first page's directory
// selected.
void t2p_read_archival_info(t2p_context& ctx, TIFF* input);

void t2p_write_archival_header(const t2p_context& ctx, PdfSink& out);
// The catalog's /Metadata and /OutputIntents entries.
void t2p_write_archival_catalog_entries(const t2p_context& ctx, PdfSink& out);
// The information dictionary: the same values as the XMP packet.
void t2p_write_archival_info(const t2p_context& ctx, PdfSink& out);
// The XMP metadata stream and the output intent's profile, each an object of its own.
void t2p_write_archival_objects(t2p_context& ctx, PdfSink& out);
void t2p_write_archival_xref(const t2p_context& ctx, PdfSink& out);
// The trailer with the digest of the document as both parts of its identifier.
void t2p_write_archival_trailer(const t2p_context& ctx, const std::array<uint8_t, 16>& digest,
                                PdfSink& out);

}  // namespace tarnwell
