#pragma once

// Group 4 straight through: a one-strip Group 4 page that goes into a one-strip Group 4 page is
// copied as its own coded bytes instead of being decoded and encoded again, once the bytes have
// been checked to decode into every row of the page without a single fault.

#include <tiffio.h>

#include <cstdint>
#include <span>

#include "codec/FaxGroup4Check.h"
#include "codec/WholeStripChecks.h"
#include "pdfout/copy/tiff_copy_image.h"
#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {

enum class RawCopy {
  Copied,      // the source's coded bytes are the output strip
  NotCopied,   // the page does not qualify or its data is not clean; nothing was written
  WriteFailed  // the output refused the strip
};

// Copies the current page's Group 4 strip unchanged (bit-reversed when the output's fill order
// differs from the source's) when source and output are both Group 4 in one strip, one bit per
// pixel, the strip is read without any message and group4StripIsWhole accepts it. With
// `knownWhole` (a strip this program coded itself from decoded rows, or checked before) the
// strip is not decoded again for that check. With `later`, the check may be left to its helper
// thread (under the source's directory number): the strip is then copied before it is known
// whole, and the caller must copy the file again when `later` finds it was not.
RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages, bool knownWhole = false,
                            WholeStripChecks* later = nullptr);

}  // namespace tarnwell
