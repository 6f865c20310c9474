#pragma once

#include <tiffio.h>

#include <cstdint>

#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

// Chooses the pages of the document, their tile grids and the planned object count.
// Sets the error field on failure.
void t2p_read_tiff_init(t2p_context& ctx, TIFF* input);

// Analyses the directory of the current page: acceptance, colour space, conversions,
// transcoding choice and geometry. Sets the error field when the image is not supported.
void t2p_read_tiff_image(t2p_context& ctx, TIFF* input);

// Sets the data size for the untiled current page, or for tile `tile` of it. Sets the error
// field when the size is not representable or passes the allocation limit.
void t2p_read_tiff_size(t2p_context& ctx, TIFF* input);
void t2p_read_tiff_size_tile(t2p_context& ctx, TIFF* input, uint32_t tile);

// Whether tile `tile` of the current page lies on the right or the bottom edge and is narrower
// or shorter than the grid's tiles.
bool t2p_tile_is_right_edge(const TileGrid& grid, uint32_t tile);
bool t2p_tile_is_bottom_edge(const TileGrid& grid, uint32_t tile);

// The transfer tables of the selected directory: 0 (none), 1 (one table serves all) or 3.
// Tables are used only when bits per sample is 1 to 8, so the table size is known.
uint16_t t2p_transfer_tables(TIFF* input, const uint16_t* tables[3]);
// The transfer tables the page of the current directory is drawn with: none for an archival PDF,
// as PDF/A does not allow transfer functions.
uint16_t t2p_page_transfer_tables(const t2p_context& ctx, TIFF* input, const uint16_t* tables[3]);

}  // namespace tarnwell
