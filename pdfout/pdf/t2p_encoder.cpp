#include "pdfout/pdf/t2p_encoder.h"

#include <tiffio.h>

#include <new>
#include <vector>

#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {
namespace {

// Encodes the samples as one Group 4 strip; the strip's bytes go to `coded`.
bool encodeGroup4(const EncodeRequest& request, std::vector<uint8_t>& coded) {
  std::vector<uint8_t> bytes;
  TiffMemoryStream file{{}, &bytes};
  TiffHandle tif = openMemory(file, "trnw2pdf-encoder", "w");
  if (!tif) return false;
  TIFF* t = tif.get();
  if (TIFFSetField(t, TIFFTAG_PHOTOMETRIC, request.photometric) == 0 ||
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, request.bitsPerSample) == 0 ||
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, request.samplesPerPixel) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, request.width) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 0 ||
      TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) == 0 ||
      TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) == 0) {
    return false;
  }
  const uint64_t stripSize = t2p_row_bytes(request.width, request.bitsPerSample,
                                           request.samplesPerPixel) * request.length;
  if (stripSize > request.samples.size()) return false;
  // libtiff's encoder takes a writable buffer although it only reads it.
  std::vector<uint8_t> input(request.samples.begin(), request.samples.begin() + stripSize);
  if (TIFFWriteEncodedStrip(t, 0, input.data(), static_cast<tmsize_t>(stripSize)) < 0) {
    return false;
  }
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  if (TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) == 0 ||
      TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) == 0 || offsets == nullptr ||
      counts == nullptr) {
    return false;
  }
  const uint64_t offset = offsets[0], count = counts[0];
  if (offset > bytes.size() || count > bytes.size() - offset) return false;
  coded.assign(bytes.begin() + static_cast<ptrdiff_t>(offset),
               bytes.begin() + static_cast<ptrdiff_t>(offset + count));
  return true;
}

}  // namespace

uint64_t t2p_row_bytes(uint32_t width, uint16_t bitsPerSample, uint16_t samplesPerPixel) {
  return (uint64_t{width} * bitsPerSample * samplesPerPixel + 7) / 8;
}

bool t2p_encode_image(const EncodeRequest& request, PdfSink& out, uint64_t& written) {
  written = 0;
  if (request.pdfCompression == kPdfCompressionNone) {
    written = out.write(request.samples.data(), request.samples.size());
    return written == request.samples.size();
  }
  std::vector<uint8_t> coded;
  try {
    if (!encodeGroup4(request, coded)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  written = out.write(coded.data(), coded.size());
  return written == coded.size();
}

}  // namespace tarnwell
