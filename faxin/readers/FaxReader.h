#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "faxin/LeftOutPage.h"
#include "codec/FaxPage.h"
#include "faxin/FaxResult.h"
#include "faxin/tiff/FaxTiffWriter.h"
#include "faxin/tiff/TiffPageDescriber.h"

namespace tarnwell {

// How one page reaches the fax TIFF writer, as a reader's preparePage hook describes it.
struct PageToWrite {
  enum class Form : uint8_t {
    kCoded,   // `data` written unchanged with the coding (or TIFF compression) given here
    kBitmap,  // the decoded bitmap of the page record, coded as Group 4 (or uncompressed)
  };
  Form form = Form::kCoded;

  // kCoded: the bytes to write (usually the reader's pageData(); must stay valid until written).
  std::span<const uint8_t> data;
  uint8_t coding = 0;  // a FaxCoding value, handed to setCoding
  uint16_t photometric = 0;
  // When useCompression is set, setCompression(compression, t4Options, t6Options) replaces
  // setCoding (pages copied from a TIFF).
  bool useCompression = false;
  uint16_t compression = 1;
  uint32_t t4Options = 0;
  uint32_t t6Options = 0;
  uint16_t fillOrder = 1;
  uint32_t width = 0;
  uint32_t rows = 0;
  uint32_t xResolution = 0;
  uint32_t yResolution = 0;
  uint16_t resolutionUnit = 2;
  uint16_t orientation = 1;
  // Several-strip form: filled only by readers that keep a page's strips apart. Empty means one
  // strip. stripStarts may be absolute file positions; they are taken relative to the first.
  std::vector<uint32_t> stripStarts;
  std::vector<uint32_t> stripByteCounts;
  uint16_t rowsPerStrip = 0;
  // kCoded: `data` is Group 4 that this engine coded itself from decoded rows or a bitmap, so
  // every row of it is known to decode whole.
  bool ownGroup4 = false;

  // kBitmap uses the page record handed to preparePage: its bitmap, bytesPerRow, rows and
  // resolutions; coding, fill order, width and photometric are fixed by the bitmap pattern.
};

// Writes one prepared page through the writer: its page calls in the fixed order, then the
// directory. `page` supplies the bitmap of a kBitmap page. 0, or -2 when the writer fails.
int writePreparedPage(FaxTiffWriter& writer, const PageToWrite& out, const FaxPage& page,
                      int index, int count);
// The same with a buffer for the Group 4 coding of bitmap pages that the caller keeps from page
// to page. `ownGroup4` tells whether the page went in as Group 4 this engine coded itself.
int writePreparedPage(FaxTiffWriter& writer, const PageToWrite& out, const FaxPage& page,
                      int index, int count, std::vector<uint8_t>& encoded, bool& ownGroup4);

// Common base of the fax container readers.
//
// The engine calls, in this order: open, checkHeader, countPages, then describePage and writeAll
// or writeEachPage for any page index. These operations are fixed here; a concrete reader only
// states its format through the protected hooks (header check, page index, page description and
// how a page is written). Every operation checks that a file is open and never lets an exception
// out (a failed allocation becomes a failure result).
//
// All file reads go through readAt/readSome/loadPageData, which check offsets against the file
// size and report short reads. The bytes come from a file (open) or from memory the caller holds
// (openBytes); both sources answer these calls the same way.
class FaxReader {
 public:
  static constexpr std::size_t kMaxPages = 1024;
  // The coded bytes one write copies from the file, over all its pages, are at most this many
  // times the file's size: the pages of a real file never share bytes, while a table that
  // points many pages at the same bytes would fill the working files. Pages past it are left
  // out.
  static constexpr uint64_t kMaxCopiesOfFile = 4;
  static constexpr int kFirstPageFileNumber = 1001;

  // Results of the write operations (writeAll, writeEachPage, writeConverted) other than a
  // reader's own codes.
  static constexpr int kWriteNotOpen = faxCode(FaxResult::kNotOpen);
  static constexpr int kWriteOutputFailed = faxCode(FaxResult::kOutputFailed);
  static constexpr int kWriteNoMemory = faxCode(FaxResult::kNoMemory);
  static constexpr int kWriteNoPage = faxCode(FaxResult::kNoPage);
  // Result of the read operations (checkHeader, describePage, loadPageData) when memory runs out.
  static constexpr int kReadNoMemory = faxCode(FaxResult::kNoMemory);

  // The engine's settings and working files for this file (threshold and flagNum of the probes,
  // splitPages, recountLines, the raw analysis options, the checking helpers); each reader
  // takes what it needs. Unless
  // the setup fixes them, open takes the describe limits of the file's size.
  explicit FaxReader(const EngineSetup& setup = {});
  virtual ~FaxReader();
  FaxReader(const FaxReader&) = delete;
  FaxReader& operator=(const FaxReader&) = delete;

