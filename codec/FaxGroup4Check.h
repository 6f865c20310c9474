#pragma once

// The whole-strip check of Group 4 data: does a strip decode into every row of its page without
// a single fault? The fax engine runs it on the Group 4 strips it copies from its sources, and the
// PDF stage on strips it has not been told about, before such a strip goes into the PDF as it is.

#include <cstdint>
#include <span>

namespace tarnwell {

// True when `coded` (Group 4, least significant bit first when leastBitFirst) decodes into at
// least `rows` rows of exactly `width` pixels, each ended by its own last code, with no invalid
// code, end-of-line or end-of-block before them and no row of nearly 4 coded bits a pixel.
// Data after those rows is not looked at, as libtiff does not look at it either. The check is
// meant to be at least as strict as a libtiff decode that reports no error or warning and fills
// every row, so that a strip it accepts is one libtiff would decode cleanly too.
bool group4StripIsWhole(std::span<const uint8_t> coded, uint32_t width, uint32_t rows,
                        bool leastBitFirst);

}  // namespace tarnwell
