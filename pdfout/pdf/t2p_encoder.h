#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pdfout/pdf/t2p_context.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {

// Samples of one image ready for the PDF stream.
struct EncodeRequest {
  std::span<const uint8_t> samples;  // rows of whole bytes, top row first
  uint32_t width = 0, length = 0;
  uint16_t bitsPerSample = 1, samplesPerPixel = 1;
  uint16_t photometric = 0;
  int pdfCompression = kPdfCompressionNone;
};

// Writes the image data to the PDF: the samples unchanged when uncompressed, otherwise one
// single-strip encoding by libtiff's CCITT Group 4 or Deflate codec (made in memory, then
// copied).
// `written` receives the stream length. False when encoding or writing failed.
[[nodiscard]] bool t2p_encode_image(const EncodeRequest& request, PdfSink& out,
                                    uint64_t& written);

// The bytes as one zlib stream (FlateDecode), coded by libtiff's Deflate codec. False when
// coding failed or memory ran out.
[[nodiscard]] bool t2p_deflate(std::span<const uint8_t> bytes, std::vector<uint8_t>& coded);

// Bytes of one row of `width` pixels.
uint64_t t2p_row_bytes(uint32_t width, uint16_t bitsPerSample, uint16_t samplesPerPixel);

}  // namespace tarnwell