  // Closes any open file, then opens `path` for binary reading and takes its size. False when it
  // cannot be opened (the reader is then closed). Clears the page table and page data.
  bool open(const std::string& path);
  // As open, for bytes already in memory. The reader only borrows them: they must stay valid and
  // unchanged until the reader is closed, reopened or destroyed.
  bool openBytes(std::span<const uint8_t> bytes);
  bool isOpen() const { return file_ != nullptr || memoryOpen_; }
  void close();

  // Page table: -1 when it already holds kMaxPages positions (nothing changes), else 0.
  int addPage(uint32_t position);
  // The stored position, or 0 when index is not below pageCount().
  uint32_t pagePosition(std::size_t index) const;
  uint16_t pageCount() const { return pageCount_; }
  uint64_t fileSize() const { return fileSize_; }
  // The size of the bytes the pages come from: the file's, unless a reader reads them elsewhere.
  virtual uint64_t sourceSize() const { return fileSize_; }
  std::span<const uint8_t> pageData() const { return pageData_; }
  // The pages the last writeAll or writeEachPage left out while writing others, in page order.
  const std::vector<LeftOutPage>& leftOutPages() const { return leftOut_; }
  // For each page the last writeAll put into its TIFF, in order: whether its strip is Group 4
  // known to decode whole: coded by this engine from decoded rows (whole by construction), or
  // copied from the source as one Group 4 strip that the whole-strip check accepted.
  const std::vector<bool>& wholeGroup4Pages() const { return wholeGroup4_; }

  // The widest page and the largest bitmap a page description decodes: those of the setup, or
  // the page budget for the open file's size (describeLimitsForFile). Pages beyond them are
  // refused or cut as each reader's format allows.
  const DescribeLimits& describeLimits() const { return limits_; }

  // Format operations.
  // 0 when the file is accepted; -1 when no file is open; else the reader's negative code (the
  // file is then closed).
  [[nodiscard]] int checkHeader();
  // Number of pages; 0 (and the file closed) when none is found or no file is open.
  uint16_t countPages();
  // Loads page `index` and fills `page`. 0 on success, negative when the page could not be
  // loaded or no file is open (a closed reader leaves `page` alone).
  int describePage(int index, FaxPage& page);
  // Pages 0 to count-1 into one new TIFF. 0 when every page was written (pages the reader leaves
  // out and pages of a coding the writer does not know are not written); -1 no file open; -2 the
  // output could not be written; -3 no memory; -4 no page at all was written (count 0, or every
  // page left out: the file then holds only a header); a reader's own negative code when it
  // stopped the copy (the pages before stay in the file).
  int writeAll(const std::string& outputPath, int count);
  // Each page into a TIFF of its own: page i goes to pageFileName(outputPath, 1001 + i) with
  // PageNumber (i, count). A page that is left out gets no file (never a TIFF without a page);
  // a count of 0 writes nothing (-4). Results as writeAll.
  int writeEachPage(const std::string& outputPath, int count);
  // What the engine needs to know of a reader, so that it never asks for a format code.
  // Whether this reader has the one-file-per-page variant.
  virtual bool canWriteEachPage() const { return false; }
  // False for readers without a separate header check (FX, MRV-FAX): the engine counts their
  // pages at once and takes the file as valid.
  virtual bool hasHeaderCheck() const { return true; }
  // True for readers whose file is valid only when at least one page was counted.
  virtual bool needsPages() const { return false; }

  // Readers whose pages reach the engine as a scratch TIFF (AWD through the external converter,
  // DS by unpacking the TIFF files it holds) return true. The engine then calls makeScratchTiff
  // instead of open, checkHeader and countPages, and reads and copies the scratch TIFF
  // (settings' scratchTiffPath) with its own TIFF reader.
  virtual bool needsScratchTiff() const { return false; }
  enum class ScratchResult : uint8_t {
    kMade,        // the scratch TIFF was written: the engine reads it
    kNone,        // no scratch TIFF (the source is no such file): not a fax
    kCannotOpen,  // the source cannot be opened
  };
  virtual ScratchResult makeScratchTiff(const std::string& sourcePath);

  // The engine's write step: every page of the open file into outputPath. `count` is the page
  // count the engine got. Readers whose pages are not
  // those of the page table (raw streams) override it. Results as writeAll. When
  // writesPageFiles() is true the engine takes the one-file-per-page road instead
  // (writeEachPageGathered, next to the TIFF repacking that gathers the page files).
  virtual int writeConverted(const std::string& outputPath, uint16_t count);

  // True when the engine writes this file's pages through per-page files: the settings'
  // splitPages is 1 and the reader has the one-file-per-page variant.
  bool writesPageFiles() const { return settings_.splitPages == 1 && canWriteEachPage(); }
  const std::string& scratchTiffPath() const { return files_.scratchTiffPath; }

