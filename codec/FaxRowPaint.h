#pragma once

#include <cstdint>
#include <span>

namespace tarnwell {

// Paints a whole row from its colour changes (as the decoding loops report them, first run
// white): the first (width + 7) / 8 bytes of `row` are rewritten; a pixel before `length` gets a
// 1 bit when its colour XOR photometric is 0 (white pixels when photometric is 0), every other
// bit is 0. Widths beyond the bytes of `row` are cut to them.
void paintRow(std::span<const int32_t> changes, int64_t length, int32_t width, int photometric,
              std::span<uint8_t> row);

}  // namespace tarnwell
