#include "faxin/FaxConverter.h"

#include <exception>

#include "faxin/readers/FaxReader.h"
#include "faxin/readers/ReaderFactory.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/tiff/RepackTiff.h"

namespace tarnwell {

FaxConverter::FaxConverter(const EngineSetup& setup) : setup_(setup) {}
FaxConverter::~FaxConverter() = default;

int FaxConverter::open(const std::string& sourcePath, FaxFormat format) {
  try {
    scratch_.reset();
    reader_ = makeFaxReader(format, setup_);
    if (!reader_) return kCannotOpen;
    if (reader_->needsScratchTiff()) {
      switch (reader_->makeScratchTiff(sourcePath)) {
        case FaxReader::ScratchResult::kMade:
          if (openScratchTiff() != 0) return kCannotOpen;
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
    return readPageInfo(format, 0);
  } catch (const std::exception&) {
    page_ = FaxPage{};
    valid_ = false;
    return kCannotOpen;
  }
}

int FaxConverter::openScratchTiff() {
  scratch_ = std::make_unique<TiffFaxReader>(setup_);
  if (!scratch_->open(setup_.files.scratchTiffPath)) return kCannotOpen;
  if (scratch_->checkHeader() == 0) {
    pageCount_ = scratch_->countPages();
    valid_ = true;
  }
  return 0;
}

int FaxConverter::readPageInfo(FaxFormat, int pageIndex) {
  try {
    FaxReader* reader = scratch_ ? scratch_.get() : reader_.get();
    if (reader) (void)reader->describePage(pageIndex, page_);
  } catch (const std::exception&) {
    page_ = FaxPage{};
  }
  valid_ = page_.width > 0 && page_.rows > 0;
  return 0;
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

int FaxConverter::convert(const std::string& outputPath, FaxFormat) {
  try {
    if (scratch_) {
      // The scratch TIFF's pages keep their own coded bytes and coding.
      if (!scratch_->isOpen()) return kCannotOpen;
      return repackTiff(setup_.files.scratchTiffPath, outputPath, false);
    }
    if (!reader_ || !reader_->isOpen()) return kCannotOpen;
    // The description's bitmap is not needed for writing; the write holds one page at a time.
    page_.bitmap.clear();
    page_.bitmap.shrink_to_fit();
    if (reader_->writesPageFiles()) {
      return writeEachPageGathered(*reader_, outputPath, pageCount_);
    }
    return reader_->writeConverted(outputPath, pageCount_);
  } catch (const std::exception&) {
    return kCannotOpen;
  }
}

}  // namespace tarnwell