  // File name of the per-page file numbered `number`: the output path without the extension of
  // its last component (a "." in a directory name is not an extension), then the number and
  // ".tif".
  static std::string pageFileName(const std::string& outputPath, int number);

 protected:
  // Returned by preparePage for a page that is left out of the output.
  static constexpr int kSkipPage = 1;
  // kSkipPage, with the reason the write reports for the page (kNoCoding when a reader returns
  // kSkipPage without one).
  int leaveOut(LeftOutReason reason) {
    skipReason_ = reason;
    return kSkipPage;
  }
  // The reason for a page whose readPage returned `read`, for readers
  // that load a page's data and then describe it: no data loaded, no coding recognised (-1),
  // or no rows.
  LeftOutReason reasonFor(int read) const;

  // Hooks of the concrete reader.
  // Reads and tests the format's header: 0 accepted, negative rejected.
  virtual int readHeader() { return 0; }
  // Finds the pages (filling the page table with addPage where the format is a chain or a list)
  // and returns their number.
  virtual uint16_t indexPages() = 0;
  // Loads page `index` (pageData) and fills `page`; negative when the page cannot be loaded.
  virtual int readPage(int index, FaxPage& page) = 0;
  // Gets page `index` ready for writing: 0 write it as `out` says, kSkipPage leave it out, negative
  // stop the whole copy with that result. `page` is the same record for every page of one write
  // call (its bitmap is freed after each page), so it keeps the values of the page before.
  virtual int preparePage(int index, FaxPage& page, PageToWrite& out) = 0;

  // Checked file access. readAt reads exactly out.size() bytes at offset or returns false;
  // readSome returns how many bytes it read (the rest of `out` is left untouched).
  bool readAt(uint64_t offset, std::span<uint8_t> out);
  std::size_t readSome(uint64_t offset, std::span<uint8_t> out);
  // Replaces pageData by `size` bytes from `offset`, cut at the end of the file. 0, or -1 when
  // the offset lies beyond the file, -2 when the bytes cannot be read, kReadNoMemory (-3).
  int loadPageData(uint64_t offset, uint64_t size);
  // Replaces pageData by the given bytes (readers that build a page themselves).
  void setPageData(std::vector<uint8_t> bytes) { pageData_ = std::move(bytes); }
  void clearPageData() { pageData_.clear(); pageData_.shrink_to_fit(); }
  // The whole file into `out`; false when it cannot be read or allocated.
  bool readWholeFile(std::vector<uint8_t>& out);

  // The coding probe: find the coding, bit order and width of `data` (T.4 first; optionally the
  // T.6 width probe), then decode it into `page`. `width` 0 takes the width the probe reports.
  // 0 when the page was decoded; -1 when no probe recognised it (`page` unchanged); -2 when the
  // decoder refused the page (it then has no rows).
  struct ProbeSetup {
    uint32_t width = 0;
    uint32_t rowLimit = 0;
    bool t6Fallback = false;
  };
  int describeByProbe(std::span<const uint8_t> data, const ProbeSetup& setup, FaxPage& page);

  uint16_t threshold() const { return settings_.threshold; }
  uint8_t flagNum() const { return settings_.flagNum; }
  const EngineSettings& settings() const { return settings_; }
  const EngineFiles& files() const { return files_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const;
  };

  int writePages(const std::string& outputPath, int count, bool eachPage);

  void resetSource();

  // The last coding probe: the bytes it read, the settings it ran with and what it found.
  // Describing a page and then writing it probes the same bytes twice, and a container whose
  // table points several pages at one place probes them once per page; a probe of equal bytes
  // under equal settings is answered from here, as it would find the same.
  struct ProbeMemo {
    std::vector<uint8_t> data;
    uint16_t threshold = 0;
    uint8_t flagNum = 0;
    bool t6Fallback = false;
    bool valid = false;
    int outcome = -1;  // 0 T.4 recognised, 1 the T.6 fallback recognised, -1 neither
    uint8_t coding = 0;
    int bitOrder = 1;
    int32_t width = 0;
  };
  ProbeMemo probeMemo_;

  // The open source: a file, or borrowed bytes when memoryOpen_ is set.
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::span<const uint8_t> memory_;
  bool memoryOpen_ = false;
  std::array<uint32_t, kMaxPages> pageTable_{};
  uint16_t pageCount_ = 0;
  uint64_t fileSize_ = 0;
  std::vector<uint8_t> pageData_;
  std::vector<LeftOutPage> leftOut_;
  std::vector<bool> wholeGroup4_;
  LeftOutReason skipReason_ = LeftOutReason::kNoCoding;
  EngineSettings settings_;
  EngineFiles files_;
  int checkHelpers_ = -1;
  std::optional<DescribeLimits> fixedLimits_;
  DescribeLimits limits_;
};

}  // namespace tarnwell
