#include "faxin/tiff/TiffDirectory.h"

#include <algorithm>
#include <new>

#include "faxin/tiff/TiffTags.h"

namespace tarnwell {

namespace {

constexpr uint16_t kMarkLittle = 0x4949;  // "II"
constexpr uint16_t kMarkBig = 0x4D4D;     // "MM"
constexpr uint16_t kMarkFf = 0x4646;      // "FF", read as little-endian

using namespace tiff;

// Width in bytes of one element of a SHORT/LONG/BYTE array; other types are read as LONG.
std::size_t elementSize(uint16_t type) {
  switch (type) {
    case kTypeByte:
    case kTypeSByte:
    case kTypeUndefined:
      return 1;
    case kTypeShort:
    case kTypeSShort:
      return 2;
    default:
      return 4;
  }
}

bool fits(std::size_t size, uint64_t position, uint64_t length) {
  return position <= size && length <= size - position;
}

uint32_t divide(uint32_t numerator, uint32_t denominator) {
  return denominator == 0 ? 0 : numerator / denominator;
}

}  // namespace

uint32_t TiffPageInfo::xResolution() const {
  return divide(xResolutionNumerator, xResolutionDenominator);
}

uint32_t TiffPageInfo::yResolution() const {
  return divide(yResolutionNumerator, yResolutionDenominator);
}

uint32_t TiffPageInfo::rowsInStrip(std::size_t index) const {
  if (rowsPerStrip == 0 || rowsPerStrip >= length) return index == 0 ? length : 0;
  uint64_t first = uint64_t{rowsPerStrip} * index;
  if (first >= length) return 0;
  uint32_t left = length - static_cast<uint32_t>(first);
  // The last strip holds the remainder; a strip table longer than needed yields empty strips.
  return std::min(left, rowsPerStrip);
}

bool TiffView::read16(std::size_t position, uint16_t& value) const {
  if (!fits(data_.size(), position, 2)) return false;
  uint16_t b0 = data_[position];
  uint16_t b1 = data_[position + 1];
  value = bigEndian_ ? static_cast<uint16_t>((b0 << 8) | b1) : static_cast<uint16_t>(b0 | (b1 << 8));
  return true;
}

bool TiffView::read32(std::size_t position, uint32_t& value) const {
  if (!fits(data_.size(), position, 4)) return false;
  uint32_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = data_[position + i];
  value = bigEndian_ ? (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]
                     : b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24);
  return true;
}

int TiffView::readHeader(TiffHeader& header) {
  if (data_.size() < 8) return -3;
  uint16_t mark = static_cast<uint16_t>(data_[0] | (data_[1] << 8));
  if (mark != kMarkLittle && mark != kMarkBig && mark != kMarkFf) return -4;
  bigEndian_ = mark == kMarkBig;
  header.byteOrder = mark;
  read16(2, header.magic);
  read32(4, header.firstDirectory);
  return header.magic == 42 ? 0 : -4;
}

std::vector<uint32_t> TiffView::walkChain(uint32_t first) const {
  std::vector<uint32_t> positions;
  std::vector<uint32_t> seen;  // sorted copy of positions, for the loop test
  uint32_t position = first;
  while (position != 0 && positions.size() < kMaxDirectories) {
    auto at = std::lower_bound(seen.begin(), seen.end(), position);
    if (at != seen.end() && *at == position) break;  // the chain points back: stop
    seen.insert(at, position);
    positions.push_back(position);
    uint16_t count = 0;
    if (!read16(position, count)) break;
    uint32_t next = 0;
    if (!read32(uint64_t{position} + 2 + 12 * uint64_t{count}, next)) break;
    position = next;
  }
  return positions;
}

int TiffView::readDirectory(uint32_t position, std::vector<TiffEntry>& entries,
                            uint32_t& next) const {
  if (position == 0) return -1;
  uint16_t count = 0;
  if (!read16(position, count)) return -2;
  std::size_t first = std::size_t{position} + 2;
  if (!fits(data_.size(), first, std::size_t{count} * 12)) return -4;
  try {
    entries.assign(count, TiffEntry{});
  } catch (const std::bad_alloc&) {
    return -3;
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = first + 12 * i;
    TiffEntry& e = entries[i];
    read16(at, e.tag);
    read16(at + 2, e.type);
    read32(at + 4, e.count);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(at + 8), 4, e.field.begin());
  }
  if (!read32(first + std::size_t{count} * 12, next)) return -5;
  return count;
}

