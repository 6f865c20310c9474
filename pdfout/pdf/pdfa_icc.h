#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwell {

// The sRGB colour profile (IEC 61966-2.1) of the archival PDF's output intent, built here as an
// ICC version 2.1 display profile: sRGB primaries adapted to the D50 connection space, the D65
// white point, and the sRGB tone curve as a table of 1024 entries. About 3 KB; the same bytes on
// every run.
[[nodiscard]] std::vector<uint8_t> srgbIccProfile();

// Whether an ICC profile from a file may colour an archival page with `channels` samples per
// pixel: a whole profile header, the "acsp" signature, a declared size within the bytes, version
// 2 (what PDF/A-1 allows) and a colour space of that many channels (gray, RGB or CMYK).
[[nodiscard]] bool archivalIccProfile(std::span<const uint8_t> profile, unsigned channels);

}  // namespace tarnwell
