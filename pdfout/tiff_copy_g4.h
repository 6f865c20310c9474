#pragma once

// Group 4 straight through: a one-strip Group 4 page that goes into a one-strip Group 4 page is
// copied as its own coded bytes instead of being decoded and encoded again, once the bytes have
// been checked to decode into every row of the page without a single fault.

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

// The most libtiff may allocate at once for a page of the file at `path` (pageBufferBudget).
uint64_t allocationBudget(const char* path);

// Lets libtiff allocate no more at once for the file at `path` than pageBufferBudget allows a
// page of it.
void setAllocationBudget(TIFFOpenOptions* options, const char* path);

// Opens the TIFF a copy writes, like TIFFOpen, letting libtiff allocate no more at once than
// `budget`, the source's page budget: the encoders size their buffers from the page's width and
// strips, which a small source can declare at any size.
TiffHandle openOutput(const char* path, const char* mode, uint64_t budget);

// Opens a TIFF like TIFFOpen with setAllocationBudget.
TiffHandle openWithBudget(const char* path, const char* mode);

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
// pixel, the strip is read without any message and group4StripIsWhole accepts it.
RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages);

}  // namespace tarnwell
