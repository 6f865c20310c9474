#pragma once

// Group 4 straight through: a one-strip Group 4 page that goes into a one-strip Group 4 page is
// copied as its own coded bytes instead of being decoded and encoded again, once libtiff has
// decoded those bytes cleanly into every row of the page.

#include <tiffio.h>

#include <cstdint>
#include <span>

#include "pdfout/tiff_copy_handle.h"
#include "pdfout/tiff_copy_image.h"

namespace tarnwell {

// Number of errors and warnings libtiff has reported for one open file. The messages still go
// on to the process-wide handlers as well.
struct TiffMessageCount {
  bool counting = false;  // false when the handle could not be opened with the counter
  unsigned long count = 0;
};

// Opens a TIFF like TIFFOpen, counting the messages reported for it in `messages`, which must
// outlive the handle.
TiffHandle openCountingMessages(const char* path, const char* mode, TiffMessageCount& messages);

// A TIFF held in memory, read by libtiff through its client interface.
struct TiffMemoryStream {
  std::span<const uint8_t> bytes;
  uint64_t position = 0;
};

// Opens the TIFF in `stream` for reading like openCountingMessages; `name` appears in libtiff's
// messages. `stream` and `messages` must outlive the handle.
TiffHandle openMemoryCountingMessages(TiffMemoryStream& stream, const char* name,
                                      TiffMessageCount& messages);

enum class RawCopy {
  Copied,      // the source's coded bytes are the output strip
  NotCopied,   // the page does not qualify or its data is not clean; nothing was written
  WriteFailed  // the output refused the strip
};

// Copies the current page's Group 4 strip unchanged (bit-reversed when the output's fill order
// differs from the source's) when source and output are both Group 4 in one strip, one bit per
// pixel, and the strip decodes without any message into all the page's rows.
RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages);

}  // namespace tarnwell
