#include "faxin/readers/SingleT6PageReader.h"

#include "codec/FaxDecoder.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

namespace {

// Counts the rows a T.6 stream holds, as the page decoder counts them, without storing any, up
// to a limit.
class RowCounter final : public FaxRowSink {
 public:
  RowCounter(int64_t width, uint64_t limit) : width_(width), limit_(limit) {}
  FaxSinkAction row(const FaxRowView& row) override {
    if (row.end == FaxRowEnd::kComplete ||
        ((row.end == FaxRowEnd::kEol || row.end == FaxRowEnd::kDataEnd) && row.length == width_)) {
      ++rows_;
    }
    return rows_ >= limit_ ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
  }
  uint64_t rows() const { return rows_; }

 private:
  int64_t width_;
  uint64_t limit_;
  uint64_t rows_ = 0;
};

}  // namespace

int SingleT6PageReader::declare(const Declared& declared) {
  const DescribeLimits& limits = describeLimits();
  const uint64_t bitmapBytes = (uint64_t{declared.width} + 7) / 8 * declared.rows;
  if (declared.width == 0 || declared.rows == 0 ||
      declared.width > limits.maxWidth || declared.rows > INT32_MAX ||
      bitmapBytes > limits.maxBitmapBytes) {
    return -2;
  }
  declared_ = declared;
  return 0;
}

int SingleT6PageReader::readPage(int index, FaxPage& page) {
  if (index != 0 || declared_.width == 0) return -1;
  const int loaded = loadPageData(declared_.dataOffset, fileSize());
  if (loaded != 0) return loaded;
  FaxDecodeParams params;
  params.bitOrder = declared_.fillOrder;
  params.coding = static_cast<uint8_t>(FaxCoding::kT6);
  params.width = static_cast<int32_t>(declared_.width);
  params.rowLimit = static_cast<int32_t>(declared_.rows);
  (void)decodePageT6(pageData(), params, page);
  page.resolutionUnit = 2;
  page.xResolution = declared_.resolution;
  page.yResolution = declared_.resolution;
  return 0;
}

int SingleT6PageReader::preparePage(int index, FaxPage& page, PageToWrite& out) {
  (void)page;
  if (index != 0 || declared_.width == 0) return leaveOut(LeftOutReason::kNoData);
  if (loadPageData(declared_.dataOffset, fileSize()) != 0 || pageData().empty()) {
    return leaveOut(LeftOutReason::kNoData);
  }
  // The coded bytes as they are, with the declared width and the rows the data holds: the
  // declared rows, or fewer when the data ends before them (rows it does not hold are not
  // invented).
  FaxBitReader reader(pageData(), declared_.fillOrder);
  FaxLoopOptions options;
  options.width = declared_.width;
  RowCounter counter(declared_.width, declared_.rows);
  (void)runT6(reader, options, counter);
  if (counter.rows() == 0) return leaveOut(LeftOutReason::kNoRows);
  out.data = pageData();
  out.coding = static_cast<uint8_t>(FaxCoding::kT6);
  out.photometric = 0;
  out.fillOrder = declared_.fillOrder;
  out.width = declared_.width;
  out.rows = static_cast<uint32_t>(counter.rows());
  out.xResolution = declared_.resolution;
  out.yResolution = declared_.resolution;
  out.resolutionUnit = 2;
  return 0;
}

}  // namespace tarnwell
