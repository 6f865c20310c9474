#include "faxin/readers/FaxReader.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "faxin/tiff/FaxTiffWriter.h"
#include "faxin/tiff/TiffTags.h"
#include "codec/FaxG4Encoder.h"
#include "codec/WholeStripChecks.h"
#include "platform/Platform.h"

namespace tarnwell {


// Writes one prepared page through the writer: its page calls in the fixed order, then the
// directory. 0, or FaxReader::kWriteOutputFailed when the writer reports a failure.
int writePreparedPage(FaxTiffWriter& writer, const PageToWrite& out, const FaxPage& page,
                      int index, int count) {
  std::vector<uint8_t> encoded;
  bool ownGroup4 = false;
  return writePreparedPage(writer, out, page, index, count, encoded, ownGroup4);
}

int writePreparedPage(FaxTiffWriter& writer, const PageToWrite& out, const FaxPage& page,
                      int index, int count, std::vector<uint8_t>& encoded, bool& ownGroup4) {
  ownGroup4 = false;
  const auto pageIndex = static_cast<uint16_t>(index);
  const auto pageCount = static_cast<uint16_t>(count);
  int64_t position = -1;

  if (out.form == PageToWrite::Form::kBitmap) {
    // A decoded bitmap: coded as Group 4, the bytes libtiff would make of it, so that the copy
    // passes them straight through instead of coding the page once more; written as it is when
    // the coding fails.
    const std::size_t rowBytes = page.bytesPerRow > 0 ? static_cast<std::size_t>(page.bytesPerRow) : 0;
    std::size_t rows = page.rows > 0 ? static_cast<std::size_t>(page.rows) : 0;
    if (rowBytes == 0) rows = 0;
    // Never more rows than the bitmap really holds.
    if (rowBytes > 0) rows = std::min(rows, page.bitmap.size() / rowBytes);
    const std::size_t n = rowBytes * rows;
    const std::span<const uint8_t> bitmap(page.bitmap.data(), n);

    // The page is as wide as its rows' bytes. libtiff codes the 0 bits as the white runs
    // whatever the photometric tag says (here 1: a 1 bit is white), and so does this.
    const bool coded = rows > 0 && rowBytes <= static_cast<std::size_t>(INT32_MAX / 8) &&
                       encodePageT6(bitmap, static_cast<int32_t>(rowBytes * 8),
                                    static_cast<int32_t>(rows), rowBytes, true, encoded);
    std::span<const uint8_t> bytes = bitmap;
    if (coded) {
      (void)writer.setCoding(static_cast<uint8_t>(FaxCoding::kT6), 1);
      bytes = encoded;
      ownGroup4 = true;
    } else {
      (void)writer.setCoding(static_cast<uint8_t>(FaxCoding::kUncompressed), 1);
    }
    writer.setFillOrder(1);
    writer.setSize(static_cast<uint32_t>(rowBytes * 8), static_cast<uint32_t>(rows));
    writer.setPageNumber(pageIndex, pageCount);
    writer.setOrientation(1);
    position = writer.writePage(bytes, page.xResolution, page.yResolution, 2);
  } else {
    ownGroup4 = out.ownGroup4 && out.coding == static_cast<uint8_t>(FaxCoding::kT6) &&
                !out.useCompression && out.stripStarts.empty();
    if (out.useCompression) {
      writer.setCompression(out.compression, out.t4Options, out.t6Options);
      writer.setPhotometric(out.photometric);
    } else {
      (void)writer.setCoding(out.coding, out.photometric);
    }
    writer.setFillOrder(out.fillOrder);
    writer.setSize(out.width, out.rows);
    writer.setPageNumber(pageIndex, pageCount);
    writer.setOrientation(out.orientation);
    if (!out.stripStarts.empty()) {
      const std::size_t strips =
          std::min({out.stripStarts.size(), out.stripByteCounts.size(), std::size_t{UINT16_MAX}});
      if (writer.setStrips(static_cast<uint16_t>(strips), out.rowsPerStrip, out.stripStarts,
                           out.stripByteCounts) != 0) {
        return FaxReader::kWriteOutputFailed;
      }
      position = writer.writeStrippedPage(out.data, out.xResolution, out.yResolution,
                                          out.resolutionUnit);
    } else {
      position = writer.writePage(out.data, out.xResolution, out.yResolution, out.resolutionUnit);
    }
  }
  return writer.writeDirectory(position) == 0 ? 0 : FaxReader::kWriteOutputFailed;
}


namespace {

// A page written as the source's own Group 4 bytes in one strip, without uncompressed mode and
// under a fill order libtiff knows: the form the PDF stage passes into the PDF unchanged once
// the strip is checked.
bool isCopiedGroup4Strip(const PageToWrite& out) {
  constexpr uint32_t kUncompressedMode = 2;  // the Group 4 options bit
  const bool group4 = out.useCompression
                          ? out.compression == tiff::kCompressionGroup4 &&
                                (out.t6Options & kUncompressedMode) == 0
                          : out.coding == static_cast<uint8_t>(FaxCoding::kT6);
  return out.form == PageToWrite::Form::kCoded && group4 && out.stripStarts.empty() &&
         (out.fillOrder == 1 || out.fillOrder == 2);
}

}  // namespace

void FaxReader::FileCloser::operator()(std::FILE* f) const {
  if (f != nullptr) std::fclose(f);
}

FaxReader::FaxReader(const EngineSetup& setup)
    : settings_(setup.settings),
      files_(setup.files),
      checkHelpers_(setup.checkHelpers),
      fixedLimits_(setup.limits),
      limits_(setup.limits.value_or(DescribeLimits{})) {}
FaxReader::~FaxReader() = default;

void FaxReader::resetSource() {
  close();
  pageCount_ = 0;
  fileSize_ = 0;
  clearPageData();
}

bool FaxReader::open(const std::string& path) {
  resetSource();
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  fileSize_ = static_cast<uint64_t>(size);
  file_ = std::move(file);
  limits_ = fixedLimits_.value_or(describeLimitsForFile(fileSize_));
  return true;
}

bool FaxReader::openBytes(std::span<const uint8_t> bytes) {
  resetSource();
  memory_ = bytes;
  memoryOpen_ = true;
  fileSize_ = bytes.size();
  limits_ = fixedLimits_.value_or(describeLimitsForFile(fileSize_));
  return true;
}

void FaxReader::close() {
  file_.reset();
  memory_ = {};
  memoryOpen_ = false;
}

int FaxReader::addPage(uint32_t position) {
  if (pageCount_ >= kMaxPages) return -1;
  pageTable_[pageCount_] = position;
  ++pageCount_;
  return 0;
}

uint32_t FaxReader::pagePosition(std::size_t index) const {
  return index < pageCount_ ? pageTable_[index] : 0;
}

bool FaxReader::readAt(uint64_t offset, std::span<uint8_t> out) {
  if (!isOpen() || offset > fileSize_ || out.size() > fileSize_ - offset) return false;
  if (out.empty()) return true;
  if (memoryOpen_) {
    std::copy_n(memory_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
  }
  if (offset > static_cast<uint64_t>(LONG_MAX) ||
      std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
    return false;
  }
  return std::fread(out.data(), 1, out.size(), file_.get()) == out.size();
}

std::size_t FaxReader::readSome(uint64_t offset, std::span<uint8_t> out) {
  if (!isOpen() || offset >= fileSize_ || out.empty()) return 0;
  const std::size_t length =
      static_cast<std::size_t>(std::min<uint64_t>(out.size(), fileSize_ - offset));
  if (memoryOpen_) {
    std::copy_n(memory_.begin() + static_cast<std::ptrdiff_t>(offset), length, out.begin());
    return length;
  }
  if (offset > static_cast<uint64_t>(LONG_MAX) ||
      std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
    return 0;
  }
  return std::fread(out.data(), 1, length, file_.get());
}

int FaxReader::loadPageData(uint64_t offset, uint64_t size) {
  clearPageData();
  if (!isOpen() || offset > fileSize_) return -1;
  // Data declared past the end of the file is cut at the end.
  const uint64_t length = std::min(size, fileSize_ - offset);
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(length));
  } catch (const std::exception&) {
    return kReadNoMemory;
  }
  if (!readAt(offset, bytes)) return -2;
  pageData_ = std::move(bytes);
  return 0;
}

