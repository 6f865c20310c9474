#pragma once

#include <cstdint>

namespace tarnwell {

// Options of the TIFF page copy, five 32-bit fields in this order.
struct TiffCopyOptions {
  int32_t compression = 6;   // 6 Group 4, -1 keep the source's compression; see tiff_copy_file
  int32_t jpegQuality = 75;
  int32_t fillOrder = 0;     // 0 copies the source's FillOrder
  int32_t tiling = -1;       // -1 as the source's first image, 0 strips, 1 tiles
  int32_t append = 0;        // non-zero appends to an existing TIFF
};

}  // namespace tarnwell
