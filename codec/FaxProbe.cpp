#include "codec/FaxProbe.h"

#include <algorithm>

#include "codec/BitReverse.h"
#include "codec/FaxDecoder.h"

namespace tarnwell {
namespace {

bool isStandardWidth(int64_t width) {
  return std::find(std::begin(kFaxStandardWidths), std::end(kFaxStandardWidths), width) !=
         std::end(kFaxStandardWidths);
}

// Counts equal widths in a row; `width` is the one being counted.
struct WidthRun {
  int32_t width = 0;
  int count = 0;
  int required = 1;
  bool found() const { return count >= required; }
};

// Standard widths: a standard-width row counts when it repeats the last width, otherwise starts
// a new count; any other outcome resynchronises and leaves the count as it is, so that a damaged
// row between good rows of one width does not hide them. The loop resynchronises after an
// invalid code or an overlong row by itself.
class StandardWidthSink final : public FaxRowSink {
 public:
  explicit StandardWidthSink(int required) { run_.required = required; }
  FaxSinkAction row(const FaxRowView& row) override {
    switch (row.end) {
      case FaxRowEnd::kEol:
        if (!isStandardWidth(row.length)) return FaxSinkAction::kResync;
        if (row.length == run_.width) {
          ++run_.count;
        } else {
          run_.width = static_cast<int32_t>(row.length);
          run_.count = 1;
        }
        return run_.found() ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
      default:
        return FaxSinkAction::kContinue;
    }
  }
  const WidthRun& run() const { return run_; }

 private:
  WidthRun run_;
};

// Minimum width M: rows wider than M count when they repeat the width of the previous such row;
// a new width above M starts a count of 1 and resynchronises; narrower rows are passed over;
// invalid codes clear the count.
class MinimumWidthSink final : public FaxRowSink {
 public:
  MinimumWidthSink(int required, int32_t minWidth) : minWidth_(minWidth) {
    run_.required = required;
  }
  FaxSinkAction row(const FaxRowView& row) override {
    switch (row.end) {
      case FaxRowEnd::kEol:
        if (row.length <= minWidth_) return FaxSinkAction::kContinue;
        if (row.length == run_.width) {
          ++run_.count;
          return run_.found() ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
        }
        run_.width = static_cast<int32_t>(row.length);
        run_.count = 1;
        return run_.found() ? FaxSinkAction::kStop : FaxSinkAction::kResync;
      case FaxRowEnd::kInvalid:
      case FaxRowEnd::kTooLong:
        run_ = WidthRun{0, 0, run_.required};
        return FaxSinkAction::kContinue;
      default:
        return FaxSinkAction::kContinue;
    }
  }
  const WidthRun& run() const { return run_; }

 private:
  int32_t minWidth_;
  WidthRun run_;
};

// T.6 at one width: rows of exactly the width count; any other complete row resynchronises and
// clears the count, as do invalid codes. A row coded with V0 codes alone repeats the row above
// it and is a run of 1 bits, valid at every width at which the row above decoded and in either
// bit order (eight of them are a 0xFF byte): blank margins, and on forms the rows between two
// rules, are mostly such rows. They are passed over without counting or clearing, so that the
// decision rests on rows that hold at least one other code, and a candidate that has seen
// nothing else is never accepted.
class T6WidthSink final : public FaxRowSink {
 public:
  T6WidthSink(int required, int32_t width) : width_(width) { run_.required = required; }
  FaxSinkAction row(const FaxRowView& row) override {
    switch (row.end) {
      case FaxRowEnd::kComplete:
        if (row.length == width_) {
          if (row.repeatsReference) return FaxSinkAction::kContinue;
          ++run_.count;
          return run_.found() ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
        }
        badRow(row);
        return FaxSinkAction::kResync;
      case FaxRowEnd::kInvalid:
        badRow(row);
        return FaxSinkAction::kContinue;
      default:
        return FaxSinkAction::kContinue;
    }
  }
  // Decoding restarts behind a marker, and after an invalid code or a row of another width.
  void resynced(uint64_t bitPosition) override { markerBit_ = bitPosition; }
  const WidthRun& run() const { return run_; }
  uint64_t markerBit() const { return markerBit_; }
  uint64_t firstBadRowBit() const { return firstBadRowBit_; }

 private:
  void badRow(const FaxRowView& row) {
    run_.count = 0;
    firstBadRowBit_ = std::min(firstBadRowBit_, row.bitPosition);
  }

