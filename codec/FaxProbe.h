#pragma once

#include <cstdint>
#include <span>

#include "codec/FaxBitReader.h"
#include "codec/FaxWidthClass.h"
#include "codec/FaxPage.h"

namespace tarnwell {

// The standard fax row widths, in the order the one- and two-dimensional probes know them.
inline constexpr int32_t kFaxStandardWidths[] = {1728, 2048, 2432, 2592, 3072,
                                                 3456, 3648, 4096, 4864};
// The order in which the T.6 width candidates are tried (3648 before 3456).
inline constexpr int32_t kFaxT6ProbeWidths[] = {1728, 2048, 2432, 2592, 3072,
                                                3648, 3456, 4096, 4864};

// Widest row the minimum-width probes measure; a longer row is treated like an invalid code.
inline constexpr int32_t kFaxProbeMaxWidth = 1 << 17;

// Result codes of the probes.
inline constexpr int kFaxProbeFailed = -1;   // probeCoding / probeT6Widths: nothing recognised
inline constexpr int kFaxProbeDataEnd = -2;  // a row probe reached the end of the data

// Row-width probes. Each starts at the reader's current position with a search for an EOL (two-
// dimensionally: an EOL followed by tag bit 1), decodes rows without storing them and succeeds
// (0, `width` set) when `required` rows in a row have the same accepted width; kFaxProbeDataEnd
// when the data ends first. Whatever the outcome, the reader is back at the start of the data.
//
// Standard widths: a row of one of kFaxStandardWidths counts when it equals the previous row's
// width, otherwise restarts the count at 1; any other outcome (a row of another width, an invalid
// code, an overlong row) resynchronises on the next EOL and leaves the count as it is.
[[nodiscard]] int probeStandardWidth1D(FaxBitReader& reader, int required, int32_t& width);
[[nodiscard]] int probeStandardWidth2D(FaxBitReader& reader, int required, int32_t& width);
// Minimum width M: a row wider than M counts when it equals the width of the previous such row;
// a row of another width above M resynchronises on the next EOL and restarts the count at 1 with
// its width; rows not wider than M are passed over; an invalid code resynchronises and clears the
// count.
[[nodiscard]] int probeMinimumWidth1D(FaxBitReader& reader, int required, int32_t minWidth,
                                      int32_t& width);
[[nodiscard]] int probeMinimumWidth2D(FaxBitReader& reader, int required, int32_t minWidth,
                                      int32_t& width);

// T.6 width probe at one candidate width, from the reader's current position. With
// findFirstMarker the probe first searches a marker of markerCount 0xFF bytes (none: data end).
// A row that decodes to exactly `width` counts, unless it is coded with V0 codes alone: such a
// row repeats the row above and is passed over without counting or clearing. A row of another
// length or an invalid code (a bad row) resynchronises on the next marker (markerCount 0: the
// probe fails) and restarts the count from a white reference row; an EOL code resets the
// reference row to white. `required` counted rows in a row: 0. The data's end: kFaxProbeDataEnd.
// `markerBit`, when given, receives the bit position after the last marker found (0 when none);
// `firstBadRowBit` the bit position at which the first bad row ended (kFaxNoBadRow when the
// probe met none). The reader is back at the start of the data after.
[[nodiscard]] int probeT6Width(FaxBitReader& reader, int32_t width, int required,
                               int markerCount, bool findFirstMarker,
                               uint64_t* markerBit = nullptr, uint64_t* firstBadRowBit = nullptr);

inline constexpr uint64_t kFaxNoBadRow = UINT64_MAX;

// Chooses among T.6 candidates (a width and a bit order) offered in the order in which they are
// preferred, each with its probe's verdict and the bit position of its first bad row. A wrong
// width or bit order can still be accepted on rows decoded behind a resynchronisation, and a
// width wider than the page's often decodes it cleanly for a long way, since rows coded against
// the row above decode at any width until a run reaches past the edge. So among the accepted
// candidates the one that decodes furthest before its first bad row wins, the earlier one on a
// tie; one that met no bad row before it was accepted cannot be beaten. A candidate that was not
// accepted although it decoded all the data without a bad row (too few of its rows tell
// anything) takes part as well, and when it wins nothing is accepted: the data cannot tell that
// candidate from a later one, and a guess would be noise.
class FaxT6Choice {
 public:
  // Offers a candidate; true when it becomes the one chosen so far.
  bool offer(bool accepted, uint64_t firstBadRowBit) {
    if (!accepted && firstBadRowBit != kFaxNoBadRow) return false;
    if (offered_ && firstBadRowBit <= reach_) return false;
    offered_ = true;
    accepted_ = accepted;
    reach_ = firstBadRowBit;
    return true;
  }
  // The chosen candidate was accepted by its probe.
  bool found() const { return offered_ && accepted_; }
  // No later candidate can win.
  bool settled() const { return offered_ && reach_ == kFaxNoBadRow; }

 private:
  bool offered_ = false;
  bool accepted_ = false;
  uint64_t reach_ = 0;
};

// What probeCoding and probeT6Widths found.
struct FaxProbeResult {
  uint8_t coding = 0;  // FaxCoding 5, 6 or 7
  int bitOrder = 1;
  int32_t width = 0;
};

// Tries, each with bit order 1 then 2: one-dimensional standard widths, one-dimensional with
// minimum 1728, two-dimensional standard widths, two-dimensional with minimum 1728. The first
// success fills `result` (coding 5 or 6) and returns 0; kFaxProbeFailed when all eight fail.
[[nodiscard]] int probeCoding(std::span<const uint8_t> data, int rowsRequired,
                              FaxProbeResult& result);
// T.6 data of a container page: kFaxT6ProbeWidths in order, each with bit order 1 then 2, from
// the start of the data. With markerCount above 0 a bad row resynchronises on the next marker of
// that many 0xFF bytes; with 0 it fails the width. FaxT6Choice picks the candidate; when it was
// accepted, it fills `result` (coding 7) and the result is 0, otherwise kFaxProbeFailed.
[[nodiscard]] int probeT6Widths(std::span<const uint8_t> data, int rowsRequired,
                                FaxProbeResult& result, int markerCount = 0);

// Reverses the order of the page's rows (bottom-up images).
void flipRows(FaxPage& page);
// Reverses every row end to end, bits included (the width's pixels; padding bits stay 0).
void mirrorRows(FaxPage& page);

}  // namespace tarnwell
