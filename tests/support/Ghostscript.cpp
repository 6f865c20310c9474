#include "support/Ghostscript.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>

#include <tiffio.h>

#include "support/LibtiffReader.h"
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

struct Closer {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};

// Pixels per inch as the PDF writer reads them: 300 when absent, centimetres converted.
void resolutionOf(TIFF* t, float& x, float& y) {
  x = 0;
  y = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetField(t, TIFFTAG_XRESOLUTION, &x);
  TIFFGetField(t, TIFFTAG_YRESOLUTION, &y);
  TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit == RESUNIT_CENTIMETER) {
    x *= 2.54f;
    y *= 2.54f;
  }
  if (x == 0) x = 300;
  if (y == 0) y = 300;
}

// Whether the PDF writer makes a page of the current directory.
bool isPage(TIFF* t) {
  uint16_t a = 0, b = 0;
  uint32_t subfile = 0;
  if (TIFFGetField(t, TIFFTAG_PAGENUMBER, &a, &b)) return true;
  if (TIFFGetField(t, TIFFTAG_SUBFILETYPE, &subfile))
    return subfile == 0 || (subfile & FILETYPE_PAGE) != 0;
  return true;
}

// A palette image decodes to its indexes, and the renderer's colour conversion decides the gray
// of each colour-map entry. The page matches when every index shows one gray throughout and
// entries of different colours show different grays. -1 when the sizes differ.
long paletteDifferences(TIFF* t, const Raster& indexes, const Raster& rendered) {
  if (indexes.width != rendered.width || indexes.height != rendered.height) return -1;
  uint16_t bits = 1;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || red == nullptr) return -1;
  const uint32_t maxIndex = (1u << bits) - 1;
  std::map<uint32_t, uint8_t> grayOf;
  long n = 0;
  for (size_t i = 0; i < indexes.pixels.size(); ++i) {
    const uint32_t index = indexes.pixels[i] * maxIndex / 255;
    const auto [at, fresh] = grayOf.emplace(index, rendered.pixels[i]);
    n += !fresh && at->second != rendered.pixels[i];
  }
  for (const auto& [a, grayA] : grayOf) {
    for (const auto& [b, grayB] : grayOf) {
      const bool sameColour = red[a] == red[b] && green[a] == green[b] && blue[a] == blue[b];
      if (a < b && grayA == grayB && !sameColour) ++n;
    }
  }
  return n;
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

PageComparison comparePdfWithTiff(const std::string& pdfPath, const std::string& tiffPath) {
  PageComparison comparison;
  std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(tiffPath.c_str(), "r"));
  if (!tiff) {
    comparison.problems += "the TIFF cannot be opened\n";
    return comparison;
  }
  const tdir_t directories = TIFFNumberOfDirectories(tiff.get());
  int page = 0;
  for (tdir_t d = 0; d < directories; ++d) {
    if (!TIFFSetDirectory(tiff.get(), d) || !isPage(tiff.get())) continue;
    ++page;
    float x = 0, y = 0;
    resolutionOf(tiff.get(), x, y);
    uint16_t orientation = 1;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    if (orientation >= 5) std::swap(x, y);  // the page shows the image turned
    Raster expected, rendered;
    const std::string where = "page " + std::to_string(page) + ": ";
    if (!decodeTiffDirectory(tiffPath, static_cast<uint16_t>(d), expected)) {
      comparison.problems += where + "not a gray image the test can decode\n";
      continue;
    }
    if (!renderPdfPage(pdfPath, page, x, y, rendered)) {
      comparison.problems += where + "Ghostscript cannot render it\n";
      continue;
    }
    uint16_t photometric = 0;
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    const long differences = photometric == PHOTOMETRIC_PALETTE
                                 ? paletteDifferences(tiff.get(), expected, rendered)
                                 : countDifferences(expected, rendered);
    if (differences != 0) {
      comparison.problems +=
          where +
          (differences < 0 ? "size differs (" + std::to_string(rendered.width) + "x" +
                                 std::to_string(rendered.height) + " rendered, " +
                                 std::to_string(expected.width) + "x" +
                                 std::to_string(expected.height) + " expected)"
                           : std::to_string(differences) + " pixels differ") +
          "\n";
    }
    ++comparison.pages;
  }
  return comparison;
}

}  // namespace tarnwell::test