  int32_t width_;
  WidthRun run_;
  uint64_t markerBit_ = 0;
  uint64_t firstBadRowBit_ = kFaxNoBadRow;
};

enum class Dimensions { kOne, kTwo };

template <class Sink>
int runProbe(FaxBitReader& reader, Dimensions dims, int64_t maxWidth, Sink& sink,
             int32_t& width) {
  FaxLoopOptions options;
  options.width = maxWidth;
  options.exactWidth = false;
  options.findFirstEol = true;
  const int result = dims == Dimensions::kOne ? runT4OneD(reader, options, sink)
                                              : runT4TwoD(reader, options, sink);
  (void)result;
  reader.seekBit(0);
  if (!sink.run().found()) return kFaxProbeDataEnd;
  width = sink.run().width;
  return 0;
}

int standardProbe(FaxBitReader& reader, Dimensions dims, int required, int32_t& width) {
  StandardWidthSink sink(std::max(required, 1));
  return runProbe(reader, dims, kFaxStandardWidths[std::size(kFaxStandardWidths) - 1], sink,
                  width);
}

int minimumProbe(FaxBitReader& reader, Dimensions dims, int required, int32_t minWidth,
                 int32_t& width) {
  MinimumWidthSink sink(std::max(required, 1), minWidth);
  return runProbe(reader, dims, kFaxProbeMaxWidth, sink, width);
}

}  // namespace

int probeStandardWidth1D(FaxBitReader& reader, int required, int32_t& width) {
  return standardProbe(reader, Dimensions::kOne, required, width);
}

int probeStandardWidth2D(FaxBitReader& reader, int required, int32_t& width) {
  return standardProbe(reader, Dimensions::kTwo, required, width);
}

int probeMinimumWidth1D(FaxBitReader& reader, int required, int32_t minWidth, int32_t& width) {
  return minimumProbe(reader, Dimensions::kOne, required, minWidth, width);
}

int probeMinimumWidth2D(FaxBitReader& reader, int required, int32_t minWidth, int32_t& width) {
  return minimumProbe(reader, Dimensions::kTwo, required, minWidth, width);
}

int probeT6Width(FaxBitReader& reader, int32_t width, int required, int markerCount,
                 bool findFirstMarker, uint64_t* markerBit, uint64_t* firstBadRowBit) {
  T6WidthSink sink(std::max(required, 1), width);
  FaxLoopOptions options;
  options.width = width;
  options.markerCount = markerCount;
  options.findFirstMarker = findFirstMarker && markerCount > 0;
  options.skipBlankCopies = true;
  const int result = runT6(reader, options, sink);
  reader.seekBit(0);
  if (markerBit != nullptr) *markerBit = sink.markerBit();
  if (firstBadRowBit != nullptr) *firstBadRowBit = sink.firstBadRowBit();
  if (findFirstMarker && markerCount <= 0) return kFaxProbeDataEnd;
  if (result < 0 || !sink.run().found()) return kFaxProbeDataEnd;
  return 0;
}

int probeCoding(std::span<const uint8_t> data, int rowsRequired, FaxProbeResult& result) {
  static constexpr int kBitOrders[] = {1, 2};
  for (int step = 0; step < 4; ++step) {
    const Dimensions dims = step < 2 ? Dimensions::kOne : Dimensions::kTwo;
    const bool standard = step % 2 == 0;
    for (int bitOrder : kBitOrders) {
      FaxBitReader reader(data, bitOrder);
      int32_t width = 0;
      const int found = standard ? standardProbe(reader, dims, rowsRequired, width)
                                 : minimumProbe(reader, dims, rowsRequired, 1728, width);
      if (found == 0) {
        result.coding = static_cast<uint8_t>(dims == Dimensions::kOne ? FaxCoding::kT4OneD
                                                                      : FaxCoding::kT4TwoD);
        result.bitOrder = bitOrder;
        result.width = width;
        return 0;
      }
    }
  }
  return kFaxProbeFailed;
}

int probeT6Widths(std::span<const uint8_t> data, int rowsRequired, FaxProbeResult& result,
                  int markerCount) {
  FaxT6Choice choice;
  for (int32_t width : kFaxT6ProbeWidths) {
    for (int bitOrder : {1, 2}) {
      FaxBitReader reader(data, bitOrder);
      uint64_t firstBadRowBit = kFaxNoBadRow;
      const bool accepted = probeT6Width(reader, width, rowsRequired, markerCount, false,
                                         nullptr, &firstBadRowBit) == 0;
      if (choice.offer(accepted, firstBadRowBit)) {
        result.coding = static_cast<uint8_t>(FaxCoding::kT6);
        result.bitOrder = bitOrder;
        result.width = width;
      }
      if (choice.settled()) break;
    }
    if (choice.settled()) break;
  }
  return choice.found() ? 0 : kFaxProbeFailed;
}

void flipRows(FaxPage& page) {
  if (page.rows <= 1 || page.bytesPerRow <= 0) return;
  const std::size_t bpr = static_cast<std::size_t>(page.bytesPerRow);
  const std::size_t rows = std::min(static_cast<std::size_t>(page.rows), page.bitmap.size() / bpr);
  if (rows < 2) return;
  uint8_t* bits = page.bitmap.data();
  for (std::size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(bits + top * bpr, bits + (top + 1) * bpr, bits + bottom * bpr);
  }
}

void mirrorRows(FaxPage& page) {
  if (page.rows <= 0 || page.bytesPerRow <= 0 || page.width <= 0) return;
  const std::size_t bpr = static_cast<std::size_t>(page.bytesPerRow);
  const std::size_t rows = std::min(static_cast<std::size_t>(page.rows), page.bitmap.size() / bpr);
  const int64_t width = std::min<int64_t>(page.width, static_cast<int64_t>(bpr) * 8);
  const int shift = static_cast<int>(static_cast<int64_t>(bpr) * 8 - width);  // padding bits
  for (std::size_t r = 0; r < rows; ++r) {
    uint8_t* row = page.bitmap.data() + r * bpr;
    // Reverse the bytes and the bits in each: the row's last pixel comes first, the padding
    // moves to the front ...
    std::reverse(row, row + bpr);
    for (std::size_t i = 0; i < bpr; ++i) row[i] = reverseBits(row[i]);
    // ... and is shifted back behind the last pixel.
    if (shift != 0) {
      for (std::size_t i = 0; i < bpr; ++i) {
        const uint8_t next = i + 1 < bpr ? row[i + 1] : 0;
        row[i] = static_cast<uint8_t>((row[i] << shift) | (next >> (8 - shift)));
      }
    }
  }
}

}  // namespace tarnwell
