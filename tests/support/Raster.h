#pragma once

// An 8-bit gray picture as shown on screen (0 black, 255 white): what a PDF page renders to and
// what a TIFF directory looks like upright.

#include <cstdint>
#include <vector>

#include "support/Bitmap.h"

namespace tarnwell::test {

struct Raster {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool operator==(const Raster&) const = default;
};

// Number of differing pixels, or -1 when the sizes differ.
long countDifferences(const Raster& a, const Raster& b);

// The raster as a bilevel page: pixels darker than the middle gray are black.
Bitmap toBitmap(const Raster& raster);

// Pixels that differ between a rendered page and its source over the source's area; the
// rendering may be one pixel larger or smaller each way where the page size was rounded.
// SIZE_MAX when the sizes differ by more.
std::size_t differingPixels(const Bitmap& rendered, const Bitmap& source);

}  // namespace tarnwell::test
