#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/FaxPage.h"
#include "faxin/EngineSettings.h"
#include "faxin/tiff/TiffDirectory.h"

namespace tarnwell {

// Decodes the strips of one TIFF page, in order, into `page`: description fields from the first
// strip decoded, rows appended strip after strip and cut at ImageLength, resolutions and unit from
// the tags. Pages of BitsPerSample other than 1 or of an unknown compression keep no rows.
// Work and memory are bounded by the strip bytes and the limits, whatever the tags claim.
void describeTiffPage(const TiffView& view, const TiffPageInfo& info, FaxPage& page,
                      const DescribeLimits& limits = {});

// Expands PackBits data into at most out.size() bytes; returns the number of bytes produced.
std::size_t unpackBits(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace tarnwell
