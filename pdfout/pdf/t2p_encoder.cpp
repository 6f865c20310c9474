#include "pdfout/pdf/t2p_encoder.h"

#include <tiffio.h>

#include <algorithm>
#include <new>
#include <vector>

#include "pdfout/tiffio/tiff_io.h"

namespace tarnwell {
namespace {

// The bytes of the one strip of an in-memory TIFF, checked against what was written.
bool stripBytes(TIFF* t, const std::vector<uint8_t>& bytes, std::vector<uint8_t>& coded) {
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

// Encodes the samples as one strip with libtiff's codec `compression`; the strip's bytes go to
// `coded`. Deflate takes the rows as plain bytes (one sample of 8 bits, a row's bytes wide): its
// strip is then exactly a zlib stream of them, which is what FlateDecode reads.
bool encodeStrip(const EncodeRequest& request, uint16_t compression,
                 std::vector<uint8_t>& coded) {
  const uint64_t rowBytes =
      t2p_row_bytes(request.width, request.bitsPerSample, request.samplesPerPixel);
  const uint64_t stripSize = rowBytes * request.length;
  const bool bytesOnly = compression != COMPRESSION_CCITTFAX4;
  // Rows missing at the end of the samples (strips that did not decode) are coded as zero bytes
  // by Deflate; Group 4 codes only whole images.
  if ((!bytesOnly && stripSize > request.samples.size()) || rowBytes > UINT32_MAX) return false;
  std::vector<uint8_t> bytes;
  TiffMemoryStream file{{}, &bytes};
  TiffHandle tif = openMemory(file, "trnw2pdf-encoder", "w");
  if (!tif) return false;
  TIFF* t = tif.get();
  if (TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                   bytesOnly ? PHOTOMETRIC_MINISBLACK : request.photometric) == 0 ||
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bytesOnly ? 8 : request.bitsPerSample) == 0 ||
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, bytesOnly ? 1 : request.samplesPerPixel) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH,
                   bytesOnly ? static_cast<uint32_t>(rowBytes) : request.width) == 0 ||
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, request.length) == 0 ||
      TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 0 ||
      TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) == 0 ||
      TIFFSetField(t, TIFFTAG_COMPRESSION, compression) == 0) {
    return false;
  }
  // libtiff's encoder takes a writable buffer although it only reads it.
  std::vector<uint8_t> input(stripSize, 0);
  std::copy_n(request.samples.begin(), std::min<uint64_t>(stripSize, request.samples.size()),
              input.begin());
  if (TIFFWriteEncodedStrip(t, 0, input.data(), static_cast<tmsize_t>(stripSize)) < 0) {
    return false;
  }
  return stripBytes(t, bytes, coded);
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
  const uint16_t compression = request.pdfCompression == kPdfCompressionFlate
                                   ? COMPRESSION_ADOBE_DEFLATE
                                   : COMPRESSION_CCITTFAX4;
  try {
    if (!encodeStrip(request, compression, coded)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  written = out.write(coded.data(), coded.size());
  return written == coded.size();
}

bool t2p_deflate(std::span<const uint8_t> bytes, std::vector<uint8_t>& coded) {
  EncodeRequest request;
  request.samples = bytes;
  request.width = static_cast<uint32_t>(bytes.size());
  request.length = 1;
  request.bitsPerSample = 8;
  request.pdfCompression = kPdfCompressionFlate;
  if (bytes.empty() || bytes.size() > UINT32_MAX) return false;
  try {
    return encodeStrip(request, COMPRESSION_ADOBE_DEFLATE, coded);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace tarnwell
