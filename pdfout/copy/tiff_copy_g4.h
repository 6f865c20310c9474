#pragma once

// Group 4 straight through: a one-strip Group 4 page that goes into a one-strip Group 4 page is
// copied as its own coded bytes instead of being decoded and encoded again, once the bytes have
// been checked to decode into every row of the page without a single fault.

#include <tiffio.h>

#include <cstdint>
#include <span>

#include "pdfout/copy/tiff_copy_image.h"
#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {

// True when `coded` (Group 4, least significant bit first when leastBitFirst) decodes into at
// least `rows` rows of exactly `width` pixels, each ended by its own last code, with no invalid
// code, end-of-line or end-of-block before them and no row of nearly 4 coded bits a pixel.
// Data after those rows is not looked at, as libtiff does not look at it either. The check is
// meant to be at least as strict as a libtiff decode that reports no error or warning and fills
// every row, so that a strip it accepts is one libtiff would decode cleanly too.
bool group4StripIsWhole(std::span<const uint8_t> coded, uint32_t width, uint32_t rows,
                        bool leastBitFirst);

enum class RawCopy {
  Copied,      // the source's coded bytes are the output strip
  NotCopied,   // the page does not qualify or its data is not clean; nothing was written
  WriteFailed  // the output refused the strip
};

// Copies the current page's Group 4 strip unchanged (bit-reversed when the output's fill order
// differs from the source's) when source and output are both Group 4 in one strip, one bit per
// pixel, the strip is read without any message and group4StripIsWhole accepts it. With
// `knownWhole` (a strip this program coded itself from decoded rows) the strip is not decoded
// again for that check.
RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages, bool knownWhole = false);

}  // namespace tarnwell