bool FaxReader::readWholeFile(std::vector<uint8_t>& out) {
  out.clear();
  try {
    out.resize(static_cast<std::size_t>(fileSize_));
  } catch (const std::exception&) {
    out.clear();
    return false;
  }
  if (!readAt(0, out)) {
    out.clear();
    return false;
  }
  return true;
}

int FaxReader::checkHeader() {
  if (!isOpen()) return -1;
  int result = -1;
  try {
    result = readHeader();
  } catch (const std::exception&) {
    result = kReadNoMemory;
  }
  if (result != 0) close();
  return result;
}

uint16_t FaxReader::countPages() {
  if (!isOpen()) return 0;
  pageCount_ = 0;
  uint16_t count = 0;
  try {
    count = indexPages();
  } catch (const std::exception&) {
    count = 0;
  }
  if (count == 0) close();
  return count;
}

int FaxReader::describePage(int index, FaxPage& page) {
  if (!isOpen() || index < 0) return -1;
  try {
    return readPage(index, page);
  } catch (const std::exception&) {
    return kReadNoMemory;
  }
}

LeftOutReason FaxReader::reasonFor(int read) const {
  if (pageData_.empty()) return LeftOutReason::kNoData;
  if (read == -1) return LeftOutReason::kNoCoding;
  return LeftOutReason::kNoRows;
}

