#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwell {

// The 8-byte TIFF header as read: byte-order mark, magic number, first directory position.
struct TiffHeader {
  uint16_t byteOrder = 0;
  uint16_t magic = 0;
  uint32_t firstDirectory = 0;
};

// One 12-byte directory entry. Tag, type and count are in host order; the 4-byte value field is
// kept as stored, because a SHORT held in it sits in its first two bytes in either byte order.
struct TiffEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  std::array<uint8_t, 4> field{};
};

// What a fax page directory says about its page; fields not present keep these defaults.
struct TiffPageInfo {
  uint32_t width = 0;
  uint32_t length = 0;
  uint32_t bitsPerSample = 1;
  uint32_t compression = 1;
  uint32_t photometric = 0;  // no tag: min-is-white, the TIFF convention for fax data
  uint32_t fillOrder = 1;
  uint32_t orientation = 1;
  uint32_t resolutionUnit = 2;
  uint32_t xResolutionNumerator = 0;
  uint32_t xResolutionDenominator = 0;
  uint32_t yResolutionNumerator = 0;
  uint32_t yResolutionDenominator = 0;
  uint32_t t4Options = 0;
  uint32_t t6Options = 0;
  std::array<uint16_t, 2> pageNumber{};
  uint32_t rowsPerStrip = 0;  // 0: not given, the whole page is one strip
  std::optional<TiffEntry> stripOffsets;
  std::optional<TiffEntry> stripByteCounts;

  // Resolution as numerator divided by denominator, 0 for a zero denominator.
  uint32_t xResolution() const;
  uint32_t yResolution() const;
  // Rows held by strip `index` when the rows are stored uncoded or PackBits coded.
  uint32_t rowsInStrip(std::size_t index) const;
};

// One strip of a page, already clipped to the bytes the file really holds.
struct TiffStrip {
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Bounds-checked, byte-order-aware reading of TIFF structures from a file held in memory.
// No read ever leaves the span; every walk over file-given counts is bounded by the file size.
class TiffView {
 public:
  static constexpr std::size_t kMaxDirectories = 1024;

  explicit TiffView(std::span<const uint8_t> data) : data_(data) {}
  // A view of a file whose header was already read in the given byte order.
  TiffView(std::span<const uint8_t> data, bool bigEndian) : data_(data), bigEndian_(bigEndian) {}

  // 0 when the file starts with "II", "MM" or "FF" and 42; -3 header not readable, -4 not a TIFF.
  int readHeader(TiffHeader& header);
  bool bigEndian() const { return bigEndian_; }
  std::size_t size() const { return data_.size(); }

  // Positions of the directory chain from `first`, in order. The walk stops at position 0, at a
  // count or link that cannot be read, at a position seen before (a looping chain) and after
  // kMaxDirectories positions, so it always ends after at most that many steps.
  std::vector<uint32_t> walkChain(uint32_t first) const;

  // Reads the directory at `position`: its entry count, or -1 (position 0), -2 (count not
  // readable), -3 (no memory), -4 (entries not readable), -5 (next position not readable).
  int readDirectory(uint32_t position, std::vector<TiffEntry>& entries, uint32_t& next) const;

  TiffPageInfo parseDirectory(std::span<const TiffEntry> entries) const;

  // The page's strips in order. Strips whose table element lies outside the file end the list;
  // a strip reaching past the end of the file is cut at the end; the running total of strip bytes
  // never exceeds the file size (strips that overlap cannot multiply the work).
  std::vector<TiffStrip> strips(const TiffPageInfo& info) const;

  // Value of a SHORT/LONG/BYTE scalar entry (element `index` when it is held in the field).
  uint32_t scalar(const TiffEntry& entry, std::size_t index = 0) const;

  bool read16(std::size_t position, uint16_t& value) const;
  bool read32(std::size_t position, uint32_t& value) const;
  std::span<const uint8_t> bytes(const TiffStrip& strip) const {
    return data_.subspan(strip.offset, strip.size);
  }

 private:
  bool readArrayElement(const TiffEntry& entry, std::size_t index, uint32_t& value) const;
  bool readRational(const TiffEntry& entry, uint32_t& numerator, uint32_t& denominator) const;

  std::span<const uint8_t> data_;
  bool bigEndian_ = false;
};

}  // namespace tarnwell
