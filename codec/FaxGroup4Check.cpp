#include "codec/FaxGroup4Check.h"

#include <climits>
#include <cstdint>

#include "codec/FaxBitReader.h"
#include "codec/FaxDecoder.h"

namespace tarnwell {

namespace {

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

}  // namespace tarnwell
