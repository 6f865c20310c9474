#include "faxin/raw/RawFaxFiles.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "platform/Platform.h"

namespace tarnwell {

namespace {

// Little-endian field writer over a fixed buffer; every call is range-checked by the caller's
// layout, which never exceeds the buffer it was sized for.
class LeWriter {
 public:
  explicit LeWriter(std::span<uint8_t> out) : out_(out) {}
  void put8(std::size_t at, uint8_t v) {
    if (at < out_.size()) out_[at] = v;
  }
  void put16(std::size_t at, uint16_t v) {
    put8(at, static_cast<uint8_t>(v));
    put8(at + 1, static_cast<uint8_t>(v >> 8));
  }
  void put32(std::size_t at, uint32_t v) {
    put16(at, static_cast<uint16_t>(v));
    put16(at + 2, static_cast<uint16_t>(v >> 16));
  }

 private:
  std::span<uint8_t> out_;
};

// Little-endian field reader; a read that does not fit clears ok() and yields 0.
class LeReader {
 public:
  explicit LeReader(std::span<const uint8_t> in) : in_(in) {}
  uint8_t get8(std::size_t at) {
    if (at >= in_.size()) {
      ok_ = false;
      return 0;
    }
    return in_[at];
  }
  uint16_t get16(std::size_t at) { return static_cast<uint16_t>(get8(at) | (get8(at + 1) << 8)); }
  uint32_t get32(std::size_t at) { return get16(at) | (static_cast<uint32_t>(get16(at + 2)) << 16); }
  bool ok() const { return ok_; }

 private:
  std::span<const uint8_t> in_;
  bool ok_ = true;
};

// The page table as little-endian 32-bit words at `at`, in one copy on a little-endian machine
// (the header is written and read many times while a raw file is analysed).
void putPageTable(std::span<uint8_t> out, std::size_t at,
                  const std::array<uint32_t, kRawPageTableEntries>& table) {
  constexpr std::size_t kBytes = 4 * kRawPageTableEntries;
  if (at > out.size() || out.size() - at < kBytes) return;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out.data() + at, table.data(), kBytes);
  } else {
    LeWriter w(out);
    for (std::size_t i = 0; i < kRawPageTableEntries; ++i) w.put32(at + 4 * i, table[i]);
  }
}

bool getPageTable(std::span<const uint8_t> in, std::size_t at,
                  std::array<uint32_t, kRawPageTableEntries>& table) {
  constexpr std::size_t kBytes = 4 * kRawPageTableEntries;
  if (at > in.size() || in.size() - at < kBytes) return false;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(table.data(), in.data() + at, kBytes);
  } else {
    LeReader r(in);
    for (std::size_t i = 0; i < kRawPageTableEntries; ++i) table[i] = r.get32(at + 4 * i);
  }
  return true;
}

}  // namespace

std::array<uint8_t, kRawWorkHeaderSize> encodeWorkHeader(const FaxPage& page) {
  std::array<uint8_t, kRawWorkHeaderSize> bytes{};
  LeWriter w(bytes);
  w.put32(0, static_cast<uint32_t>(page.reserved));
  w.put32(4, static_cast<uint32_t>(page.width));
  w.put32(8, static_cast<uint32_t>(page.rows));
  w.put32(12, static_cast<uint32_t>(page.bytesPerRow));
  w.put16(16, static_cast<uint16_t>(page.bitsPerSample));
  w.put16(18, static_cast<uint16_t>(page.samplesPerPixel));
  w.put32(20, page.codedSize);
  w.put16(24, page.xResolution);
  w.put16(26, page.yResolution);
  w.put8(28, page.resolutionUnit);
  w.put8(29, page.fillOrder);
  w.put8(30, page.coding);
  w.put8(31, page.pageSize);
  w.put8(32, page.photometric);
  // Bytes 33 to 36 stand for the bitmap pointer of the in-memory record; they stay zero.
  return bytes;
}

bool decodeWorkHeader(std::span<const uint8_t> bytes, FaxPage& page) {
  if (bytes.size() < kRawWorkHeaderSize) return false;
  LeReader r(bytes);
  page.reserved = static_cast<int32_t>(r.get32(0));
  page.width = static_cast<int32_t>(r.get32(4));
  page.rows = static_cast<int32_t>(r.get32(8));
  page.bytesPerRow = static_cast<int32_t>(r.get32(12));
  page.bitsPerSample = static_cast<int16_t>(r.get16(16));
  page.samplesPerPixel = static_cast<int16_t>(r.get16(18));
  page.codedSize = r.get32(20);
  page.xResolution = r.get16(24);
  page.yResolution = r.get16(26);
  page.resolutionUnit = r.get8(28);
  page.fillOrder = r.get8(29);
  page.coding = r.get8(30);
  page.pageSize = r.get8(31);
  page.photometric = r.get8(32);
  return r.ok();
}