int FaxReader::writeAll(const std::string& outputPath, int count) {
  return writePages(outputPath, count, false);
}

int FaxReader::writeEachPage(const std::string& outputPath, int count) {
  return writePages(outputPath, count, true);
}

FaxReader::ScratchResult FaxReader::makeScratchTiff(const std::string&) {
  return ScratchResult::kCannotOpen;
}

int FaxReader::writeConverted(const std::string& outputPath, uint16_t count) {
  return writeAll(outputPath, count);
}

std::string FaxReader::pageFileName(const std::string& outputPath, int number) {
  // Only the last path component can carry the extension that is replaced.
  const std::size_t separator = outputPath.find_last_of(
      std::string{'/', platform::kPathSeparator});
  const std::size_t dot = outputPath.rfind('.');
  std::string base = outputPath;
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) {
    base.erase(dot);
  }
  return base + std::to_string(number) + ".tif";
}

int FaxReader::writePages(const std::string& outputPath, int count, bool eachPage) {
  leftOut_.clear();
  wholeGroup4_.clear();
  if (!isOpen()) return kWriteNotOpen;
  // PageNumber holds 16-bit values.
  count = std::clamp(count, 0, static_cast<int>(UINT16_MAX));
  if (eachPage && count == 0) return FaxReader::kWriteNoPage;

  try {
    FaxPage page;
    std::vector<uint8_t> encoded;  // Group 4 coding of bitmap pages, kept from page to page
    std::unique_ptr<FaxTiffWriter> writer;
    if (!eachPage) {
      writer = std::make_unique<FaxTiffWriter>(outputPath);
      if (writer->writeHeader() != 0) return FaxReader::kWriteOutputFailed;
      writer->initDirectory();
    }
    int result = 0;
    int written = 0;
    uint64_t copied = 0;  // coded bytes of the pages written
    // Group 4 strips copied from the source are checked while the pages are written, on the
    // helpers of the setup when there are any.
    WholeStripChecks checks(!eachPage && count > 1 ? checkHelpers_ : 0);
    const uint64_t copyBudget = kMaxCopiesOfFile * sourceSize();
    for (int i = 0; i < count && result == 0; ++i) {
      PageToWrite out;
      skipReason_ = LeftOutReason::kNoCoding;
      const int prepared = preparePage(i, page, out);
      const bool writable = out.form == PageToWrite::Form::kBitmap ||
                            FaxTiffWriter::knowsCoding(out.coding) || out.useCompression;
      const bool coded = out.form == PageToWrite::Form::kCoded;
      const bool overBudget = coded && out.data.size() > copyBudget - std::min(copied, copyBudget);
      if (prepared == kSkipPage) {
        leftOut_.push_back({i + 1, count, skipReason_, 0});
      } else if (prepared == 0 && !writable) {
        leftOut_.push_back({i + 1, count, LeftOutReason::kUnknownCoding, out.coding});
      } else if (prepared == 0 && overBudget) {
        leftOut_.push_back({i + 1, count, LeftOutReason::kRepeatedData, 0});
      }
      if (prepared < 0) {
        result = prepared;
      } else if (prepared != kSkipPage && writable && !overBudget) {
        if (coded) copied += out.data.size();
        if (eachPage) {
          // Each page file is begun only once its page is known to be written.
          FaxTiffWriter single(pageFileName(outputPath, kFirstPageFileNumber + i));
          if (single.writeHeader() != 0) return FaxReader::kWriteOutputFailed;
          single.initDirectory();
          bool ownGroup4 = false;
          result = writePreparedPage(single, out, page, i, count, encoded, ownGroup4);
          if (single.close() != 0) result = FaxReader::kWriteOutputFailed;
        } else {
          bool ownGroup4 = false;
          result = writePreparedPage(*writer, out, page, i, count, encoded, ownGroup4);
          if (result == 0) {
            if (!ownGroup4 && isCopiedGroup4Strip(out)) {
              (void)checks.check(wholeGroup4_.size(), out.data, out.width, out.rows,
                                 out.fillOrder == 2);
            }
            wholeGroup4_.push_back(ownGroup4);
          }
        }
        if (result == 0) ++written;
      }
      // The bitmap's memory stays for the next page: the pages of one file are mostly of one
      // size, and the largest page is held at one time either way.
      page.bitmap.clear();
    }
    if (writer && writer->close() != 0 && result == 0) result = FaxReader::kWriteOutputFailed;
    if (result == 0) (void)checks.markWhole(wholeGroup4_);
    // A TIFF without a page is no usable result.
    if (result == 0 && written == 0) result = FaxReader::kWriteNoPage;
    return result;
  } catch (const std::exception&) {
    return FaxReader::kWriteNoMemory;
  }
}

}  // namespace tarnwell
