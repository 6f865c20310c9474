#include "faxin/raw/RawFaxAnalysis.h"

#include <algorithm>
#include <vector>

#include "codec/FaxBitReader.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxPage.h"
#include "codec/FaxProbe.h"
#include "codec/FaxRowPaint.h"
#include "faxin/raw/RawFaxRecorder.h"

namespace tarnwell {

namespace {

constexpr uint64_t kEolBits = 12;        // an EOL in its shortest form
constexpr uint64_t kEolAndTagBits = 13;  // the same with the tag bit of two-dimensional data

uint64_t before(uint64_t position, uint64_t bits) { return position >= bits ? position - bits : 0; }

// Paints a decoded row of the full width from its change positions with the decoder's row
// painter (1 bits white, highest bit first, padding bits 0), and keeps the row painted last.
class RowPainter {
 public:
  explicit RowPainter(int32_t width)
      : width_(width), row_(static_cast<std::size_t>((width + 7) / 8)) {}

  std::span<const uint8_t> paint(std::span<const int32_t> changes) {
    // Runs of equal rows are common (blank lines above all: a blank Group 4 row is one bit), and
    // the row painted last is still in place.
    if (painted_ && std::equal(changes.begin(), changes.end(), last_.begin(), last_.end())) {
      return row_;
    }
    last_.assign(changes.begin(), changes.end());
    painted_ = true;
    paintRow(changes, width_, width_, 0, row_);
    return row_;
  }

 private:
  int32_t width_;
  std::vector<uint8_t> row_;
  std::vector<int32_t> last_;  // the change positions row_ was painted from
  bool painted_ = false;
};

// What the three measuring sinks share: the recorder, the row painter and the start of the
// segment that the next good row would open.
class MeasureSink : public FaxRowSink {
 public:
  MeasureSink(RawFaxRecorder& recorder, int32_t width) : recorder_(recorder), painter_(width), width_(width) {}
  void setPendingStart(uint64_t start) {
    pending_ = start;
    fresh_ = true;
  }

 protected:
  ~MeasureSink() = default;
  bool exact(const FaxRowView& v) const { return v.length == width_; }
  // Records a good row; false when the recorder takes no more rows of this run (the row is
  // dropped). mayOpen: the row can begin a segment of its own.
  bool keep(const FaxRowView& v, uint64_t end, bool mayOpen = true) {
    if (!recorder_.makeRoom(mayOpen)) return false;
    // Rows past the work file's limit are only counted: painting them would be wasted work.
    recorder_.addRow(recorder_.storesRow() ? painter_.paint(v.changes) : std::span<const uint8_t>{},
                     pending_, end);
    return true;
  }
  // After the last row the recorder takes, decoding further is wasted work.
  FaxSinkAction goOn() const { return recorder_.full() ? FaxSinkAction::kStop : FaxSinkAction::kContinue; }

