#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwell {

// PackBits encoder of TIFF compression 32773, used to re-encode decoded bitmaps.
//
// Encodes one row into `output` (the room left in the whole page's output buffer, so a page can
// never grow past that buffer). Before each emitted group at least three bytes of room must be
// left; otherwise the result is -1 and the caller falls back to the uncompressed bitmap.
// Returns the number of bytes written.
[[nodiscard]] std::ptrdiff_t packBitsEncode(std::span<const uint8_t> row,
                                            std::span<uint8_t> output);

// Encodes `input` as consecutive rows of `rowLength` bytes (the last row may be shorter), each on
// its own, appended one after another into `output`. Returns the total size written, or -1 as
// soon as a row does not fit (also for a row length of 0 with non-empty input).
[[nodiscard]] std::ptrdiff_t packBitsEncodeRows(std::span<const uint8_t> input,
                                                std::span<uint8_t> output,
                                                std::size_t rowLength);

}  // namespace tarnwell
