#pragma once

// What an archival (PDF/A-1b) PDF changes on a page: colour profiles only of the kind PDF/A-1
// allows, no transfer functions, CMYK without a profile made RGB (the output intent is sRGB, so
// device CMYK is not allowed), and LZW-coded pages coded with Flate. Each change the user would
// see is noted.

#include <tiffio.h>

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

// The archival changes to the current page, after its analysis (t2p_read_tiff_image, which
// already kept only the colour profiles and transfer functions an archival page may have). Adds
// a note for each change the user would see.
void t2p_archival_page(t2p_context& ctx, TIFF* input);

}  // namespace tarnwell
