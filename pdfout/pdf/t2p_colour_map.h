#pragma once

#include <tiffio.h>

#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

// Colour space, sample conversions and palette of the current page from its photometric
// interpretation; reports and returns false when the image is refused.
[[nodiscard]] bool t2p_map_colour(t2p_context& ctx, TIFF* input);

// White point, primaries and ICC profile of the current page.
void t2p_read_calibration(t2p_context& ctx, TIFF* input);

// The value of the Indexed tag, when present.
bool t2p_indexed_tag(TIFF* input, uint16_t* value);
// The embedded ICC profile, when there is a non-empty one.
bool t2p_icc_profile(TIFF* input, uint32_t& length, const uint8_t*& data);
// The ICC profile the page of the current directory is drawn with, when there is one: any
// non-empty profile for a plain PDF; for an archival one only a version 2 profile of the page's
// own colour space (gray, RGB or CMYK samples, not a palette), what PDF/A-1 allows.
[[nodiscard]] bool t2p_page_icc_profile(const t2p_context& ctx, TIFF* input, uint32_t& length,
                                        const uint8_t*& data);

}  // namespace tarnwell
