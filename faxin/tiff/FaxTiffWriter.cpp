#include "faxin/tiff/FaxTiffWriter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "codec/FaxPage.h"
#include "faxin/tiff/TiffTags.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

using tiff::kTypeAscii;
using tiff::kTypeLong;
using tiff::kTypeRational;
using tiff::kTypeShort;

// Entry positions in the directory, in tag order.
enum EntryIndex : std::size_t {
  kNewSubfileType = 0,
  kImageWidth,
  kImageLength,
  kBitsPerSample,
  kCompression,
  kPhotometric,
  kFillOrder,
  kStripOffsets,
  kOrientation,
  kSamplesPerPixel,
  kRowsPerStrip,
  kStripByteCounts,
  kXResolution,
  kYResolution,
  kPlanarConfiguration,
  kCodingOptions,
  kResolutionUnit,
  kPageNumber,
  kSoftware,
  kDateTime,
};

constexpr char kSoftwareText[] = "Morvane.";
constexpr uint32_t kHeaderSize = 8;
constexpr uint16_t kTiffMagic = 42;

// Options entry that goes with a compression when the caller gives none of its own.
uint32_t defaultT4Options(uint16_t compression) {
  return (compression == tiff::kCompressionModifiedHuffman ||
          compression == tiff::kCompressionGroup3 ||
          compression == tiff::kCompressionModifiedHuffmanWord)
             ? 4
             : 0;
}

// "YYYY:MM:DD HH:MM:SS" and a terminating zero; each field is cut to its width.
std::array<char, FaxTiffWriter::kDateTimeSize> formatDateTime(const std::tm& t) {
  std::array<char, FaxTiffWriter::kDateTimeSize> text{};
  std::size_t at = 0;
  auto put = [&](int value, int width, char after) {
    value = std::clamp(value, 0, width == 4 ? 9999 : 99);
    for (int i = width - 1; i >= 0; --i) {
      text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    at += static_cast<std::size_t>(width);
    if (after != '\0') text[at++] = after;
  };
  put(t.tm_year + 1900, 4, ':');
  put(t.tm_mon + 1, 2, ':');
  put(t.tm_mday, 2, ' ');
  put(t.tm_hour, 2, ':');
  put(t.tm_min, 2, ':');
  put(t.tm_sec, 2, '\0');
  return text;
}

}  // namespace

void FaxTiffWriter::FileCloser::operator()(std::FILE* f) const {
  if (f != nullptr) std::fclose(f);
}

FaxTiffWriter::FaxTiffWriter(const std::string& path, uint16_t byteOrder, Mode mode)
    : bigEndian_(byteOrder == kBigEndian) {
  // The whole template, so every directory is well formed even before initDirectory.
  const std::array<std::pair<uint16_t, uint16_t>, kEntryCount> layout = {{
      {tiff::kNewSubfileType, kTypeLong},
      {tiff::kImageWidth, kTypeLong},
      {tiff::kImageLength, kTypeLong},
      {tiff::kBitsPerSample, kTypeShort},
      {tiff::kCompression, kTypeShort},
      {tiff::kPhotometric, kTypeShort},
      {tiff::kFillOrder, kTypeShort},
      {tiff::kStripOffsets, kTypeLong},
      {tiff::kOrientation, kTypeShort},
      {tiff::kSamplesPerPixel, kTypeShort},
      {tiff::kRowsPerStrip, kTypeLong},
      {tiff::kStripByteCounts, kTypeLong},
      {tiff::kXResolution, kTypeRational},
      {tiff::kYResolution, kTypeRational},
      {tiff::kPlanarConfiguration, kTypeShort},
      {tiff::kT4Options, kTypeLong},
      {tiff::kResolutionUnit, kTypeShort},
      {tiff::kPageNumber, kTypeShort},
      {tiff::kSoftware, kTypeAscii},
      {tiff::kDateTime, kTypeAscii},
  }};
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    entries_[i].tag = layout[i].first;
    entries_[i].type = layout[i].second;
    entries_[i].count = 1;
  }
  entries_[kPageNumber].count = 2;
  entries_[kSoftware].count = kSoftwareSize;
  entries_[kDateTime].count = kDateTimeSize;
  entries_[kCompression].shorts[0] = 1;
  entries_[kFillOrder].shorts[0] = 1;
  entries_[kResolutionUnit].shorts[0] = 2;
  initDirectory();

  if (mode == Mode::kAppend) {
    file_.reset(platform::openWorkingStream(path, "r+b"));
    if (file_) {
      if (std::fseek(file_.get(), 0, SEEK_END) != 0) {
        fail();
        return;
      }
      const long end = std::ftell(file_.get());
      if (end < 0) {
        fail();
        return;
      }
      fileEnd_ = static_cast<uint64_t>(end);
      if (fileEnd_ == 0) {
        // An empty file has nothing to append to: it becomes a new TIFF.
        if (writeHeader() != 0) fail();
      } else if (!checkAppendTarget()) {
        fail();
      }
      return;
    }
  }
  // Made afresh under the working-file rules: mode 0600, never written through a link.
  file_.reset(platform::openWorkingStream(path, "wb"));
  fileEnd_ = 0;
  if (file_ && mode == Mode::kAppend) {
    // Appending to a file that did not exist: give the new file its header.
    if (writeHeader() != 0) fail();
  }
}

