#include "faxin/raw/RawFaxPages.h"

#include <algorithm>
#include <array>

#include "codec/BitReverse.h"

namespace tarnwell {

namespace {

// Rows of a page at 100 lines per inch for paper classes 1 to 3 (A4, B4, A3 lengths).
constexpr std::array<uint32_t, 3> kRowsAt100 = {1144, 1363, 1617};

// Mask keeping the first n bits of a byte in reading order (n from 0 to 8).
uint8_t leadingMask(unsigned n, bool highFirst) {
  if (n >= 8) return 0xFF;
  const uint8_t msb = static_cast<uint8_t>(0xFF00u >> n);  // n highest bits
  return highFirst ? msb : kBitReverse[msb];
}

bool segmentFits(std::span<const uint8_t> source, const RawSegment& segment) {
  if (segment.startBit > 7 || segment.endBit > 7) return false;
  if (segment.endAddress() <= segment.startAddress()) return false;
  // The last bit of the segment must lie inside the source.
  return (segment.endAddress() - 1) / 8 < source.size();
}

}  // namespace

uint32_t rowsPerPageFor(uint8_t paperClass, uint32_t verticalResolution) {
  if (paperClass < 1 || paperClass > 3) return 1144;
  const uint32_t base = kRowsAt100[paperClass - 1u];
  if (verticalResolution <= 100) return base;
  if (verticalResolution <= 200) return base * 2;
  if (verticalResolution <= 300) return base * 3;
  return base * 4;
}

uint16_t estimateVerticalResolution(uint8_t paperClass, uint32_t longestSegmentRows) {
  if (paperClass < 1 || paperClass > 3) return 100;
  const uint32_t base = kRowsAt100[paperClass - 1u];
  if (longestSegmentRows <= base) return 100;
  if (longestSegmentRows <= base * 2) return 200;
  if (longestSegmentRows <= base * 3) return 300;
  return 400;
}

uint64_t workFileRowLimit(uint8_t paperClass, uint32_t bytesPerRow, uint64_t bytes) {
  const uint64_t fit = bytes / std::max<uint32_t>(bytesPerRow, 1);
  return std::max<uint64_t>(fit, rowsPerPageFor(paperClass, 400));
}

std::vector<RawPageCut> cutPages(std::span<const RawSegment> segments, uint32_t rowsPerPage) {
  uint64_t pageLength = rowsPerPage;
  for (const RawSegment& s : segments) pageLength = std::max<uint64_t>(pageLength, s.rows);

  std::vector<RawPageCut> pages;
  RawPageCut current;
  uint64_t rowsBefore = 0;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const uint64_t rows = segments[i].rows;
    if (current.segmentCount > 0 && current.rows + rows > pageLength) {
      pages.push_back(current);
      current = RawPageCut{};
    }
    if (current.segmentCount == 0) {
      current.firstSegment = i;
      current.firstRow = rowsBefore;
    }
    ++current.segmentCount;
    current.rows += rows;
    rowsBefore += rows;
  }
  if (current.segmentCount > 0) pages.push_back(current);
  return pages;
}

bool appendSegmentBytes(std::span<const uint8_t> source, const RawSegment& segment,
                        uint8_t bitOrder, std::vector<uint8_t>& out) {
  if (!segmentFits(source, segment)) return false;
  const bool highFirst = bitOrder == 1;
  // The byte holding the end position is copied only when it exists; its bits from the end
  // position on are cleared anyway.
  const std::size_t last = segment.endByte < source.size() ? segment.endByte : segment.endByte - 1u;
  const std::size_t first = segment.startByte;
  const std::size_t at = out.size();
  out.insert(out.end(), source.begin() + static_cast<std::ptrdiff_t>(first),
             source.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  out[at] &= static_cast<uint8_t>(~leadingMask(segment.startBit, highFirst));
  if (last == segment.endByte) out.back() &= leadingMask(segment.endBit, highFirst);
  return true;
}

bool appendSegmentBitsAligned(std::span<const uint8_t> source, const RawSegment& segment,
                              uint8_t bitOrder, std::vector<uint8_t>& out) {
  if (!segmentFits(source, segment)) return false;
  const bool highFirst = bitOrder == 1;
  auto load = [&](uint64_t index) -> unsigned {
    if (index >= source.size()) return 0;
    const uint8_t b = source[static_cast<std::size_t>(index)];
    return highFirst ? b : kBitReverse[b];
  };
  const uint64_t bits = segment.endAddress() - segment.startAddress();
  const uint64_t bytes = (bits + 7) / 8;
  const unsigned shift = segment.startBit;
  out.reserve(out.size() + static_cast<std::size_t>(bytes));
  for (uint64_t j = 0; j < bytes; ++j) {
    const uint64_t from = uint64_t{segment.startByte} + j;
    unsigned v = (load(from) << shift) | (shift ? load(from + 1) >> (8 - shift) : 0u);
    uint8_t b = static_cast<uint8_t>(v);
    if (j + 1 == bytes && bits % 8 != 0) b &= static_cast<uint8_t>(0xFF00u >> (bits % 8));
    out.push_back(highFirst ? b : kBitReverse[b]);
  }
  return true;
}

}  // namespace tarnwell
