#pragma once

// What an archival (PDF/A-1b) PDF changes on a page: colour profiles only of the kind PDF/A-1
// allows, no transfer functions, CMYK without a profile made RGB (the output intent is sRGB, so
// device CMYK is not allowed), and LZW-coded pages coded with Flate. Each change the user would
// see is noted.

#include <tiffio.h>

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

// The ICC profile the page of the current directory is drawn with, when there is one: any
// non-empty profile for a plain PDF; for an archival one only a version 2 profile of the page's
// own colour space (gray, RGB or CMYK samples, not a palette).
[[nodiscard]] bool t2p_page_icc_profile(const t2p_context& ctx, TIFF* input, uint32_t& length,
                                        const uint8_t*& data);

// The transfer tables the page of the current directory is drawn with: none for an archival PDF.
uint16_t t2p_page_transfer_tables(const t2p_context& ctx, TIFF* input, const uint16_t* tables[3]);

// The archival changes to the current page, after its analysis. Adds a note for each change the
// user would see.
void t2p_archival_page(t2p_context& ctx, TIFF* input);

}  // namespace tarnwell
