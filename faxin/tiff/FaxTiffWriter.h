#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwell {

// Writes the intermediate fax TIFF: a multi-page bilevel TIFF in which every page keeps the coding
// it arrived in. Nothing is encoded here; callers hand over the coded bytes of a page with its
// description. Pages are only ever appended: data, out-of-line values and directory go to the end
// of the file, and the link to the new directory is patched into the last four bytes before them
// (the header's first-directory field, or the previous directory's next-directory field).
//
// Per page, in this order: setCoding or setCompression, setFillOrder, setSize, setPageNumber
// (optionally setOrientation, setStrips), writePage or writeStrippedPage, writeDirectory with the
// position returned. A file is begun with the constructor, writeHeader (not when appending) and
// initDirectory, and ended with close.
//
// Every write and seek is checked. The first failure is remembered: later page calls do nothing
// and return -1, and close() returns -1, so a damaged file is never reported as written.
class FaxTiffWriter {
 public:
  static constexpr uint16_t kLittleEndian = 0x4949;  // "II"
  static constexpr uint16_t kBigEndian = 0x4D4D;     // "MM"
  static constexpr std::size_t kEntryCount = 20;
  static constexpr std::size_t kSoftwareSize = 22;
  static constexpr std::size_t kDateTimeSize = 20;
  // Rationals, Software and DateTime behind the data: 8 + 8 + 22 + 20 bytes.
  static constexpr uint32_t kValuesSize = 58;
  // Entry count, twenty 12-byte entries, next-directory position.
  static constexpr uint32_t kDirectorySize = 2 + 12 * kEntryCount + 4;

  enum class Mode : uint8_t {
    kCreate,  // "wb": a new file
    kAppend,  // "r+b": add pages behind the last page of a TIFF this writer made before
  };

  // Opens the file. When it cannot be opened in the given mode it is opened with "wb". An appended
  // file that turns out empty gets its header written at once (it is then a new file); a non-empty
  // one must begin with a TIFF header in this byte order, else the writer fails.
  FaxTiffWriter(const std::string& path, uint16_t byteOrder = kLittleEndian,
                Mode mode = Mode::kCreate);
  ~FaxTiffWriter();
  FaxTiffWriter(const FaxTiffWriter&) = delete;
  FaxTiffWriter& operator=(const FaxTiffWriter&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // False once any open, write or seek has failed.
  bool ok() const { return isOpen() && !failed_; }

  // The 8-byte header with 8 as first directory position. 0 or -1.
  int writeHeader();
  // Fills the entries that are the same on every page.
  void initDirectory();

  // Compression, T4/T6 options and PhotometricInterpretation from a FaxCoding value. -1 for a
  // value that is no known coding (the page is then marked uncompressed).
  int setCoding(uint8_t coding, uint16_t photometric);
  // Whether setCoding knows this FaxCoding value.
  static bool knowsCoding(uint8_t coding);
  // Compression as a TIFF value; t4Options is used with 3, t6Options with 4, the other values get
  // the options setCoding gives them.
  void setCompression(uint16_t compression, uint32_t t4Options, uint32_t t6Options);
  void setFillOrder(uint16_t fillOrder);
  void setOrientation(uint16_t orientation);
  void setSize(uint32_t width, uint32_t rows);
  void setPageNumber(uint16_t index, uint16_t count);
  void setPhotometric(uint16_t photometric);

  // Several-strip form for the next writeStrippedPage: `count` strips starting at stripStarts
  // (kept relative to the first) with byteCounts. 0, or -1 when the tables are shorter than count
  // or cannot be allocated.
  int setStrips(uint16_t count, uint16_t rowsPerStrip, std::span<const uint32_t> stripStarts,
                std::span<const uint32_t> byteCounts);

  // One-strip page. Returns the position the page's directory must be written at, or -1.
  [[nodiscard]] int64_t writePage(std::span<const uint8_t> data, uint32_t xResolution,
                                  uint32_t yResolution, uint16_t resolutionUnit);
  // Several-strip page (after setStrips). Strips reaching past `data` are cut at its end.
  [[nodiscard]] int64_t writeStrippedPage(std::span<const uint8_t> data, uint32_t xResolution,
                                          uint32_t yResolution, uint16_t resolutionUnit);
  // Writes the directory at the position returned by the page call. 0 or -1 (also for a
  // negative position, so the result of a failed page call may be passed straight in).
  int writeDirectory(int64_t position);

  // Closes the file. 0 when everything since the constructor was written; -1 otherwise.
  int close();

  // Uses this time for DateTime instead of the local time of writing (reproducible files).
  void setFixedTime(const std::tm& time) { fixedTime_ = time; }

 private:
  struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;          // LONG values and positions
    uint16_t shorts[2] = {0, 0}; // SHORT values, stored in the first bytes of the field
  };
  struct FileCloser {
    void operator()(std::FILE* f) const;
  };

  void setLong(std::size_t index, uint16_t tag, uint32_t count, uint32_t value);
  void setOptions(uint16_t compression, uint32_t t4Options, uint32_t t6Options);
  int64_t appendPage(std::span<const uint8_t> data, bool stripped, uint32_t xResolution,
                     uint32_t yResolution, uint16_t resolutionUnit);
  void put16(std::vector<uint8_t>& out, uint16_t v) const;
  void put32(std::vector<uint8_t>& out, uint32_t v) const;
  bool seekTo(uint64_t position);
  bool writeBytes(std::span<const uint8_t> bytes);
  bool checkAppendTarget();
  int fail();

  std::unique_ptr<std::FILE, FileCloser> file_;
  bool bigEndian_ = false;
  bool failed_ = false;
  uint64_t fileEnd_ = 0;  // current end of file, counted from what was written
  uint32_t directoryOffset_ = 0;
  bool directoryPending_ = false;  // a page was written, its directory not yet
  std::array<Entry, kEntryCount> entries_{};
  uint16_t stripCount_ = 0;
  uint16_t rowsPerStrip_ = 0;
  std::vector<uint32_t> stripStarts_;
  std::vector<uint32_t> stripByteCounts_;
  std::optional<std::tm> fixedTime_;
};

}  // namespace tarnwell
