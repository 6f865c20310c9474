#pragma once

// The whole-image copy: used when the source and the output differ in layout (strips and
// tiles, or tiles of different sizes). The image is decoded entirely into memory, one buffer
// per sample plane, and then cut into the output's strips or tiles.

#include <tiffio.h>

#include "pdfout/copy/tiff_copy_image.h"

namespace tarnwell {

bool copyWholeImage(TIFF* in, TIFF* out, const ImageShape& shape, const char* sourceName);

}  // namespace tarnwell
