// The decoding loops, one per coding. Each decodes rows with the row decoders of
// FaxRowDecoding.h, hands every row outcome to its sink and applies the coding's rules for
// counting errors and resynchronising. Every iteration consumes bits or ends the loop.

#include "codec/FaxDecoder.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "codec/FaxRowDecoding.h"

namespace tarnwell {

using faxrow::ChangeList;
using faxrow::decodeRow1D;
using faxrow::decodeRow2D;
using faxrow::RowResult;

namespace {

FaxRowView makeView(const RowResult& res, bool twoDimensional, const ChangeList& cur,
                    const FaxBitReader& r) {
  FaxRowView view;
  view.end = res.end;
  view.twoDimensional = twoDimensional;
  view.length = res.length;
  view.changes = cur.changes();
  view.codeEndBit = res.codeEndBit;
  view.bitPosition = r.bitPosition();
  return view;
}

// Aligns to a byte and skips one 16-bit value; false when the data ends first.
bool skipWord(FaxBitReader& r) {
  r.alignRow(false);
  r.refill();
  if (r.available() < 16) {
    r.seekBit(r.bitSize());
    return false;
  }
  r.consume(16);
  return true;
}

// Consumes consecutive 1 bits, a window at a time.
void skipOnes(FaxBitReader& r) {
  for (;;) {
    r.refill();
    const int avail = r.available();
    if (avail == 0) return;
    const uint64_t zeros = ~r.window();
    const int ones = std::min(zeros == 0 ? 64 : __builtin_clzll(zeros), avail);
    r.consume(ones);
    if (ones < avail) return;
  }
}

// Changes a row needs before its coding decides how the next row is decoded.
constexpr int32_t kBusyChanges = 16;

int64_t loopWidth(const FaxLoopOptions& o) {
  return o.width < 0 ? 0 : (o.width > INT32_MAX ? INT32_MAX : o.width);
}

}  // namespace

int runModifiedHuffman(FaxBitReader& reader, const FaxLoopOptions& options, FaxRowSink& sink) {
  try {
    const int64_t width = loopWidth(options);
    ChangeList cur;
    for (;;) {
      const RowResult res = decodeRow1D<true>(reader, width, true, cur);
      const FaxSinkAction action = sink.row(makeView(res, false, cur, reader));
      if (action == FaxSinkAction::kStop || res.end != FaxRowEnd::kComplete) return 0;
      reader.alignRow(options.wordAligned);
    }
  } catch (const std::bad_alloc&) {
    return kFaxDecodeFailed;
  }
}

int runT4OneD(FaxBitReader& reader, const FaxLoopOptions& options, FaxRowSink& sink) {
  try {
    const int64_t width = loopWidth(options);
    ChangeList cur;
    int errors = 0;
    auto resync = [&]() {
      if (reader.findEol(2) != 0) return false;
      sink.resynced(reader.bitPosition());
      return true;
    };
    if (options.findFirstEol && !resync()) return 0;
    if (options.skipWords && !skipWord(reader)) return 0;
    for (;;) {
      const RowResult res = decodeRow1D<false>(reader, width, options.rowComplete, cur);
      const FaxSinkAction action = sink.row(makeView(res, false, cur, reader));
      if (action == FaxSinkAction::kStop) return errors;
      switch (res.end) {
        case FaxRowEnd::kDataEnd:
          return errors;
        case FaxRowEnd::kInvalid:
          ++errors;
          if (!resync()) return errors;
          continue;
        case FaxRowEnd::kTooLong:
          if (!resync()) return errors;
          continue;
        case FaxRowEnd::kComplete:
          if (options.skipWords && !skipWord(reader)) return errors;
          break;
        case FaxRowEnd::kEol:
          break;
      }
      if (action == FaxSinkAction::kResync && !resync()) return errors;
    }
  } catch (const std::bad_alloc&) {
    return kFaxDecodeFailed;
  }
}

int runT4TwoD(FaxBitReader& reader, const FaxLoopOptions& options, FaxRowSink& sink) {
  try {
    const int64_t width = loopWidth(options);
    ChangeList ref;
    ChangeList cur;
    ref.seal(static_cast<int32_t>(options.exactWidth ? width : 0));
    int errors = 0;
    // Moves to the next EOL followed by tag bit 1. With afterEol the reader stands right behind
    // an EOL whose tag bit is taken first.
    auto syncOneDimensional = [&](bool afterEol) {
      int tag = afterEol ? reader.readBits(1) : 0;
      while (tag == 0) {
        if (reader.findEol(2) != 0) return false;
        tag = reader.readBits(1);
      }
      if (tag < 0) return false;
      sink.resynced(reader.bitPosition());
      return true;
    };
    if (!syncOneDimensional(false)) return kFaxDecodeFailed;
    int tag = 1;
    for (;;) {
      const bool twoD = tag == 0;
      const RowResult res =
          twoD ? decodeRow2D<false>(reader, width, ref.data(), ref.count(), cur)
               : decodeRow1D<false>(reader, width, false, cur);
      const bool atEol = res.end == FaxRowEnd::kEol;
      const bool whole = atEol && (options.exactWidth ? res.length == width
                                                      : res.length >= 1 && res.length <= width);
      const FaxSinkAction action = sink.row(makeView(res, twoD, cur, reader));
      if (action == FaxSinkAction::kStop || res.end == FaxRowEnd::kDataEnd) return errors;
      if (atEol && (whole || res.length == 0) && action != FaxSinkAction::kResync) {
        if (whole) {
          ref.swap(cur);
          ref.seal(static_cast<int32_t>(options.exactWidth ? width : res.length));
        }
        tag = reader.readBits(1);
        if (tag < 0) return errors;
        continue;
      }
      if (!whole && !(atEol && res.length == 0)) ++errors;
      if (!syncOneDimensional(atEol)) return errors;
      tag = 1;
    }
  } catch (const std::bad_alloc&) {
    return kFaxDecodeFailed;
  }
}

int runT6(FaxBitReader& reader, const FaxLoopOptions& options, FaxRowSink& sink) {
  if (options.width <= 0 || options.width > INT32_MAX) return kFaxDecodeFailed;
  try {
    const int64_t width = options.width;
    const int32_t end = static_cast<int32_t>(width);
    ChangeList ref;
    ChangeList cur;
    ref.seal(end);
    int errors = 0;
    auto resync = [&]() {
      if (options.markerCount <= 0 || reader.findMarker(options.markerCount) != 0) return false;
      sink.resynced(reader.bitPosition());
      return true;
    };
    if (options.findFirstMarker && !resync()) return 0;
    // Whether the last row looked like noise or halftone: many changes at more than four bits
    // each, where text and line art take one to three (mostly vertical mode). The next row is
    // decoded by the arrangement that suits such rows; the result is the same either way.
    bool busy = false;
    for (;;) {
      if (options.skipBlankCopies && ref.count() == 0) skipOnes(reader);
      const uint64_t start = reader.bitPosition();
      const RowResult res =
          busy ? decodeRow2D<true, true>(reader, width, ref.data(), ref.count(), cur)
               : decodeRow2D<true>(reader, width, ref.data(), ref.count(), cur);
      busy = cur.count() >= kBusyChanges &&
             res.codeEndBit - start > 4 * static_cast<uint64_t>(cur.count());
      FaxRowView view = makeView(res, true, cur, reader);
      // A V0 code is one bit and places one change, or ends the row; every other code takes
      // more bits than the changes it places. So a complete row is made of V0 codes alone
      // exactly when it took one bit per change and one more for its end.
      view.repeatsReference = res.end == FaxRowEnd::kComplete &&
                              res.codeEndBit - start == static_cast<uint64_t>(cur.count()) + 1;
      const FaxSinkAction action = sink.row(view);
      if (action == FaxSinkAction::kStop || res.end == FaxRowEnd::kDataEnd) return errors;
      if (action != FaxSinkAction::kResync) {
        if (res.end == FaxRowEnd::kComplete) {
          ref.swap(cur);
          ref.seal(end);
          continue;
        }
        if (res.end == FaxRowEnd::kEol) {
          ref.clear();
          ref.seal(end);
          continue;
        }
      }
      if (res.end == FaxRowEnd::kInvalid) ++errors;
      ref.clear();
      ref.seal(end);
      if (!resync()) return errors;
    }
  } catch (const std::bad_alloc&) {
    return kFaxDecodeFailed;
  }
}

}  // namespace tarnwell