  RawFaxRecorder& recorder_;
  RowPainter painter_;
  int32_t width_;
  uint64_t pending_ = 0;
  bool fresh_ = true;  // no row decoded since decoding (re)started on a white reference row
};

// T.4 one-dimensional: every row runs from one EOL to the next.
class OneDimensionalSink final : public MeasureSink {
 public:
  using MeasureSink::MeasureSink;
  void resynced(uint64_t position) override { pending_ = before(position, kEolBits); }
  FaxSinkAction row(const FaxRowView& v) override {
    switch (v.end) {
      case FaxRowEnd::kEol:
        if (exact(v)) {
          keep(v, before(v.bitPosition, kEolBits));
        } else {
          recorder_.closeSegment();
        }
        // This EOL opens the next row; a segment begun there starts at its first bit.
        pending_ = before(v.bitPosition, kEolBits);
        return goOn();
      case FaxRowEnd::kInvalid:
        // A row completed before the invalid code is still good.
        if (exact(v)) keep(v, v.codeEndBit);
        recorder_.closeSegment();
        return FaxSinkAction::kContinue;
      case FaxRowEnd::kDataEnd:
        if (exact(v)) keep(v, v.codeEndBit);
        recorder_.closeSegment();
        return FaxSinkAction::kStop;
      case FaxRowEnd::kTooLong:
      case FaxRowEnd::kComplete:
        recorder_.closeSegment();
        return FaxSinkAction::kContinue;
    }
    return FaxSinkAction::kContinue;
  }
};

// T.4 two-dimensional: a segment always begins with a one-dimensionally coded row, whose EOL and
// tag bit are the first 13 bits of the segment.
class TwoDimensionalSink final : public MeasureSink {
 public:
  using MeasureSink::MeasureSink;
  void resynced(uint64_t position) override { pending_ = before(position, kEolAndTagBits); }
  FaxSinkAction row(const FaxRowView& v) override {
    switch (v.end) {
      case FaxRowEnd::kEol:
        if (exact(v)) {
          // A two-dimensional row cannot open a segment: its reference row would be missing
          // from the page.
          if (!recorder_.segmentOpen() && v.twoDimensional) return FaxSinkAction::kResync;
          if (!keep(v, before(v.bitPosition, kEolBits), !v.twoDimensional)) {
            return recorder_.full() ? FaxSinkAction::kStop : FaxSinkAction::kResync;
          }
          // The EOL just read opens the next row; a segment begun there starts at its first bit.
          pending_ = before(v.bitPosition, kEolBits);
          return goOn();
        }
        // An EOL at once (end of page) ends the run of rows as well as a row of a wrong length.
        recorder_.closeSegment();
        if (v.length == 0) pending_ = before(v.bitPosition, kEolBits);
        return FaxSinkAction::kContinue;
      case FaxRowEnd::kDataEnd:
        if (exact(v) && (recorder_.segmentOpen() || !v.twoDimensional)) keep(v, v.codeEndBit);
        recorder_.closeSegment();
        return FaxSinkAction::kStop;
      case FaxRowEnd::kInvalid:
      case FaxRowEnd::kTooLong:
      case FaxRowEnd::kComplete:
        recorder_.closeSegment();
        return FaxSinkAction::kContinue;
    }
    return FaxSinkAction::kContinue;
  }
};

// T.6: rows follow one another without EOLs. A segment begins where decoding starts afresh
// against a white reference row (the start, behind an end-of-block EOL, behind a flag).
class GroupFourSink final : public MeasureSink {
 public:
  using MeasureSink::MeasureSink;
  void resynced(uint64_t position) override {
    pending_ = position;
    fresh_ = true;
  }
  bool takeEol(uint64_t& end) {
    const bool seen = sawEol_;
    end = eolEnd_;
    sawEol_ = false;
    return seen;
  }
  FaxSinkAction row(const FaxRowView& v) override {
    switch (v.end) {
      case FaxRowEnd::kComplete:
        if (exact(v)) {
          // Only the first row behind a white reference row can begin a segment; once a run of
          // rows has filled its segment, its later rows are decoded but not recorded.
          keep(v, v.bitPosition, fresh_);
          fresh_ = false;
          return goOn();
        }
        // A row running past the width is as broken as an invalid code.
        recorder_.closeSegment();
        return FaxSinkAction::kResync;
      case FaxRowEnd::kEol:
        // The reference row turns white here; the rows behind this point cannot be joined to the
        // rows before it as coded bytes, so the segment ends and the driver restarts behind it.
        recorder_.closeSegment();
        sawEol_ = true;
        eolEnd_ = v.bitPosition;
        return FaxSinkAction::kStop;
      case FaxRowEnd::kDataEnd:
        recorder_.closeSegment();
        return FaxSinkAction::kStop;
      case FaxRowEnd::kInvalid:
      case FaxRowEnd::kTooLong:
        recorder_.closeSegment();
        return FaxSinkAction::kContinue;
    }
    return FaxSinkAction::kContinue;
  }

