#include "codec/FaxDecoder.h"

#include <algorithm>
#include <limits>
#include <new>

#include "codec/FaxRowPaint.h"
#include "codec/FaxWidthClass.h"

namespace tarnwell {
namespace {

// Stores the rows a page decoder counts into the page's bitmap, up to the row limit, and ends the
// decoding once the limit is stored: rows past it would only be thrown away, and a page can claim
// fewer rows than its data codes. The loops fail only before the first row, so stopping early
// never changes whether a page decodes. A limit of 0 stores nothing and decodes to the end, which
// tells the caller whether the data holds any row.
class PageSink final : public FaxRowSink {
 public:
  PageSink(FaxPage& page, int32_t rowLimit, int photometric)
      : page_(page),
        rowLimit_(std::max(rowLimit, 0)),
        photometric_(photometric),
        bytesPerRow_(static_cast<std::size_t>(page.bytesPerRow)) {}

  FaxSinkAction row(const FaxRowView& row) override {
    const bool counts = row.end == FaxRowEnd::kComplete ||
                        ((row.end == FaxRowEnd::kEol || row.end == FaxRowEnd::kDataEnd) &&
                         row.length == page_.width);
    if (!counts) return FaxSinkAction::kContinue;
    ++decoded_;
    if (page_.rows >= rowLimit_) return FaxSinkAction::kContinue;
    const std::size_t offset = static_cast<std::size_t>(page_.rows) * bytesPerRow_;
    try {
      page_.bitmap.resize(offset + bytesPerRow_);
    } catch (const std::bad_alloc&) {
      failed_ = true;
      return FaxSinkAction::kStop;
    }
    paintRow(row.changes, row.length, page_.width, photometric_,
             std::span<uint8_t>(page_.bitmap.data() + offset, bytesPerRow_));
    ++page_.rows;
    return page_.rows >= rowLimit_ ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
  }

  bool failed() const { return failed_; }
  int64_t decoded() const { return decoded_; }

 private:
  FaxPage& page_;
  int32_t rowLimit_;
  int photometric_;
  std::size_t bytesPerRow_;
  int64_t decoded_ = 0;
  bool failed_ = false;
};

// Page set-up common to all decoders. False when the width is negative.
bool setUpPage(std::span<const uint8_t> data, const FaxDecodeParams& params, uint8_t coding,
               FaxPage& page) {
  page.reserved = 0;
  page.width = params.width;
  page.rows = 0;
  page.bytesPerRow = params.width >= 0 ? static_cast<int32_t>((int64_t{params.width} + 7) / 8) : 0;
  page.bitsPerSample = 1;
  page.samplesPerPixel = 1;
  page.codedSize = static_cast<uint32_t>(
      std::min<std::size_t>(data.size(), std::numeric_limits<uint32_t>::max()));
  const FaxWidthClass wc = widthClass(params.width);
  page.xResolution = wc.xResolution;
  page.pageSize = wc.pageSize;
  page.yResolution = 100;
  page.resolutionUnit = 2;
  page.fillOrder = params.bitOrder == 1 ? 1 : 2;
  page.coding = coding;
  page.photometric = params.photometric;
  page.bitmap.clear();
  page.bitmap.shrink_to_fit();
  return params.width >= 0;
}

void reserveBitmap(FaxPage& page, int32_t rowLimit) {
  // A first guess for a typical page; the bitmap grows with the rows actually decoded.
  constexpr std::size_t kReserveBytes = 1 << 20;
  const std::size_t rows = static_cast<std::size_t>(std::clamp(rowLimit, 0, 4096));
  const std::size_t bytes = std::min(rows * static_cast<std::size_t>(page.bytesPerRow),
                                     kReserveBytes);
  page.bitmap.reserve(bytes);
}

// Ends a page decode: on failure no rows and no bitmap.
int finish(FaxPage& page, const PageSink& sink, int result) {
  if (sink.failed() || result < 0) {
    page.rows = 0;
    page.bitmap.clear();
    return kFaxDecodeFailed;
  }
  return result;
}

}  // namespace

int decodePage(std::span<const uint8_t> data, const FaxDecodeParams& params, FaxPage& page) {
  if (params.coding == static_cast<uint8_t>(FaxCoding::kT6)) {
    return decodePageT6(data, params, page);
  }
  try {
    const uint8_t coding = params.coding;
    if (!setUpPage(data, params, coding, page)) return kFaxDecodeFailed;
    reserveBitmap(page, params.rowLimit);
    FaxBitReader reader(data, params.bitOrder);
    FaxLoopOptions options;
    options.width = params.width;
    PageSink sink(page, params.rowLimit, params.photometric);
    int result = kFaxDecodeFailed;
    switch (static_cast<FaxCoding>(coding)) {
      case FaxCoding::kModifiedHuffman:
      case FaxCoding::kModifiedHuffmanWord:
        options.wordAligned = coding == static_cast<uint8_t>(FaxCoding::kModifiedHuffmanWord);
        result = runModifiedHuffman(reader, options, sink);
        break;
      case FaxCoding::kT4OneD:
        result = runT4OneD(reader, options, sink);
        break;
      case FaxCoding::kT4TwoD:
        result = runT4TwoD(reader, options, sink);
        break;
      default:
        break;
    }
    return finish(page, sink, result);
  } catch (const std::bad_alloc&) {
    page.rows = 0;
    page.bitmap.clear();
    return kFaxDecodeFailed;
  }
}

int decodePageT6(std::span<const uint8_t> data, const FaxDecodeParams& params, FaxPage& page) {
  try {
    if (!setUpPage(data, params, static_cast<uint8_t>(FaxCoding::kT6), page)) {
      return kFaxDecodeFailed;
    }
    // Uncompressed mode is not supported.
    if ((params.t6Options & 1) != 0 || params.width <= 0) return kFaxDecodeFailed;
    reserveBitmap(page, params.rowLimit);
    FaxBitReader reader(data, params.bitOrder);
    FaxLoopOptions options;
    options.width = params.width;
    options.markerCount = params.markerCount;
    PageSink sink(page, params.rowLimit, params.photometric);
    const int result = runT6(reader, options, sink);
    if (sink.decoded() == 0) return finish(page, sink, kFaxDecodeFailed);
    return finish(page, sink, result);
  } catch (const std::bad_alloc&) {
    page.rows = 0;
    page.bitmap.clear();
    return kFaxDecodeFailed;
  }
}

int decodePageT4RowComplete(std::span<const uint8_t> data, const FaxDecodeParams& params,
                            bool skipWords, FaxPage& page) {
  try {
    if (!setUpPage(data, params, static_cast<uint8_t>(FaxCoding::kT4OneD), page)) {
      return kFaxDecodeFailed;
    }
    reserveBitmap(page, params.rowLimit);
    FaxBitReader reader(data, params.bitOrder);
    FaxLoopOptions options;
    options.width = params.width;
    options.rowComplete = true;
    options.skipWords = skipWords;
    PageSink sink(page, params.rowLimit, params.photometric);
    return finish(page, sink, runT4OneD(reader, options, sink));
  } catch (const std::bad_alloc&) {
    page.rows = 0;
    page.bitmap.clear();
    return kFaxDecodeFailed;
  }
}

}  // namespace tarnwell
