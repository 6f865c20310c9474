#include "pdfout/copy/tiff_copy_g4.h"

#include <cstdint>
#include <vector>

#include "codec/FaxDecoder.h"
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

// Follows a Group 4 strip row by row and stops at the first row that is not exactly `width`
// pixels ended by its own last code: an invalid code, an end-of-line or end-of-block, a row
// that runs past the width, or the data's end inside a row. No pixel is written.
class WholeRowCounter final : public FaxRowSink {
 public:
  WholeRowCounter(uint32_t width, uint32_t rows) : width_(width), wanted_(rows) {
    // libtiff keeps a row's runs in an array of 2 * width or more entries and refuses a row
    // that needs that many. Runs of some length number fewer than width, and runs of no length
    // cost a code of 3 bits or more each (one at the row start may take 1 bit), so a row of E
    // entries takes at least 3 * E - 2 * width bits: a row libtiff refuses takes 4 * width
    // bits or more. Such rows are left to libtiff; a margin stays below that, and every real
    // row (text and halftone take far less) stays on the fast road.
    bitLimit_ = width > 8 ? 4 * static_cast<uint64_t>(width) - 16 : 0;
  }

  FaxSinkAction row(const FaxRowView& row) override {
    if (row.end != FaxRowEnd::kComplete || row.length != static_cast<int64_t>(width_) ||
        row.codeEndBit - rowStart_ > bitLimit_) {
      broken_ = true;
      return FaxSinkAction::kStop;
    }
    rowStart_ = row.codeEndBit;
    return ++rows_ == wanted_ ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
  }
  void resynced(uint64_t) override { broken_ = true; }

  bool whole() const { return !broken_ && rows_ == wanted_; }

 private:
  uint32_t width_;
  uint32_t wanted_;
  uint64_t bitLimit_ = 0;
  uint64_t rowStart_ = 0;
  uint32_t rows_ = 0;
  bool broken_ = false;
};

}  // namespace

bool group4StripIsWhole(std::span<const uint8_t> coded, uint32_t width, uint32_t rows,
                        bool leastBitFirst) {
  if (width == 0 || width > static_cast<uint32_t>(INT32_MAX) || rows == 0 || coded.empty())
    return false;
  FaxBitReader reader(coded, leastBitFirst ? 2 : 1);
  FaxLoopOptions options;
  options.width = width;
  options.markerCount = 0;  // no resynchronising: the first bad code ends the check
  WholeRowCounter counter(width, rows);
  return runT6(reader, options, counter) == 0 && counter.whole();
}

RawCopy copyGroup4Unchanged(TIFF* in, TIFF* out, const ImageShape& shape,
                            const TiffMessageCount& messages, bool knownWhole) {
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
  if (!knownWhole &&
      !group4StripIsWhole(coded, shape.width, shape.length, inFillOrder == FILLORDER_LSB2MSB))
    return RawCopy::NotCopied;
  if (inFillOrder != outFillOrder) {
    TIFFReverseBits(coded.data(), static_cast<tmsize_t>(coded.size()));
  }
  if (TIFFWriteRawStrip(out, 0, coded.data(), static_cast<tmsize_t>(coded.size())) !=
      static_cast<tmsize_t>(coded.size()))
    return RawCopy::WriteFailed;
  return RawCopy::Copied;
}

}  // namespace tarnwell
