#include "faxin/readers/DsReader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <memory>

#include "faxin/readers/ByteFields.h"
#include "faxin/tiff/RepackTiff.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr uint8_t kMark[] = {0xFD, 0xCA, 0x64};
constexpr std::size_t kDocumentNameOffset = 6;
constexpr std::size_t kContentSizeOffset = 47;
constexpr std::size_t kPrefixSizeOffset = 51;

constexpr int kNoTiff = -1;
constexpr int kUnreadable = -2;
constexpr int kPageFileFailed = -3;

// The zero-terminated text at `offset`, ending at the end of the bytes when no zero follows.
std::vector<uint8_t> textAt(std::span<const uint8_t> bytes, std::size_t offset) {
  if (offset >= bytes.size()) return {};
  const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
  return {begin, std::find(begin, bytes.end(), uint8_t{0})};
}

struct PageFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Whether the TIFF at `path` holds more than its 8-byte header, that is at least one page.
bool holdsPage(const std::string& path) {
  std::unique_ptr<std::FILE, PageFileCloser> file(std::fopen(path.c_str(), "rb"));
  return file && std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) > 8;
}

}  // namespace

int DsReader::readHeader() {
  std::array<uint8_t, kHeaderSize> header{};
  if (!readAt(0, header) || !std::equal(std::begin(kMark), std::end(kMark), header.begin())) {
    return -2;
  }
  documentName_ = textAt(header, kDocumentNameOffset);
  return 0;
}

uint16_t DsReader::indexPages() {
  // Every record moves the position on by at least its header, so the walk ends at the end of the
  // file at the latest; a record whose header cannot be read completely ends the list.
  uint64_t position = kHeaderSize;
  std::array<uint8_t, kRecordHeaderSize> record{};
  // Page positions are 32-bit: a record beyond that ends the list.
  while (position <= UINT32_MAX && readAt(position, record)) {
    if (textAt(record, 0) == documentName_) break;
    uint64_t start = 0, size = 0;
    // A record without a TIFF to give is no page.
    if (locateTiff(position, start, size) && addPage(static_cast<uint32_t>(position)) != 0) break;
    uint32_t contentSize = 0;
    ByteFields(record).u32le(kContentSizeOffset, contentSize);
    position += kRecordHeaderSize + uint64_t{contentSize};
  }
  return pageCount();
}

bool DsReader::locateTiff(uint64_t position, uint64_t& start, uint64_t& size) {
  std::array<uint8_t, kRecordHeaderSize> record{};
  if (!readAt(position, record)) return false;
  uint32_t contentSize = 0, prefixSize = 0;
  const ByteFields fields(record);
  fields.u32le(kContentSizeOffset, contentSize);
  fields.u32le(kPrefixSizeOffset, prefixSize);
  // Content declared past the end of the file is cut at the end; a prefix larger than the content
  // leaves nothing to read.
  const uint64_t contentStart = position + kRecordHeaderSize;
  const uint64_t content = std::min<uint64_t>(contentSize, fileSize() - contentStart);
  if (prefixSize >= content) return false;
  start = contentStart + prefixSize;
  size = content - prefixSize;
  return true;
}

int DsReader::extractPage(int index, const std::string& pageFilePath) {
  if (!isOpen() || index < 0 || static_cast<std::size_t>(index) >= pageCount()) return kNoTiff;
  uint64_t start = 0, size = 0;
  if (!locateTiff(pagePosition(static_cast<std::size_t>(index)), start, size)) return kNoTiff;
  if (loadPageData(start, size) != 0) return kUnreadable;
  const std::span<const uint8_t> bytes = pageData();
  std::unique_ptr<std::FILE, PageFileCloser> file(platform::openWorkingStream(pageFilePath, "wb"));
  bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (file && std::fclose(file.release()) != 0) written = false;
  clearPageData();
  return written ? 0 : kPageFileFailed;
}

int DsReader::extractPages(const std::string& scratchTiffPath, const std::string& pageFilePath,
                           uint16_t count) {
  // The scratch TIFF has a fixed name: what an earlier file left there must never become part of
  // this file, even when this file's first record gives no page.
  (void)platform::removeFile(scratchTiffPath);
  bool anyPage = false;
  try {
    for (uint16_t i = 0; i < count; ++i) {
      if (extractPage(i, pageFilePath) != 0) continue;
      // Appending to the missing scratch TIFF begins it. A page file that is no readable TIFF adds
      // nothing; one whose later directory is damaged keeps the pages before it.
      // A scratch TIFF without a page yet (a damaged first directory leaves only the header) is
      // begun again.
      if (!anyPage) (void)platform::removeFile(scratchTiffPath);
      const int repacked = repackTiff(pageFilePath, scratchTiffPath, true);
      if (repacked == 0 || (repacked == -3 && holdsPage(scratchTiffPath))) anyPage = true;
    }
  } catch (const std::exception&) {
  }
  (void)platform::removeFile(pageFilePath);
  if (!anyPage) (void)platform::removeFile(scratchTiffPath);
  return anyPage ? 0 : -1;
}

FaxReader::ScratchResult DsReader::makeScratchTiff(const std::string& sourcePath) {
  const std::string& scratch = files().scratchTiffPath;
  if (!open(sourcePath)) return ScratchResult::kCannotOpen;
  if (checkHeader() != 0) return ScratchResult::kNone;
  const uint16_t count = countPages();
  const bool made = count > 0 && extractPages(scratch, scratch + ".tiff", count) == 0;
  close();
  return made ? ScratchResult::kMade : ScratchResult::kNone;
}

int DsReader::readPage(int /*index*/, FaxPage& /*page*/) { return -1; }

int DsReader::preparePage(int /*index*/, FaxPage& /*page*/, PageToWrite& /*out*/) {
  return kSkipPage;
}

}  // namespace tarnwell
