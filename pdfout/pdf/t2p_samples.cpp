#include "pdfout/pdf/t2p_samples.h"

#include <algorithm>
#include <cstring>

namespace tarnwell {

size_t t2p_sample_rgba_to_rgb(std::span<uint8_t> buffer, size_t pixels) {
  const size_t n = std::min(pixels, buffer.size() / 4);
  for (size_t i = 0; i < n; ++i) {
    buffer[3 * i] = buffer[4 * i];
    buffer[3 * i + 1] = buffer[4 * i + 1];
    buffer[3 * i + 2] = buffer[4 * i + 2];
  }
  return 3 * n;
}

size_t t2p_sample_rgbaa_to_rgb(std::span<uint8_t> buffer, size_t pixels) {
  const size_t n = std::min(pixels, buffer.size() / 4);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t add = static_cast<uint8_t>(255 - buffer[4 * i + 3]);
    buffer[3 * i] = static_cast<uint8_t>(buffer[4 * i] + add);
    buffer[3 * i + 1] = static_cast<uint8_t>(buffer[4 * i + 1] + add);
    buffer[3 * i + 2] = static_cast<uint8_t>(buffer[4 * i + 2] + add);
  }
  return 3 * n;
}

size_t t2p_sample_abgr_to_rgb(std::span<uint8_t> buffer, size_t pixels) {
  // The raster holds native 32-bit values; red is the least significant byte.
  const size_t n = std::min(pixels, buffer.size() / 4);
  for (size_t i = 0; i < n; ++i) {
    uint32_t value = 0;
    std::memcpy(&value, buffer.data() + 4 * i, sizeof value);
    buffer[3 * i] = static_cast<uint8_t>(value);
    buffer[3 * i + 1] = static_cast<uint8_t>(value >> 8);
    buffer[3 * i + 2] = static_cast<uint8_t>(value >> 16);
  }
  return 3 * n;
}

size_t t2p_sample_lab_signed_to_unsigned(std::span<uint8_t> buffer, size_t pixels) {
  const size_t n = std::min(pixels, buffer.size() / 3);
  for (size_t i = 0; i < n; ++i) {
    for (size_t k = 1; k < 3; ++k) {
      uint8_t& v = buffer[3 * i + k];
      v = (v & 0x80) != 0 ? static_cast<uint8_t>(v + 0x80) : static_cast<uint8_t>(v | 0x80);
    }
  }
  return 3 * n;
}

size_t t2p_sample_planar_separate_to_contig(std::span<uint8_t> target,
                                            std::span<const uint8_t> source, size_t planeSize,
                                            unsigned planes) {
  if (planes == 0) return 0;
  planeSize = std::min(planeSize, source.size() / planes);
  planeSize = std::min(planeSize, target.size() / planes);
  for (unsigned k = 0; k < planes; ++k) {
    const uint8_t* plane = source.data() + k * planeSize;
    for (size_t j = 0; j < planeSize; ++j) target[j * planes + k] = plane[j];
  }
  return planeSize * planes;
}

size_t t2p_sample_cmyk_to_rgb(std::span<const uint8_t> source, std::span<uint8_t> target,
                              uint32_t width, uint32_t rows, uint16_t bits, bool inverted) {
  if (width == 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8)) return 0;
  const uint64_t sourceRow = (uint64_t{width} * 4 * bits + 7) / 8;
  const uint64_t targetRow = uint64_t{width} * 3;
  const uint64_t whole = std::min<uint64_t>({rows, source.size() / sourceRow,
                                             target.size() / targetRow});
  const unsigned most = (1u << bits) - 1;
  for (uint64_t r = 0; r < whole; ++r) {
    const uint8_t* in = source.data() + r * sourceRow;
    uint8_t* out = target.data() + r * targetRow;
    for (uint32_t x = 0; x < width; ++x) {
      unsigned ink[4];
      for (unsigned k = 0; k < 4; ++k) {
        const uint64_t bit = (uint64_t{x} * 4 + k) * bits;
        unsigned v = (in[bit / 8] >> (8 - bits - bit % 8)) & most;
        if (inverted) v = most - v;
        ink[k] = v * 255 / most;
      }
      // Written after all four samples of the pixel were read: in place, the pixel's RGB
      // overlaps its own CMYK bytes but never a later pixel's.
      for (unsigned c = 0; c < 3; ++c)
        out[3 * x + c] = static_cast<uint8_t>(255 - std::min(255u, ink[c] + ink[3]));
    }
  }
  return static_cast<size_t>(whole * targetRow);
}

}  // namespace tarnwell