FaxTiffWriter::~FaxTiffWriter() = default;

int FaxTiffWriter::fail() {
  failed_ = true;
  return -1;
}

bool FaxTiffWriter::checkAppendTarget() {
  // Pages can only be chained behind a TIFF in our byte order whose last four bytes are the last
  // directory's next-directory field.
  std::array<uint8_t, 4> head{};
  if (fileEnd_ < kHeaderSize + kDirectorySize || !seekTo(0)) return false;
  if (std::fread(head.data(), 1, head.size(), file_.get()) != head.size()) return false;
  std::vector<uint8_t> expected;
  expected.reserve(4);
  put16(expected, bigEndian_ ? kBigEndian : kLittleEndian);
  put16(expected, kTiffMagic);
  return std::equal(head.begin(), head.end(), expected.begin());
}

void FaxTiffWriter::put16(std::vector<uint8_t>& out, uint16_t v) const {
  if (bigEndian_) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  } else {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
}

void FaxTiffWriter::put32(std::vector<uint8_t>& out, uint32_t v) const {
  if (bigEndian_) {
    put16(out, static_cast<uint16_t>(v >> 16));
    put16(out, static_cast<uint16_t>(v));
  } else {
    put16(out, static_cast<uint16_t>(v));
    put16(out, static_cast<uint16_t>(v >> 16));
  }
}

bool FaxTiffWriter::seekTo(uint64_t position) {
  if (!file_ || position > static_cast<uint64_t>(LONG_MAX)) return false;
  return std::fseek(file_.get(), static_cast<long>(position), SEEK_SET) == 0;
}

bool FaxTiffWriter::writeBytes(std::span<const uint8_t> bytes) {
  if (!file_) return false;
  if (bytes.empty()) return true;
  return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
}

int FaxTiffWriter::writeHeader() {
  if (!ok()) return -1;
  if (fileEnd_ > 0) return 0;  // an appended file already has its header
  std::vector<uint8_t> header;
  put16(header, bigEndian_ ? kBigEndian : kLittleEndian);
  put16(header, kTiffMagic);
  put32(header, kHeaderSize);
  if (!seekTo(0) || !writeBytes(header)) return fail();
  fileEnd_ = kHeaderSize;
  return 0;
}

void FaxTiffWriter::initDirectory() {
  entries_[kNewSubfileType].value = 2;
  entries_[kBitsPerSample].shorts[0] = 1;
  entries_[kPhotometric].shorts[0] = 0;
  entries_[kOrientation].shorts[0] = 1;
  entries_[kSamplesPerPixel].shorts[0] = 1;
  entries_[kPlanarConfiguration].shorts[0] = 1;
  entries_[kPageNumber].shorts[0] = 0;
  entries_[kPageNumber].shorts[1] = 0;
}

void FaxTiffWriter::setOptions(uint16_t compression, uint32_t t4Options, uint32_t t6Options) {
  entries_[kCompression].shorts[0] = compression;
  Entry& options = entries_[kCodingOptions];
  if (compression == tiff::kCompressionGroup4) {
    options.tag = tiff::kT6Options;
    options.value = t6Options;
  } else {
    options.tag = tiff::kT4Options;
    options.value = t4Options;
  }
}

