#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/FaxPage.h"
#include "faxin/tiff/TiffDirectory.h"

namespace tarnwell {

// Limits of describing a TIFF page: wider pages or larger bitmaps are not decoded (they describe
// as empty, while their coded bytes can still be copied).
struct DescribeLimits {
  uint32_t maxWidth = 1u << 16;
  std::size_t maxBitmapBytes = std::size_t{1} << 27;
};

// The engine's page budget for a file of `fileBytes` bytes: the default limits, with a bitmap of
// at most 8 MiB (an A3 fax page at 400 lines per inch takes 4.2 MB, an A0 drawing at 200 dots per
// inch 7.7 MB) or 32 times the file's bytes when that is more, never past the default's 128 MiB.
// A header may declare any size and one bit of Group 4 data can stand for a whole row, so what
// one page may hold follows the bytes that came with it: a file of 1 MB gets 32 MiB.
inline DescribeLimits describeLimitsForFile(uint64_t fileBytes) {
  constexpr uint64_t kFloor = uint64_t{8} << 20;
  constexpr uint64_t kPerFileByte = 32;
  DescribeLimits limits;
  const uint64_t byData = fileBytes > limits.maxBitmapBytes / kPerFileByte
                              ? limits.maxBitmapBytes
                              : std::max(kFloor, fileBytes * kPerFileByte);
  limits.maxBitmapBytes = static_cast<std::size_t>(byData);
  return limits;
}

// Decodes the strips of one TIFF page, in order, into `page`: description fields from the first
// strip decoded, rows appended strip after strip and cut at ImageLength, resolutions and unit from
// the tags. Pages of BitsPerSample other than 1 or of an unknown compression keep no rows.
// Work and memory are bounded by the strip bytes and the limits, whatever the tags claim.
void describeTiffPage(const TiffView& view, const TiffPageInfo& info, FaxPage& page,
                      const DescribeLimits& limits = {});

// Expands PackBits data into at most out.size() bytes; returns the number of bytes produced.
std::size_t unpackBits(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace tarnwell