uint32_t TiffView::scalar(const TiffEntry& entry, std::size_t index) const {
  const auto& f = entry.field;
  switch (elementSize(entry.type)) {
    case 1:
      return index < 4 ? f[index] : 0;
    case 2: {
      if (index > 1) return 0;
      uint16_t b0 = f[2 * index];
      uint16_t b1 = f[2 * index + 1];
      return bigEndian_ ? (b0 << 8) | b1 : b0 | (b1 << 8);
    }
    default:
      if (index != 0) return 0;
      return bigEndian_ ? (uint32_t{f[0]} << 24) | (uint32_t{f[1]} << 16) | (uint32_t{f[2]} << 8) | f[3]
                        : f[0] | (uint32_t{f[1]} << 8) | (uint32_t{f[2]} << 16) | (uint32_t{f[3]} << 24);
  }
}

bool TiffView::readArrayElement(const TiffEntry& entry, std::size_t index, uint32_t& value) const {
  if (index >= entry.count) return false;
  std::size_t width = elementSize(entry.type);
  if (uint64_t{entry.count} * width <= 4) {
    value = scalar(entry, index);
    return true;
  }
  // The array lies elsewhere in the file; the field holds its position.
  TiffEntry asLong = entry;
  asLong.type = kTypeLong;
  uint64_t at = uint64_t{scalar(asLong)} + uint64_t{index} * width;
  if (width == 1) {
    if (!fits(data_.size(), at, 1)) return false;
    value = data_[static_cast<std::size_t>(at)];
    return true;
  }
  if (width == 2) {
    uint16_t v = 0;
    if (at > SIZE_MAX || !read16(static_cast<std::size_t>(at), v)) return false;
    value = v;
    return true;
  }
  return at <= SIZE_MAX && read32(static_cast<std::size_t>(at), value);
}

bool TiffView::readRational(const TiffEntry& entry, uint32_t& numerator,
                            uint32_t& denominator) const {
  TiffEntry asLong = entry;
  asLong.type = kTypeLong;
  uint32_t at = scalar(asLong);
  return read32(at, numerator) && read32(uint64_t{at} + 4, denominator);
}

TiffPageInfo TiffView::parseDirectory(std::span<const TiffEntry> entries) const {
  TiffPageInfo info;
  for (const TiffEntry& e : entries) {
    switch (e.tag) {
      case kImageWidth: info.width = scalar(e); break;
      case kImageLength: info.length = scalar(e); break;
      case kBitsPerSample: info.bitsPerSample = scalar(e); break;
      case kCompression: info.compression = scalar(e); break;
      case kPhotometric: info.photometric = scalar(e); break;
      case kFillOrder: info.fillOrder = scalar(e); break;
      case kOrientation: info.orientation = scalar(e); break;
      case kResolutionUnit: info.resolutionUnit = scalar(e); break;
      case kT4Options: info.t4Options = scalar(e); break;
      case kT6Options: info.t6Options = scalar(e); break;
      case kRowsPerStrip: info.rowsPerStrip = scalar(e); break;
      case kPageNumber:
        info.pageNumber = {static_cast<uint16_t>(scalar(e, 0)), static_cast<uint16_t>(scalar(e, 1))};
        break;
      case kXResolution:
        if (!readRational(e, info.xResolutionNumerator, info.xResolutionDenominator)) {
          info.xResolutionNumerator = info.xResolutionDenominator = 0;
        }
        break;
      case kYResolution:
        if (!readRational(e, info.yResolutionNumerator, info.yResolutionDenominator)) {
          info.yResolutionNumerator = info.yResolutionDenominator = 0;
        }
        break;
      case kStripOffsets: info.stripOffsets = e; break;
      case kStripByteCounts: info.stripByteCounts = e; break;
      default: break;
    }
  }
  return info;
}

std::vector<TiffStrip> TiffView::strips(const TiffPageInfo& info) const {
  std::vector<TiffStrip> result;
  if (!info.stripOffsets || !info.stripByteCounts) return result;
  // Both tables must hold an element for a strip; a table that cannot lie inside the file ends
  // at the first element that does not.
  std::size_t count = std::min(info.stripOffsets->count, info.stripByteCounts->count);
  std::size_t total = 0;
  for (std::size_t i = 0; i < count && total < data_.size(); ++i) {
    uint32_t offset = 0;
    uint32_t size = 0;
    if (!readArrayElement(*info.stripOffsets, i, offset) ||
        !readArrayElement(*info.stripByteCounts, i, size)) {
      break;
    }
    if (offset >= data_.size()) size = 0;
    else size = static_cast<uint32_t>(std::min<std::size_t>(size, data_.size() - offset));
    size = static_cast<uint32_t>(std::min<std::size_t>(size, data_.size() - total));
    total += size;
    result.push_back({size == 0 ? 0 : offset, size});
  }
  return result;
}

}  // namespace tarnwell
