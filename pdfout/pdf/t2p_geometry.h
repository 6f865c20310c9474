#pragma once

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

// Page size, media box, image box and placement matrices of the current page.
void t2p_page_geometry(t2p_context& ctx);

// Sets the box's matrix for an image drawn upright in it under TIFF orientation 0 to 8.
void t2p_compose_matrix(TileBox& box, uint16_t orientation);
// The same for tile boxes of orientations 5 to 8 after their x and y were exchanged.
void t2p_compose_matrix_transposed(TileBox& box, uint16_t orientation);

}  // namespace tarnwell
