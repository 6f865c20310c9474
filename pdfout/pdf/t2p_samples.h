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

// CMYK pixels to RGB as PDF's device colour spaces relate them (each of R, G, B is one less the
// sum of its ink and black, at least 0): `rows` rows of `width` pixels of `bits` bits per sample
// (each row padded to a whole byte) from `source` to 8-bit R G B rows in `target`. `inverted`:
// the samples count ink inversely (0 is full ink). Only whole rows present in both buffers are
// converted. `target` may be `source` when bits is 8. Returns the bytes written.
size_t t2p_sample_cmyk_to_rgb(std::span<const uint8_t> source, std::span<uint8_t> target,
                              uint32_t width, uint32_t rows, uint16_t bits, bool inverted);

}  // namespace tarnwell