 private:
  bool sawEol_ = false;
  uint64_t eolEnd_ = 0;
};

// n bits (1 to 16) at a bit address in reading order, or -1 past the end of the data. Moves the
// reader.
int bitsAt(FaxBitReader& reader, uint64_t address, int n) {
  if (address > reader.bitSize() || uint64_t(n) > reader.bitSize() - address) return -1;
  reader.seekBit(address);
  int value = 0;
  while (n > 0) {
    const int take = std::min(n, 8);
    const int bits = reader.readBits(take);
    if (bits < 0) return -1;
    value = (value << take) | bits;
    n -= take;
  }
  return value;
}

// Whether flagNum (at least one) 0xFF bytes start at byte `at`. Moves the reader.
bool flagAt(FaxBitReader& reader, uint64_t at, int flagNum) {
  const uint64_t need = static_cast<uint64_t>(std::max(flagNum, 1));
  if (at > reader.size() || need > reader.size() - at) return false;
  reader.seekBit(at * 8);
  for (uint64_t i = 0; i < need; ++i) {
    if (reader.readBits(8) != 0xFF) return false;
  }
  return true;
}

int measureGroup3(const RawAnalysisInput& input, uint8_t bitOrder, int32_t width, bool twoD) {
  RawFaxRecorder recorder;
  if (!recorder.create(input.workPath, input.indexPath, width, bitOrder,
                       static_cast<uint8_t>(twoD ? FaxCoding::kT4TwoD : FaxCoding::kT4OneD),
                       static_cast<uint32_t>(input.source->size()),
                       input.verticalResolution, input.workFileBytes, input.rowLimit)) {
    return -1;
  }
  FaxBitReader reader(*input.source, bitOrder);
  FaxLoopOptions options;
  options.width = width;
  options.exactWidth = true;
  options.findFirstEol = true;
  int errors = 0;
  if (twoD) {
    TwoDimensionalSink sink(recorder, width);
    errors = runT4TwoD(reader, options, sink);
  } else {
    OneDimensionalSink sink(recorder, width);
    errors = runT4OneD(reader, options, sink);
  }
  if (errors < 0) return -1;
  return recorder.finish() < 0 ? -1 : errors;
}

int measureGroup4(const RawAnalysisInput& input, uint8_t bitOrder, int32_t width, uint64_t start) {
  RawFaxRecorder recorder;
  if (!recorder.create(input.workPath, input.indexPath, width, bitOrder,
                       static_cast<uint8_t>(FaxCoding::kT6),
                       static_cast<uint32_t>(input.source->size()), input.verticalResolution,
                       input.workFileBytes, input.rowLimit)) {
    return -1;
  }
  FaxBitReader reader(*input.source, bitOrder);
  const uint64_t bitSize = reader.bitSize();
  FaxLoopOptions options;
  options.width = width;
  options.markerCount = input.rawFax ? 0 : std::max<int>(input.flagNum, 1);
  GroupFourSink sink(recorder, width);
  int errors = 0;
  uint64_t position = start;
  // Each round decodes from `position` to the next EOL code (or the end) and then steps behind
  // the EOL, so every round consumes at least twelve bits.
  while (position < bitSize) {
    reader.seekBit(position);
    sink.setPendingStart(position);
    const int result = runT6(reader, options, sink);
    if (result < 0) return -1;
    errors += result;
    uint64_t next = 0;
    if (!sink.takeEol(next) || next <= position) break;
    // Further EOLs (the second half of an end-of-block), then zero fill up to a byte boundary.
    while (bitsAt(reader, next, static_cast<int>(kEolBits)) == 1) next += kEolBits;
    const int fill = static_cast<int>((8 - next % 8) % 8);
    if (fill > 0 && bitsAt(reader, next, fill) == 0) next += static_cast<uint64_t>(fill);
    // A flag in front of the next block is skipped like a resynchronisation.
    if (options.markerCount > 0 && next % 8 == 0 &&
        flagAt(reader, next / 8, options.markerCount)) {
      reader.seekBit(next);
      if (reader.findMarker(options.markerCount) != 0) break;
      next = reader.bitPosition();
    }
    position = next;
  }
  return recorder.finish() < 0 ? -1 : errors;
}

// Paints the rows of one segment as a measuring pass would have kept them: the rows of exactly
// the width that end the way that pass accepts, until the wanted rows are painted or anything
// else comes (which would have closed the segment).
class SegmentRowsSink final : public FaxRowSink {
 public:
  SegmentRowsSink(FaxCoding coding, int32_t width, uint64_t skip, uint64_t count, std::span<uint8_t> out)
      : coding_(coding), painter_(width), width_(width), skip_(skip), count_(count), out_(out) {}
  FaxSinkAction row(const FaxRowView& v) override {
    if (!kept(v)) return FaxSinkAction::kStop;
    if (seen_ >= skip_) {
      const std::span<const uint8_t> row = painter_.paint(v.changes);
      const uint64_t at = (seen_ - skip_) * row.size();
      if (at > out_.size() || row.size() > out_.size() - at) return FaxSinkAction::kStop;
      std::copy(row.begin(), row.end(), out_.begin() + static_cast<std::ptrdiff_t>(at));
      ++painted_;
    }
    ++seen_;
    return painted_ >= count_ ? FaxSinkAction::kStop : FaxSinkAction::kContinue;
  }
  uint64_t painted() const { return painted_; }

