#include "support/Raster.h"

#include <algorithm>
#include <cstdint>

namespace tarnwell::test {

long countDifferences(const Raster& a, const Raster& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
  long n = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

Bitmap toBitmap(const Raster& raster) {
  Bitmap out(raster.width, raster.height);
  for (uint32_t y = 0; y < raster.height; ++y) {
    for (uint32_t x = 0; x < raster.width; ++x) {
      if (raster.pixels.at(std::size_t{y} * raster.width + x) < 128) out.setBlack(x, y);
    }
  }
  return out;
}

std::size_t differingPixels(const Bitmap& rendered, const Bitmap& source) {
  if (rendered.width + 1 < source.width || rendered.width > source.width + 1 ||
      rendered.rows + 1 < source.rows || rendered.rows > source.rows + 1) {
    return SIZE_MAX;
  }
  std::size_t differing = 0;
  for (uint32_t y = 0; y < std::min(rendered.rows, source.rows); ++y) {
    for (uint32_t x = 0; x < std::min(rendered.width, source.width); ++x) {
      if (rendered.black(x, y) != source.black(x, y)) ++differing;
    }
  }
  return differing;
}

}  // namespace tarnwell::test
