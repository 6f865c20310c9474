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

// Outcome of the fax engine for one file.
enum class EngineOutcome { kConverted, kNoPages, kWriteFailed };

// What the engine made of one file.
struct EngineRun {
  EngineOutcome outcome = EngineOutcome::kNoPages;
  // Why the file was not converted; empty when it was.
  std::string reason;
  // The pages left out while the others were written, in page order.
  std::vector<LeftOutPage> leftOut;
  // For each page of the intermediate TIFF in order: whether its strip is Group 4 known to
  // decode whole (coded by the engine itself from decoded rows, or copied from the source and
  // checked by the engine). Empty when that is not known: the copy then checks every page.
  std::vector<bool> wholeGroup4;
};

// The engine's entry: opens `source` with the reader of `format` and, when it holds a fax page,
// writes every page into the TIFF at `intermediateTiff`, working on its own copy of the setup.
// Never throws: out of memory, the file counts as not written.
[[nodiscard]] EngineRun runFaxEngine(const EngineSetup& setup, const std::string& source,
                                     FaxFormat format, const std::string& intermediateTiff);

// The fax conversion engine: turns one fax file into the intermediate multi-page fax TIFF.
// One object serves one source file with the setup it was made with. Calling order: open,
// hasPages, convert (runFaxEngine does all three).
class FaxConverter {
 public:
  explicit FaxConverter(const EngineSetup& setup);
  ~FaxConverter();
  FaxConverter(const FaxConverter&) = delete;
  FaxConverter& operator=(const FaxConverter&) = delete;

  // The page count of the open file.
  uint16_t pageCount() const { return pageCount_; }

  // Opens the source with the reader of its code and describes page 1; kNotOpen when it cannot
  // be opened. An opened file may still hold no page (hasPages).
  FaxResult open(const std::string& sourcePath, FaxFormat format);
  // Describes the page of that index of the open file into page().
  void readPageInfo(int pageIndex);
  bool hasPages() const { return page_.width >= 1 && page_.rows >= 1; }
  // Writes every page into the TIFF at outputPath: kOk, kNotOpen when nothing is open to write
  // from or the write failed before the reader could say why, or the reader's failure code.
  FaxResult convert(const std::string& outputPath);

  const FaxPage& page() const { return page_; }
  // The pages the last convert left out while writing the others (none for a scratch TIFF).
  std::vector<LeftOutPage> leftOutPages() const;
  // For each page of the TIFF the last convert wrote, in order: whether its strip is Group 4
  // known to decode whole (coded by this engine from decoded rows, or copied and checked).
  // Empty when that is not known (a scratch TIFF, one file per page, a failed convert).
  std::vector<bool> wholeGroup4Pages() const;
  bool valid() const { return valid_; }

 private:
  FaxResult openScratchTiff();

  std::unique_ptr<FaxReader> reader_;        // the reader of the file's code
  std::unique_ptr<TiffFaxReader> scratch_;   // the scratch TIFF, for readers that make one
  bool valid_ = false;
  EngineSetup setup_;
  uint16_t pageCount_ = 0;
  FaxPage page_;
};

}  // namespace tarnwell