int FaxTiffWriter::setCoding(uint8_t coding, uint16_t photometric) {
  entries_[kPhotometric].shorts[0] = photometric;
  switch (static_cast<FaxCoding>(coding)) {
    case FaxCoding::kUncompressed: setOptions(tiff::kCompressionNone, 0, 0); return 0;
    case FaxCoding::kModifiedHuffman: setOptions(tiff::kCompressionModifiedHuffman, 4, 0); return 0;
    case FaxCoding::kModifiedHuffmanWord:
      setOptions(tiff::kCompressionModifiedHuffmanWord, 4, 0);
      return 0;
    case FaxCoding::kT4OneD: setOptions(tiff::kCompressionGroup3, 4, 0); return 0;
    case FaxCoding::kT4TwoD: setOptions(tiff::kCompressionGroup3, 5, 0); return 0;
    case FaxCoding::kT6: setOptions(tiff::kCompressionGroup4, 0, 0); return 0;
    case FaxCoding::kPackBits: setOptions(tiff::kCompressionPackBits, 0, 0); return 0;
    default:
      // Not a coding this writer knows: declare the bytes uncompressed rather than keep the
      // compression of an earlier page.
      setOptions(tiff::kCompressionNone, 0, 0);
      return -1;
  }
}

bool FaxTiffWriter::knowsCoding(uint8_t coding) {
  return coding == static_cast<uint8_t>(FaxCoding::kUncompressed) ||
         (coding >= static_cast<uint8_t>(FaxCoding::kModifiedHuffman) &&
          coding <= static_cast<uint8_t>(FaxCoding::kPackBits));
}

void FaxTiffWriter::setCompression(uint16_t compression, uint32_t t4Options, uint32_t t6Options) {
  setOptions(compression,
             compression == tiff::kCompressionGroup3 ? t4Options : defaultT4Options(compression),
             t6Options);
}

void FaxTiffWriter::setFillOrder(uint16_t fillOrder) { entries_[kFillOrder].shorts[0] = fillOrder; }

void FaxTiffWriter::setOrientation(uint16_t orientation) {
  entries_[kOrientation].shorts[0] = orientation;
}

void FaxTiffWriter::setPhotometric(uint16_t photometric) {
  entries_[kPhotometric].shorts[0] = photometric;
}

void FaxTiffWriter::setSize(uint32_t width, uint32_t rows) {
  entries_[kImageWidth].value = width;
  entries_[kImageLength].value = rows;
}

void FaxTiffWriter::setPageNumber(uint16_t index, uint16_t count) {
  entries_[kPageNumber].shorts[0] = index;
  entries_[kPageNumber].shorts[1] = count;
}

int FaxTiffWriter::setStrips(uint16_t count, uint16_t rowsPerStrip,
                             std::span<const uint32_t> stripStarts,
                             std::span<const uint32_t> byteCounts) {
  if (stripStarts.size() < count || byteCounts.size() < count) return -1;
  try {
    std::vector<uint32_t> starts(count);
    for (std::size_t i = 0; i < count; ++i) starts[i] = stripStarts[i] - stripStarts[0];
    stripByteCounts_.assign(byteCounts.begin(), byteCounts.begin() + count);
    stripStarts_ = std::move(starts);
  } catch (const std::bad_alloc&) {
    stripStarts_.clear();
    stripByteCounts_.clear();
    stripCount_ = 0;
    return -1;
  }
  stripCount_ = count;
  rowsPerStrip_ = rowsPerStrip;
  return 0;
}

int64_t FaxTiffWriter::writePage(std::span<const uint8_t> data, uint32_t xResolution,
                                 uint32_t yResolution, uint16_t resolutionUnit) {
  return appendPage(data, false, xResolution, yResolution, resolutionUnit);
}

int64_t FaxTiffWriter::writeStrippedPage(std::span<const uint8_t> data, uint32_t xResolution,
                                         uint32_t yResolution, uint16_t resolutionUnit) {
  // Without strip tables the page is written in the one-strip form, never with zero strips.
  return appendPage(data, stripCount_ > 0, xResolution, yResolution, resolutionUnit);
}

