#pragma once

// Page geometry of a raw fax stream: rows per page from the paper class and vertical resolution,
// the vertical resolution estimated from the longest segment, cutting the segments into pages,
// and gathering a page's coded bytes from the source.

#include <cstdint>
#include <span>
#include <vector>

#include "faxin/raw/RawFaxFiles.h"

namespace tarnwell {

// Rows of one page for a paper class (1 A4, 2 B4, 3 A3 widths) at a vertical resolution in lines
// per inch; any other class gives 1144.
uint32_t rowsPerPageFor(uint8_t paperClass, uint32_t verticalResolution);

// 100, 200, 300 or 400 lines per inch from the longest unbroken run of rows; 100 for an unknown
// paper class.
uint16_t estimateVerticalResolution(uint8_t paperClass, uint32_t longestSegmentRows);

// Rows the work file holds at most: as many as fit in `bytes` (64 MiB unless a test lowers it),
// and never fewer than the longest page of the paper class (at 400 lines per inch). A stream of
// more good rows than that is degenerate (a normal fax of that size has hundreds of pages); its
// further rows are counted and indexed but not stored, and whoever needs them decodes them again
// from the source.
inline constexpr uint64_t kRawWorkFileBytes = uint64_t{64} << 20;
// No bound on the rows a measuring pass records beyond what 1024 pages hold (the engine's case).
inline constexpr uint32_t kRawNoRowLimit = UINT32_MAX;
uint64_t workFileRowLimit(uint8_t paperClass, uint32_t bytesPerRow, uint64_t bytes = kRawWorkFileBytes);

// One cut page: a run of consecutive segments.
struct RawPageCut {
  std::size_t firstSegment = 0;
  std::size_t segmentCount = 0;
  uint64_t rows = 0;      // sum of the segments' rows
  uint64_t firstRow = 0;  // index of the page's first good row in the work file
};

// Walks the segments in order, starting a new page whenever the next segment would make the page
// longer than pageLength rows (the larger of rowsPerPage and the longest segment). Every segment
// lands on exactly one page.
std::vector<RawPageCut> cutPages(std::span<const RawSegment> segments, uint32_t rowsPerPage);

// Appends the source bytes of one segment: from its start byte to the byte holding its last bit,
// with the bits in front of the start and behind the end cleared (in the source's bit order; bit
// order 1 is highest bit first, anything else lowest bit first). The cleared bits in front of an
// EOL act as fill bits. False, appending nothing, when the segment lies outside the source or
// ends before it starts.
bool appendSegmentBytes(std::span<const uint8_t> source, const RawSegment& segment,
                        uint8_t bitOrder, std::vector<uint8_t>& out);

// Appends the segment's bits shifted so that its first bit is the first bit of a new byte (for
// T.6 data, where leading zero bits are not fill); the last byte is padded with zero bits.
bool appendSegmentBitsAligned(std::span<const uint8_t> source, const RawSegment& segment,
                              uint8_t bitOrder, std::vector<uint8_t>& out);

}  // namespace tarnwell
