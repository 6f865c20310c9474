#pragma once

// Ownership and size limits shared by the parts of the TIFF page copy.

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarnwell {

struct TiffCloser {
  void operator()(TIFF* tiff) const noexcept {
    if (tiff != nullptr) TIFFClose(tiff);
  }
};
// An open libtiff file, closed when the handle goes away.
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Largest buffer the copy allocates for one strip, tile or whole image (512 MiB). A bilevel
// A0 page at 1200 pixels per inch needs about 280 MiB; anything larger is refused instead of
// being allocated on the word of a file header.
inline constexpr uint64_t kMaxCopyBufferBytes = uint64_t{512} << 20;

// True when a libtiff size is usable as a buffer size for the copy.
inline bool usableBufferSize(tmsize_t size) {
  return size > 0 && static_cast<uint64_t>(size) <= kMaxCopyBufferBytes;
}

}  // namespace tarnwell
