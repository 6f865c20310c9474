#pragma once

#include <memory>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "codec/FaxPage.h"
#include "faxin/FaxResult.h"
#include "faxin/LeftOutPage.h"

namespace tarnwell {

class FaxReader;
class TiffFaxReader;

// The fax conversion engine: turns one fax file into the intermediate multi-page fax TIFF.
// One object serves one source file with the setup it was made with. Calling order: open,
// hasPages, convert.
class FaxConverter {
 public:
  // Result of open when the file cannot be opened, and of convert when there is nothing open
  // to write from or the write failed before the reader could say why.
  static constexpr int kCannotOpen = faxCode(FaxResult::kNotOpen);

  explicit FaxConverter(const EngineSetup& setup);
  ~FaxConverter();
  FaxConverter(const FaxConverter&) = delete;
  FaxConverter& operator=(const FaxConverter&) = delete;

  // The page count of the open file.
  uint16_t pageCount() const { return pageCount_; }

  // Opens the source with the reader of its code and describes page 1; -1 when it cannot be
  // opened.
  int open(const std::string& sourcePath, FaxFormat format);
  // Describes the page of that index of the open file into page(); 0. The reader is the one
  // open chose, so `format` only names the code it was opened with.
  int readPageInfo(FaxFormat format, int pageIndex);
  bool hasPages() const { return page_.width >= 1 && page_.rows >= 1; }
  // Writes every page into the TIFF at outputPath; 0 on success, negative on failure.
  int convert(const std::string& outputPath, FaxFormat format);

  const FaxPage& page() const { return page_; }
  // The pages the last convert left out while writing the others (none for a scratch TIFF).
  std::vector<LeftOutPage> leftOutPages() const;
  // For each page of the TIFF the last convert wrote, in order: whether its strip is Group 4
  // known to decode whole (coded by this engine from decoded rows, or copied and checked).
  // Empty when that is not known (a scratch TIFF, one file per page, a failed convert).
  std::vector<bool> wholeGroup4Pages() const;
  bool valid() const { return valid_; }

 private:
  int openScratchTiff();

  std::unique_ptr<FaxReader> reader_;        // the reader of the file's code
  std::unique_ptr<TiffFaxReader> scratch_;   // the scratch TIFF, for readers that make one
  bool valid_ = false;
  EngineSetup setup_;
  uint16_t pageCount_ = 0;
  FaxPage page_;
};

}  // namespace tarnwell