int64_t FaxTiffWriter::appendPage(std::span<const uint8_t> data, bool stripped,
                                  uint32_t xResolution, uint32_t yResolution,
                                  uint16_t resolutionUnit) {
  // The link patched below lives in the last four bytes; without a header or with the previous
  // directory not yet written there is nothing sound to patch.
  if (!ok() || fileEnd_ < kHeaderSize || directoryPending_) return -1;

  const uint64_t start = fileEnd_;
  const uint64_t size = data.size();
  const uint64_t strips = stripped ? stripCount_ : 0;
  const uint64_t arrays = 8 * strips;
  const uint64_t valuesAt = start + size + arrays;
  const uint64_t directory = valuesAt + kValuesSize;
  // Every position must fit the 32-bit fields of the format; a page that does not is refused
  // before anything is written, so the file stays intact.
  if (directory + kDirectorySize > UINT32_MAX) return -1;

  const std::array<char, kDateTimeSize> dateTime =
      formatDateTime(fixedTime_ ? *fixedTime_ : platform::localTimeNow());

  std::vector<uint8_t> tail;
  uint32_t firstOffset = static_cast<uint32_t>(start);
  uint32_t firstCount = static_cast<uint32_t>(size);
  try {
    tail.reserve(arrays + kValuesSize);
    if (stripped) {
      std::vector<uint32_t> counts(strips);
      for (std::size_t i = 0; i < strips; ++i) {
        // Strips are cut to the page's bytes so no strip points into the values behind them.
        uint64_t relative = std::min<uint64_t>(stripStarts_[i], size);
        counts[i] = static_cast<uint32_t>(std::min<uint64_t>(stripByteCounts_[i], size - relative));
        put32(tail, static_cast<uint32_t>(start + relative));
        if (i == 0) {
          firstOffset = static_cast<uint32_t>(start + relative);
          firstCount = counts[0];
        }
      }
      for (uint32_t count : counts) put32(tail, count);
    }
    put32(tail, xResolution);
    put32(tail, 1);
    put32(tail, yResolution);
    put32(tail, 1);
    const std::size_t softwareLength = sizeof kSoftwareText - 1;
    tail.insert(tail.end(), kSoftwareText, kSoftwareText + softwareLength);
    tail.insert(tail.end(), kSoftwareSize - softwareLength, 0);
    tail.insert(tail.end(), dateTime.begin(), dateTime.end());
  } catch (const std::bad_alloc&) {
    return -1;
  }

  std::vector<uint8_t> link;
  put32(link, static_cast<uint32_t>(directory));
  if (!seekTo(start) || !writeBytes(data) || !writeBytes(tail) || !seekTo(start - 4) ||
      !writeBytes(link)) {
    return fail();
  }
  fileEnd_ = directory;
  directoryOffset_ = static_cast<uint32_t>(directory);
  directoryPending_ = true;

  const uint32_t rows = entries_[kImageLength].value;
  const auto values = static_cast<uint32_t>(valuesAt);
  if (stripped) {
    const auto count = static_cast<uint32_t>(strips);
    if (count == 1) {
      // A single value is held in the entry itself, as TIFF requires for a count of 1.
      setLong(kStripOffsets, 273, 1, firstOffset);
      setLong(kStripByteCounts, 279, 1, firstCount);
    } else {
      setLong(kStripOffsets, 273, count, static_cast<uint32_t>(start + size));
      setLong(kStripByteCounts, 279, count, static_cast<uint32_t>(start + size + 4 * strips));
    }
    entries_[kRowsPerStrip].value = rowsPerStrip_ != 0 ? rowsPerStrip_ : rows;
  } else {
    setLong(kStripOffsets, 273, 1, firstOffset);
    setLong(kStripByteCounts, 279, 1, firstCount);
    entries_[kRowsPerStrip].value = rows;
  }
  entries_[kXResolution].value = values;
  entries_[kYResolution].value = values + 8;
  entries_[kResolutionUnit].shorts[0] = resolutionUnit;
  entries_[kSoftware].value = values + 16;
  entries_[kDateTime].value = values + 38;
  return directory;
}

void FaxTiffWriter::setLong(std::size_t index, uint16_t tag, uint32_t count, uint32_t value) {
  entries_[index].tag = tag;
  entries_[index].type = kTypeLong;
  entries_[index].count = count;
  entries_[index].value = value;
}

int FaxTiffWriter::writeDirectory(int64_t position) {
  if (!ok() || position < 0 || !directoryPending_ ||
      static_cast<uint64_t>(position) != directoryOffset_) {
    return -1;
  }
  std::vector<uint8_t> out;
  out.reserve(kDirectorySize);
  put16(out, static_cast<uint16_t>(kEntryCount));
  for (const Entry& e : entries_) {
    put16(out, e.tag);
    put16(out, e.type);
    put32(out, e.count);
    if (e.type == kTypeShort) {
      put16(out, e.shorts[0]);
      put16(out, e.shorts[1]);
    } else {
      put32(out, e.value);
    }
  }
  put32(out, 0);
  if (!seekTo(static_cast<uint64_t>(position)) || !writeBytes(out)) return fail();
  fileEnd_ = std::max<uint64_t>(fileEnd_, static_cast<uint64_t>(position) + kDirectorySize);
  directoryPending_ = false;
  return 0;
}

int FaxTiffWriter::close() {
  if (!file_) return -1;
  const bool flushed = std::fflush(file_.get()) == 0;
  const bool closed = std::fclose(file_.release()) == 0;
  return (failed_ || !flushed || !closed) ? -1 : 0;
}

}  // namespace tarnwell
