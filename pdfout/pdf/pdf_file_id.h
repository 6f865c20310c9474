#pragma once

namespace tarnwell {

// How many values of the thread's generator (platform::threadRand) each written PDF draws for
// its file identifier.
inline constexpr int kPdfIdRandomValues = 4;

}  // namespace tarnwell
