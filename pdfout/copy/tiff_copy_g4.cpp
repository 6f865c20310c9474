#include "pdfout/copy/tiff_copy_g4.h"

#include <cstdint>
#include <vector>

#include "codec/FaxGroup4Check.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

// Both sides are one strip of one-bit Group 4 data without uncompressed mode, so the output
// strip may hold the source's coded bytes as they are.
bool qualifies(TIFF* in, TIFF* out, const ImageShape& shape) {
  if (shape.inputTiled || shape.outputTiled || shape.bitsPerSample != 1 ||
      shape.samplesPerPixel != 1 || shape.width == 0 || shape.length == 0)
    return false;
  uint16_t inCompression = 0, outCompression = 0;
  if (!TIFFGetField(in, TIFFTAG_COMPRESSION, &inCompression) ||
      !TIFFGetField(out, TIFFTAG_COMPRESSION, &outCompression) ||
      inCompression != COMPRESSION_CCITTFAX4 || outCompression != COMPRESSION_CCITTFAX4)
    return false;
  // Uncompressed mode is an extension the PDF's fax filter is not told about.
  uint32_t group4Options = 0;
  if (TIFFGetField(in, TIFFTAG_GROUP4OPTIONS, &group4Options) &&
      (group4Options & GROUP4OPT_UNCOMPRESSED) != 0)
    return false;
  return TIFFNumberOfStrips(in) == 1 && TIFFNumberOfStrips(out) == 1;
}

}  // namespace

RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages, bool knownWhole,
                            WholeStripChecks* later) {
  if (!messages.counting || !qualifies(in, out, shape)) return RawCopy::NotCopied;
  // Group 4 needs at most a few bits per pixel even for the busiest page, and a strip cannot
  // hold more bytes than the file has; a larger byte count is a header's claim, not data, and
  // is left to the decoding road instead of being allocated.
  const tmsize_t pageBytes = TIFFVStripSize(in, shape.length);
  const uint64_t byteCount = TIFFGetStrileByteCount(in, 0);
  const uint64_t fileBytes = TIFFGetSizeProc(in)(TIFFClientdata(in));
  if (pageBytes <= 0 || byteCount == 0 || byteCount > kMaxCopyBufferBytes ||
      byteCount > fileBytes || byteCount > 8 * static_cast<uint64_t>(pageBytes) + 4096)
    return RawCopy::NotCopied;
  std::vector<uint8_t> coded(static_cast<size_t>(byteCount));
  const unsigned long before = messages.count;
  const tmsize_t got = TIFFReadRawStrip(in, 0, coded.data(), static_cast<tmsize_t>(coded.size()));
  if (got != static_cast<tmsize_t>(coded.size()) || messages.count != before)
    return RawCopy::NotCopied;

  uint16_t inFillOrder = FILLORDER_MSB2LSB, outFillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(in, TIFFTAG_FILLORDER, &inFillOrder);
  TIFFGetFieldDefaulted(out, TIFFTAG_FILLORDER, &outFillOrder);
  // Anything short of every row decoding whole goes the decoding road, where libtiff decides.
  const bool leastBitFirst = inFillOrder == FILLORDER_LSB2MSB;
  if (!knownWhole) {
    const bool whole =
        later != nullptr
            ? later->check(TIFFCurrentDirectory(in), coded, shape.width, shape.length, leastBitFirst)
            : group4StripIsWhole(coded, shape.width, shape.length, leastBitFirst);
    if (!whole) return RawCopy::NotCopied;
  }
  if (inFillOrder != outFillOrder) {
    TIFFReverseBits(coded.data(), static_cast<tmsize_t>(coded.size()));
  }
  if (TIFFWriteRawStrip(out, 0, coded.data(), static_cast<tmsize_t>(coded.size())) !=
      static_cast<tmsize_t>(coded.size()))
    return RawCopy::WriteFailed;
  return RawCopy::Copied;
}

}  // namespace tarnwell
