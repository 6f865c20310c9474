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

// What a page of any file may take (32 MiB): a colour A4 page at 300 pixels per inch (26 MB)
// or a bilevel page of 10000 x 14000 pixels (17 MB), whose blank rows code in a bit each.
inline constexpr uint64_t kAnyFileBufferBytes = uint64_t{32} << 20;

// Beyond that, a page may take this many times the file's bytes: more than the usual codings
// expand to on real pages.
inline constexpr uint64_t kBufferPerFileByte = 1024;

// Largest buffer for one page of a file of `fileBytes` bytes. A header may declare any size;
// what a buffer may hold follows what the file's bytes could hold, so a file of a few kilobytes
// never costs more than kAnyFileBufferBytes a buffer.
inline uint64_t pageBufferBudget(uint64_t fileBytes) {
  if (fileBytes >= kMaxCopyBufferBytes / kBufferPerFileByte) return kMaxCopyBufferBytes;
  const uint64_t byData = fileBytes * kBufferPerFileByte;
  return byData > kAnyFileBufferBytes ? byData : kAnyFileBufferBytes;
}

// The budget for pages of the open file `tiff`.
inline uint64_t pageBufferBudget(TIFF* tiff) {
  return pageBufferBudget(static_cast<uint64_t>(TIFFGetSizeProc(tiff)(TIFFClientdata(tiff))));
}

// True when a libtiff size is usable as a buffer size for a page of the source `in`.
inline bool usableBufferSize(TIFF* in, tmsize_t size) {
  return size > 0 && static_cast<uint64_t>(size) <= pageBufferBudget(in);
}

}  // namespace tarnwell
