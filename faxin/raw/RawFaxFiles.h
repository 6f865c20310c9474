#pragma once

// The two working files of the raw fax analysis and their fixed byte layouts.
//
// Work file: a 37-byte FaxPage record (little-endian, the last four bytes unused), then the good
// rows, bytesPerRow bytes each, in source order (1 bits white), up to workFileRowLimit rows (the
// header's row count may be larger for degenerate streams; see RawFaxPages.h).
//
// Segment index file: a 4120-byte header, then one 14-byte record per segment (a segment is an
// unbroken run of good rows in the source).

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codec/FaxPage.h"

namespace tarnwell {

inline constexpr std::size_t kRawWorkHeaderSize = FaxPage::kRecordSize;  // 37
inline constexpr std::size_t kRawIndexHeaderSize = 4120;
inline constexpr std::size_t kRawSegmentRecordSize = 14;
inline constexpr std::size_t kRawPageTableEntries = 1024;

// One run of good rows: where it lies in the source and how many rows it holds. A position is a
// byte index plus the number of bits of that byte that come before it in reading order. The end
// is the first bit behind the segment.
struct RawSegment {
  uint32_t startByte = 0;
  uint32_t endByte = 0;
  uint32_t rows = 0;
  uint8_t startBit = 0;
  uint8_t endBit = 0;

  uint64_t startAddress() const { return uint64_t{startByte} * 8 + startBit; }
  uint64_t endAddress() const { return uint64_t{endByte} * 8 + endBit; }
};

struct RawIndexHeader {
  uint32_t segmentCount = 0;
  uint32_t totalRows = 0;
  uint32_t width = 0;
  uint8_t bitOrder = 0;
  uint8_t coding = 0;
  uint8_t paperClass = 0;
  uint32_t longestSegment = 0;
  uint16_t verticalResolution = 0;
  std::array<uint32_t, kRawPageTableEntries> pageTable{};
};

std::array<uint8_t, kRawWorkHeaderSize> encodeWorkHeader(const FaxPage& page);
// Fills every field of page but the bitmap; false when fewer than 37 bytes are given.
bool decodeWorkHeader(std::span<const uint8_t> bytes, FaxPage& page);

std::vector<uint8_t> encodeIndexHeader(const RawIndexHeader& header);
bool decodeIndexHeader(std::span<const uint8_t> bytes, RawIndexHeader& header);

std::array<uint8_t, kRawSegmentRecordSize> encodeSegment(const RawSegment& segment);
bool decodeSegment(std::span<const uint8_t> bytes, RawSegment& segment);

// An owned standard stream.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a working file under the working-file rules (platform::openWorkingStream): "wb" makes
// it afresh with mode 0600, "rb" and "r+b" open an existing one; never through a link.
FileHandle openFile(const std::string& path, const char* mode);

// Reads the whole file; false when it cannot be opened or read (an empty file gives true and no
// bytes).
bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes);

// Writes bytes at an absolute position; false on any short write.
bool writeFileAt(std::FILE* file, uint64_t position, std::span<const uint8_t> bytes);
// Reads up to bytes.size() bytes at a position; returns how many were read.
std::size_t readFileAt(std::FILE* file, uint64_t position, std::span<uint8_t> bytes);

// The segment index as read back from disk: the header and the segment records that are really
// present (a header that claims more records than the file holds is cut to the records present).
struct RawSegmentIndex {
  RawIndexHeader header;
  std::vector<RawSegment> segments;
};
// 0 on success; -1 when the file cannot be opened or its header is short, -2 when it holds no
// segment.
int loadSegmentIndex(const std::string& path, RawSegmentIndex& index);

}  // namespace tarnwell
