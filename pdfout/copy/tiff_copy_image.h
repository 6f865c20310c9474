#pragma once

// Per-image set-up of the TIFF page copy: which fields of the output image are written, from
// the source image and the copy's settings.

#include <tiffio.h>

#include <cstdint>

#include "pdfout/copy/tiff_copy_options.h"

namespace tarnwell {

// The settings of one copy call, derived from its options.
struct CopySettings {
  int compression = -1;        // output Compression, -1 keeps each source image's own
  int jpegQuality = 75;
  uint16_t fillOrder = 0;  // 0 copies the source's
  int tiling = -1;         // -1 as the first source image, 0 strips, 1 tiles
};

// Applies the compression choice of the options: 6 Group 4, any other value keeps each image's
// own compression.
CopySettings copySettingsFor(const TiffCopyOptions& options);

// What the data copy needs to know about the image being copied.
struct ImageShape {
  uint32_t width = 0;
  uint32_t length = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t inputPlanar = PLANARCONFIG_CONTIG;
  uint16_t outputPlanar = PLANARCONFIG_CONTIG;
  bool inputTiled = false;
  bool outputTiled = false;
};

// Sets every field of the output's current directory from the source's current directory, in
// the order libtiff needs them. False when the output refuses a field the image cannot do
// without (size, compression).
bool setUpOutputImage(TIFF* in, TIFF* out, const CopySettings& settings, bool tiledOutput,
                      const char* sourceName, ImageShape& shape);

}  // namespace tarnwell
