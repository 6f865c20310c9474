#pragma once

// The photometric interpretation of a TIFF directory, as the copy and the PDF writer read it.

#include <tiffio.h>

#include <cstdint>

namespace tarnwell {

// The PhotometricInterpretation of the current directory. A bilevel page coded as fax data
// (modified Huffman, Group 3 or Group 4) without the tag is read as min-is-white, the TIFF
// convention for fax data: its 0 bits are white. False when the tag is absent from any other page.
bool tiff_read_photometric(TIFF* tif, uint16_t& photometric);

}  // namespace tarnwell
