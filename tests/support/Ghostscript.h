#pragma once

// Ghostscript as an independent renderer of the PDFs the program writes.

#include <string>

#include "support/Raster.h"

namespace tarnwell::test {

// Renders one page (from 1) at the given resolution into an 8-bit gray raster; false when
// Ghostscript fails. The bmpgray device reproduces 8-bit gray samples exactly (pgmraw rounds
// some odd values down by one); a page rendered at its image's own resolution matches the
// image pixel for pixel.
bool renderPdfPage(const std::string& pdfPath, int page, float xdpi, float ydpi, Raster& out);

struct PageComparison {
  int pages = 0;         // pages compared
  std::string problems;  // empty when every page matches
};
// Renders every page of the PDF at the resolution of the TIFF directory it came from (300 dpi
// when absent, centimetres converted, turned for orientations 5 to 8) and compares it pixel by
// pixel with the directory as libtiff decodes it. A palette page matches when every index shows
// one gray throughout and entries of different colours show different grays. Directories the
// PDF writer makes no page of (reduced images) are skipped.
PageComparison comparePdfWithTiff(const std::string& pdfPath, const std::string& tiffPath);

}  // namespace tarnwell::test
