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

}  // namespace tarnwell::test
