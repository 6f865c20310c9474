#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwell {

// In-place sample converters. Each works on at most `pixels` pixels and never past the end of
// the buffer, and returns the new byte count.

// R G B A to R G B.
size_t t2p_sample_rgba_to_rgb(std::span<uint8_t> buffer, size_t pixels);
// Premultiplied R G B A to R G B on white: each colour plus (255 - A), wrapping.
size_t t2p_sample_rgbaa_to_rgb(std::span<uint8_t> buffer, size_t pixels);
// 32-bit raster values (red in the low byte) to R G B.
size_t t2p_sample_abgr_to_rgb(std::span<uint8_t> buffer, size_t pixels);
// L a b with signed a and b to L a b with a and b offset by 128.
size_t t2p_sample_lab_signed_to_unsigned(std::span<uint8_t> buffer, size_t pixels);
// `planes` equal planes of `planeSize` bytes, one after the other in `source`, interleaved
// into `target` (byte j of plane k to j * planes + k). Returns the bytes written.
size_t t2p_sample_planar_separate_to_contig(std::span<uint8_t> target,
                                            std::span<const uint8_t> source, size_t planeSize,
                                            unsigned planes);

}  // namespace tarnwell
