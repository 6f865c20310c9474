#pragma once

// The one place the copy and the PDF writer open libtiff files: the handle that closes them, the
// size limits of their buffers, the openers that set those limits and count messages, and the
// memory stream libtiff reads and writes through its client interface.

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/PageBudget.h"

namespace tarnwell {

struct TiffCloser {
  void operator()(TIFF* tiff) const noexcept {
    if (tiff != nullptr) TIFFClose(tiff);
  }
};
// An open libtiff file, closed when the handle goes away.
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Largest buffer the copy allocates for one strip, tile or whole image (512 MiB); anything
// larger is refused instead of being allocated on the word of a file header.
inline constexpr uint64_t kMaxCopyBufferBytes = platform::kCopyBufferCap;

// Largest buffer for one page of a file of `fileBytes` bytes, derived from the page budget
// (platform::copyBufferBudget): a file of a few kilobytes never costs more than 32 MiB a buffer.
inline uint64_t pageBufferBudget(uint64_t fileBytes) { return platform::copyBufferBudget(fileBytes); }

// The budget for pages of the open file `tiff`.
inline uint64_t pageBufferBudget(TIFF* tiff) {
  return pageBufferBudget(static_cast<uint64_t>(TIFFGetSizeProc(tiff)(TIFFClientdata(tiff))));
}

// True when a libtiff size is usable as a buffer size for a page of the source `in`.
inline bool usableBufferSize(TIFF* in, tmsize_t size) {
  return size > 0 && static_cast<uint64_t>(size) <= pageBufferBudget(in);
}

// Number of errors and warnings libtiff has reported for one open file. The messages still go
// on to the process-wide handlers as well, and through them to the call's collector
// (CallMessages).
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

// A TIFF held in memory, read and written by libtiff through its client interface. Reads see
// `bytes`; writes land in `written` (and `bytes` follows it), or fail when there is none.
struct TiffMemoryStream {
  std::span<const uint8_t> bytes;
  std::vector<uint8_t>* written = nullptr;
  uint64_t position = 0;
};

// Opens the TIFF in `stream` with libtiff's mode letters (no options: libtiff's defaults);
// `name` appears in libtiff's messages. `stream` must outlive the handle.
TiffHandle openMemory(TiffMemoryStream& stream, const char* name, const char* mode,
                      TIFFOpenOptions* options = nullptr);

// Opens the TIFF in `stream` for reading like openCountingMessages; `name` appears in libtiff's
// messages. `stream` and `messages` must outlive the handle.
TiffHandle openMemoryCountingMessages(TiffMemoryStream& stream, const char* name,
                                      TiffMessageCount& messages);

}  // namespace tarnwell
