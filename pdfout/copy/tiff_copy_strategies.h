#pragma once

// Moving the pixel data of one image from the source to the output: decoded with the source's
// codec, encoded with the output's. Read errors are ignored (the area read stays zero and the
// copy goes on); a failed write fails the image.

#include <tiffio.h>

#include "pdfout/copy/tiff_copy_image.h"

namespace tarnwell {

// Picks the strategy for the image's layouts and runs it. False when the image cannot be
// copied (no strategy, absurd sizes, a write refused by the output).
bool copyImageData(TIFF* in, TIFF* out, const ImageShape& shape, const char* sourceName);

}  // namespace tarnwell
