#include "tiff_copy_pipeline.h"

#include <tiffio.h>

#include <map>
#include <memory>

#include "pdf_test_util.h"
#include "pdfout/t2p.h"
#include "pdfout/tiff_copy.h"

namespace tarnwell::copytest {

namespace {

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
long paletteDifferences(TIFF* t, const testutil::Raster& indexes,
                        const testutil::Raster& rendered) {
  if (indexes.width != rendered.width || indexes.height != rendered.height) return -1;
  uint16_t bits = 1;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue);
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

PipelineResult convertAndCompare(const std::string& source, int compressionChoice,
                                 const std::string& workDir) {
  PipelineResult result;
  const std::string ready = workDir + "/ready.tif", pdf = workDir + "/out.pdf";
  TiffCopyOptions options;
  options.compression = compressionChoice;
  result.copyResult = tiff_copy_file(source, ready, options);
  if (result.copyResult != 0) {
    result.problems = "copy failed with " + std::to_string(result.copyResult);
    return result;
  }
  result.pdfResult = t2p_convert_file(ready, pdf, 0);
  if (result.pdfResult != 0) {
    result.problems = "PDF writer failed";
    return result;
  }
  std::string qpdfOutput;
  if (!testutil::qpdfCheck(pdf, &qpdfOutput))
    result.problems += "qpdf --check: " + qpdfOutput + "\n";
  const std::string xref = testutil::xrefProblems(testutil::readFileBytes(pdf));
  if (!xref.empty()) result.problems += "xref: " + xref + "\n";

  std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(ready.c_str(), "r"));
  if (!tiff) {
    result.problems += "PDF-ready TIFF cannot be opened\n";
    return result;
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
    testutil::Raster expected, rendered;
    const std::string where = "page " + std::to_string(page) + ": ";
    if (!testutil::decodeTiffDirectory(ready, static_cast<uint16_t>(d), expected)) {
      result.problems += where + "not a gray image the test can decode\n";
      continue;
    }
    if (!testutil::renderPdfPage(pdf, page, x, y, rendered)) {
      result.problems += where + "Ghostscript cannot render it\n";
      continue;
    }
    uint16_t photometric = 0;
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    const long differences = photometric == PHOTOMETRIC_PALETTE
                                 ? paletteDifferences(tiff.get(), expected, rendered)
                                 : testutil::countDifferences(expected, rendered);
    if (differences != 0) {
      result.problems += where +
                         (differences < 0 ? "size differs (" + std::to_string(rendered.width) +
                                                "x" + std::to_string(rendered.height) +
                                                " rendered, " + std::to_string(expected.width) +
                                                "x" + std::to_string(expected.height) + " expected)"
                                          : std::to_string(differences) + " pixels differ") +
                         "\n";
    }
    ++result.pages;
  }
  return result;
}

}  // namespace tarnwell::copytest