std::vector<uint8_t> encodeIndexHeader(const RawIndexHeader& header) {
  std::vector<uint8_t> bytes(kRawIndexHeaderSize, 0);
  LeWriter w(bytes);
  w.put32(0, header.segmentCount);
  w.put32(4, header.totalRows);
  w.put32(8, header.width);
  w.put8(12, header.bitOrder);
  w.put8(13, header.coding);
  w.put8(14, header.paperClass);
  w.put32(16, header.longestSegment);
  w.put16(20, header.verticalResolution);
  putPageTable(bytes, 24, header.pageTable);
  return bytes;
}

bool decodeIndexHeader(std::span<const uint8_t> bytes, RawIndexHeader& header) {
  if (bytes.size() < kRawIndexHeaderSize) return false;
  LeReader r(bytes);
  header.segmentCount = r.get32(0);
  header.totalRows = r.get32(4);
  header.width = r.get32(8);
  header.bitOrder = r.get8(12);
  header.coding = r.get8(13);
  header.paperClass = r.get8(14);
  header.longestSegment = r.get32(16);
  header.verticalResolution = r.get16(20);
  const bool table = getPageTable(bytes, 24, header.pageTable);
  return r.ok() && table;
}

std::array<uint8_t, kRawSegmentRecordSize> encodeSegment(const RawSegment& segment) {
  std::array<uint8_t, kRawSegmentRecordSize> bytes{};
  LeWriter w(bytes);
  w.put32(0, segment.startByte);
  w.put32(4, segment.endByte);
  w.put32(8, segment.rows);
  w.put8(12, segment.startBit);
  w.put8(13, segment.endBit);
  return bytes;
}

bool decodeSegment(std::span<const uint8_t> bytes, RawSegment& segment) {
  if (bytes.size() < kRawSegmentRecordSize) return false;
  LeReader r(bytes);
  segment.startByte = r.get32(0);
  segment.endByte = r.get32(4);
  segment.rows = r.get32(8);
  segment.startBit = r.get8(12);
  segment.endBit = r.get8(13);
  return r.ok() && segment.startBit < 8 && segment.endBit < 8;
}

FileHandle openFile(const std::string& path, const char* mode) {
  return FileHandle(platform::openWorkingStream(path, mode));
}

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FileHandle file = openFile(path, "rb");
  if (!file) return false;
  std::array<uint8_t, 65536> chunk{};
  for (;;) {
    const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    if (n < chunk.size()) return std::ferror(file.get()) == 0;
  }
}

bool writeFileAt(std::FILE* file, uint64_t position, std::span<const uint8_t> bytes) {
  if (file == nullptr || position > static_cast<uint64_t>(std::numeric_limits<long>::max())) return false;
  if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

std::size_t readFileAt(std::FILE* file, uint64_t position, std::span<uint8_t> bytes) {
  if (file == nullptr || position > static_cast<uint64_t>(std::numeric_limits<long>::max())) return 0;
  if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0) return 0;
  return std::fread(bytes.data(), 1, bytes.size(), file);
}

int loadSegmentIndex(const std::string& path, RawSegmentIndex& index) {
  index = RawSegmentIndex{};
  std::vector<uint8_t> bytes;
  if (!readFileBytes(path, bytes)) return -1;
  if (!decodeIndexHeader(bytes, index.header)) return -1;
  // Only the records really present count, whatever the header claims.
  const std::size_t present = (bytes.size() - kRawIndexHeaderSize) / kRawSegmentRecordSize;
  const std::size_t count = std::min<std::size_t>(present, index.header.segmentCount);
  index.segments.reserve(count);
  std::span<const uint8_t> all(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    RawSegment segment;
    const std::size_t at = kRawIndexHeaderSize + i * kRawSegmentRecordSize;
    if (!decodeSegment(all.subspan(at, kRawSegmentRecordSize), segment)) break;
    index.segments.push_back(segment);
  }
  return index.segments.empty() ? -2 : 0;
}

}  // namespace tarnwell
