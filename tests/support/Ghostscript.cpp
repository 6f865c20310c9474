#include "support/Ghostscript.h"

#include <cstdint>
#include <cstdio>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::test {

namespace {

uint32_t le32(const std::string& b, std::size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// An 8-bit paletted BMP as Ghostscript's bmpgray device writes it.
bool parseGrayBmp(const std::string& b, Raster& out) {
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0) return false;
  const uint32_t dataOffset = le32(b, 10), infoSize = le32(b, 14);
  const auto width = static_cast<int32_t>(le32(b, 18));
  const auto height = static_cast<int32_t>(le32(b, 22));
  const uint32_t bits = static_cast<uint8_t>(b[28]) | static_cast<uint8_t>(b[29]) << 8;
  if (bits != 8 || width <= 0 || height == 0 || height == INT32_MIN) return false;
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  const uint64_t stride = (static_cast<uint64_t>(width) + 3) / 4 * 4;
  const uint64_t palette = 14 + uint64_t{infoSize};
  if (palette + 256 * 4 > b.size() || dataOffset + stride * rows > b.size()) return false;
  out.width = static_cast<uint32_t>(width);
  out.height = rows;
  out.pixels.resize(uint64_t{out.width} * rows);
  for (uint32_t y = 0; y < rows; ++y) {
    const uint32_t stored = height < 0 ? y : rows - 1 - y;  // bottom-up unless height < 0
    for (uint32_t x = 0; x < out.width; ++x) {
      const auto index = static_cast<uint8_t>(b[dataOffset + stored * stride + x]);
      out.pixels[uint64_t{y} * out.width + x] = static_cast<uint8_t>(b[palette + 4 * index]);
    }
  }
  return true;
}

}  // namespace

bool renderPdfPage(const std::string& pdfPath, int page, float xdpi, float ydpi, Raster& out) {
  TempTree scratch;
  const std::string bmp = scratch.path("page.bmp");
  char resolution[64];
  std::snprintf(resolution, sizeof resolution, "-r%gx%g", xdpi, ydpi);
  const std::string command = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bmpgray " +
                              std::string(resolution) + " -dFirstPage=" + std::to_string(page) +
                              " -dLastPage=" + std::to_string(page) + " -sOutputFile=" +
                              shellQuote(bmp) + " " + shellQuote(pdfPath);
  if (runCommand(command).exitCode != 0) return false;
  return parseGrayBmp(readText(bmp), out);
}

}  // namespace tarnwell::test
