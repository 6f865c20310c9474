#pragma once

// What one page of a file may take in memory. A header may declare any size and one bit of
// Group 4 data can stand for a whole row, so what a page may hold follows the bytes that came
// with it.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tarnwell::platform {

// Every file may have a page of this many bytes: an A3 fax page at 400 lines per inch takes
// 4.2 MB, an A0 drawing at 200 dots per inch 7.7 MB.
inline constexpr uint64_t kPageBudgetFloor = uint64_t{8} << 20;
// Beyond that, a page may take this many bytes for each byte of the file...
inline constexpr uint64_t kPageBudgetPerFileByte = 32;
// ...and never more than this.
inline constexpr uint64_t kPageBudgetCap = uint64_t{128} << 20;

// The decoded bitmap one page of a file of `fileBytes` bytes may take: 8 MiB, or 32 times the
// file's bytes when that is more, never past 128 MiB. A file of 1 MB gets 32 MiB.
constexpr uint64_t pageBudget(uint64_t fileBytes) {
  if (fileBytes > kPageBudgetCap / kPageBudgetPerFileByte) return kPageBudgetCap;
  return std::max(kPageBudgetFloor, fileBytes * kPageBudgetPerFileByte);
}

// The buffers of the TIFF copy step, which reads any TIFF and not only fax pages: a page there
// may be colour, up to four bytes a pixel, and its codings (JPEG, LZW, Deflate) pack a page up
// to eight times tighter than the fax codings. So one buffer may take four times the page budget
// of a file eight times as large: 32 MiB, or 1024 times the file's bytes, never past 512 MiB
// (a bilevel A0 page at 1200 pixels per inch needs about 280 MiB).
inline constexpr uint64_t kCopyBytesPerPageByte = 4;
inline constexpr uint64_t kCopyCodingDensity = 8;
inline constexpr uint64_t kCopyBufferCap = kCopyBytesPerPageByte * kPageBudgetCap;

constexpr uint64_t copyBufferBudget(uint64_t fileBytes) {
  const uint64_t asFaxBytes = fileBytes > std::numeric_limits<uint64_t>::max() / kCopyCodingDensity
                                  ? std::numeric_limits<uint64_t>::max()
                                  : fileBytes * kCopyCodingDensity;
  return kCopyBytesPerPageByte * pageBudget(asFaxBytes);
}

}  // namespace tarnwell::platform
