#include "faxin/FaxConverter.h"

#include <exception>

#include "faxin/readers/FaxReader.h"
#include "faxin/readers/ReaderFactory.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/tiff/RepackTiff.h"

namespace tarnwell {

namespace {

constexpr FaxResult kCannotOpen = FaxResult::kNotOpen;

}  // namespace

EngineRun runFaxEngine(const EngineSetup& setup, const std::string& source, FaxFormat format,
                       const std::string& intermediateTiff) {
  EngineRun run;
  try {
    FaxConverter converter(setup);
    // An unopened file simply has no pages.
    const FaxResult opened = converter.open(source, format);
    if (!converter.hasPages()) {
      run.reason = opened == FaxResult::kNotOpen ? faxResultText(faxCode(opened))
                                                 : "no fax page found in the file";
      run.outcome = EngineOutcome::kNoPages;
      return run;
    }
    const FaxResult converted = converter.convert(intermediateTiff);
    run.leftOut = converter.leftOutPages();
    if (converted == FaxResult::kOk) {
      run.wholeGroup4 = converter.wholeGroup4Pages();
      run.outcome = EngineOutcome::kConverted;
      return run;
    }
    run.outcome = EngineOutcome::kWriteFailed;
    run.reason = faxResultText(faxCode(converted));
  } catch (...) {
    // Out of memory outside the reader's own guard.
    run.outcome = EngineOutcome::kWriteFailed;
    run.reason.clear();
  }
  return run;
}

FaxConverter::FaxConverter(const EngineSetup& setup) : setup_(setup) {}
FaxConverter::~FaxConverter() = default;

FaxResult FaxConverter::open(const std::string& sourcePath, FaxFormat format) {
  try {
    scratch_.reset();
    reader_ = makeFaxReader(format, setup_);
    if (!reader_) return kCannotOpen;
    if (reader_->needsScratchTiff()) {
      switch (reader_->makeScratchTiff(sourcePath)) {
        case FaxReader::ScratchResult::kMade:
          if (openScratchTiff() != FaxResult::kOk) return kCannotOpen;
          break;
        case FaxReader::ScratchResult::kNone:
          break;
        case FaxReader::ScratchResult::kCannotOpen:
          return kCannotOpen;
      }
    } else {
      if (!reader_->open(sourcePath)) return kCannotOpen;
      if (!reader_->hasHeaderCheck() || reader_->checkHeader() == 0) {
        pageCount_ = reader_->countPages();
        valid_ = !reader_->needsPages() || pageCount_ > 0;
      }
    }
    readPageInfo(0);
    return FaxResult::kOk;
  } catch (const std::exception&) {
    page_ = FaxPage{};
    valid_ = false;
    return kCannotOpen;
  }
}

FaxResult FaxConverter::openScratchTiff() {
  scratch_ = std::make_unique<TiffFaxReader>(setup_);
  if (!scratch_->open(setup_.files.scratchTiffPath)) return kCannotOpen;
  if (scratch_->checkHeader() == 0) {
    pageCount_ = scratch_->countPages();
    valid_ = true;
  }
  return FaxResult::kOk;
}

void FaxConverter::readPageInfo(int pageIndex) {
  try {
    FaxReader* reader = scratch_ ? scratch_.get() : reader_.get();
    if (reader) (void)reader->describePage(pageIndex, page_);
  } catch (const std::exception&) {
    page_ = FaxPage{};
  }
  valid_ = page_.width > 0 && page_.rows > 0;
}

std::vector<LeftOutPage> FaxConverter::leftOutPages() const {
  if (scratch_ || !reader_) return {};
  try {
    return reader_->leftOutPages();
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<bool> FaxConverter::wholeGroup4Pages() const {
  if (scratch_ || !reader_ || reader_->writesPageFiles()) return {};
  try {
    return reader_->wholeGroup4Pages();
  } catch (const std::exception&) {
    return {};
  }
}

FaxResult FaxConverter::convert(const std::string& outputPath) {
  try {
    if (scratch_) {
      // The scratch TIFF's pages keep their own coded bytes and coding.
      if (!scratch_->isOpen()) return kCannotOpen;
      return static_cast<FaxResult>(repackTiff(setup_.files.scratchTiffPath, outputPath, false));
    }
    if (!reader_ || !reader_->isOpen()) return kCannotOpen;
    // The description's bitmap is not needed for writing; the write holds one page at a time.
    page_.bitmap.clear();
    page_.bitmap.shrink_to_fit();
    if (reader_->writesPageFiles()) {
      return static_cast<FaxResult>(writeEachPageGathered(*reader_, outputPath, pageCount_));
    }
    return static_cast<FaxResult>(reader_->writeConverted(outputPath, pageCount_));
  } catch (const std::exception&) {
    return kCannotOpen;
  }
}

}  // namespace tarnwell
