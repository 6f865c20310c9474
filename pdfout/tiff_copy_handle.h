#pragma once

// Ownership and size limits shared by the parts of the TIFF page copy.

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <memory>

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

}  // namespace tarnwell