 private:
  bool kept(const FaxRowView& v) const {
    if (v.length != width_) return false;
    switch (coding_) {
      case FaxCoding::kT4OneD:
        return v.end == FaxRowEnd::kEol || v.end == FaxRowEnd::kInvalid || v.end == FaxRowEnd::kDataEnd;
      case FaxCoding::kT4TwoD:
        return v.end == FaxRowEnd::kEol || v.end == FaxRowEnd::kDataEnd;
      default:
        return v.end == FaxRowEnd::kComplete;
    }
  }

  FaxCoding coding_;
  RowPainter painter_;
  int32_t width_;
  uint64_t skip_;
  uint64_t count_;
  std::span<uint8_t> out_;
  uint64_t seen_ = 0;
  uint64_t painted_ = 0;
};

}  // namespace

uint64_t decodeSegmentRows(FaxByteSource& source, const RawIndexHeader& header,
                           int markerCount, const RawSegment& segment, uint64_t skip,
                           uint64_t count, std::span<uint8_t> out) {
  if (count == 0 || header.width == 0 || header.width > (uint32_t{1} << 17)) return 0;
  if (skip >= segment.rows) return 0;
  count = std::min<uint64_t>(count, segment.rows - skip);
  if (segment.startAddress() >= source.size() * 8) return 0;
  const int32_t width = static_cast<int32_t>(header.width);
  FaxBitReader reader(source, header.bitOrder);
  reader.seekBit(segment.startAddress());
  FaxLoopOptions options;
  options.width = width;
  options.exactWidth = true;
  const auto coding = static_cast<FaxCoding>(header.coding);
  SegmentRowsSink sink(coding, width, skip, count, out);
  int result = 0;
  switch (coding) {
    case FaxCoding::kT4OneD:
      options.findFirstEol = true;
      result = runT4OneD(reader, options, sink);
      break;
    case FaxCoding::kT4TwoD:
      result = runT4TwoD(reader, options, sink);
      break;
    case FaxCoding::kT6:
      options.markerCount = markerCount;
      result = runT6(reader, options, sink);
      break;
    default:
      return 0;
  }
  (void)result;
  return sink.painted();
}

int analyseGroup3(const RawAnalysisInput& input, uint8_t bitOrder) {
  FaxBitReader reader(*input.source, bitOrder);
  const int required = std::max<int>(input.threshold, 1);
  int32_t width = 0;
  if (probeStandardWidth1D(reader, required, width) == 0 ||
      (input.nonStandardWidth && probeMinimumWidth1D(reader, required, input.minWidth, width) == 0)) {
    return measureGroup3(input, bitOrder, width, false);
  }
  if (probeStandardWidth2D(reader, required, width) == 0 ||
      (input.nonStandardWidth && probeMinimumWidth2D(reader, required, input.minWidth, width) == 0)) {
    return measureGroup3(input, bitOrder, width, true);
  }
  return -1;
}

int analyseGroup4(const RawAnalysisInput& input, std::span<const uint8_t> bitOrders) {
  const int required = std::max<int>(input.threshold, 1);
  const int markers = input.rawFax ? 0 : std::max<int>(input.flagNum, 1);

  std::vector<int32_t> candidates;
  if (input.nonStandardWidth && input.minWidth > 0) candidates.push_back(input.minWidth);
  candidates.insert(candidates.end(), std::begin(kFaxT6ProbeWidths), std::end(kFaxT6ProbeWidths));
  FaxT6Choice choice;
  uint8_t chosenOrder = 0;
  int32_t chosenWidth = 0;
  uint64_t chosenMarkerBit = 0;
  for (uint8_t bitOrder : bitOrders) {
    FaxBitReader reader(*input.source, bitOrder);
    for (int32_t width : candidates) {
      uint64_t markerBit = 0;
      uint64_t firstBadRowBit = kFaxNoBadRow;
      const bool accepted = probeT6Width(reader, width, required, markers, !input.rawFax,
                                         &markerBit, &firstBadRowBit) == 0;
      if (choice.offer(accepted, firstBadRowBit)) {
        chosenOrder = bitOrder;
        chosenWidth = width;
        chosenMarkerBit = markerBit;
      }
      if (choice.settled()) break;
    }
    if (choice.settled()) break;
  }
  if (!choice.found()) return -1;
  return measureGroup4(input, chosenOrder, chosenWidth, input.rawFax ? 0 : chosenMarkerBit);
}

}  // namespace tarnwell
