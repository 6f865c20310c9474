#pragma once

// The search for the coding, bit order and width of a bare fax stream, and the measuring passes
// that then write the work file and the segment index.

#include <cstdint>
#include <span>
#include <string>

#include "codec/FaxBitReader.h"
#include "faxin/raw/RawFaxFiles.h"
#include "faxin/raw/RawFaxPages.h"

namespace tarnwell {

struct RawAnalysisInput {
  FaxByteSource* source = nullptr;  // the stream, read in chunks (never null when analysing)
  std::string workPath;
  std::string indexPath;
  uint16_t threshold = 50;
  uint8_t flagNum = 3;
  uint16_t minWidth = 1728;
  bool rawFax = false;           // Group 4 data without flags
  bool nonStandardWidth = true;  // also try widths other than the standard ones
  uint16_t verticalResolution = 0;  // chosen by the user (sets the page length); 0: estimated
  uint64_t workFileBytes = kRawWorkFileBytes;  // bound of the rows the work file stores
  uint32_t rowLimit = kRawNoRowLimit;          // rows recorded at most (besides 1024 pages' worth)
};

// Group 3 with one bit order (1 highest bit first, 2 least bit first): probes one-dimensional then
// two-dimensional rows, then runs the measuring pass of the dimension found. The pass's error count
// (0 or more) on success; negative when no width is accepted or the working files cannot be made.
// Both write the working files only when a width is accepted; the caller empties them when no
// attempt succeeds.
int analyseGroup3(const RawAnalysisInput& input, uint8_t bitOrder);

// Group 4: probes the widths with each bit order in turn (the order of preference), then runs
// the Group 4 measuring pass with the candidate that FaxT6Choice picks, when it was accepted.
int analyseGroup4(const RawAnalysisInput& input, std::span<const uint8_t> bitOrders);

// Decodes the good rows of one recorded segment again from the source, exactly as the measuring
// pass found them (coding, bit order and width from the index header; markerCount as the pass
// used it for Group 4, 0 when flags are off). Rows [skip, skip + count) of the segment are
// painted into out, bytesPerRow bytes each, 1 bits white. Returns the rows painted: fewer when
// the source does not decode as the segment says, or out is too small.
uint64_t decodeSegmentRows(FaxByteSource& source, const RawIndexHeader& header,
                           int markerCount, const RawSegment& segment, uint64_t skip,
                           uint64_t count, std::span<uint8_t> out);

}  // namespace tarnwell
