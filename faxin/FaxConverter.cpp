#include "faxin/FaxConverter.h"

#include <exception>

#include "faxin/readers/ReaderFactory.h"
#include "faxin/raw/RawFaxReader.h"
#include "faxin/tiff/RepackTiff.h"
#include "faxin/readers/TiffFaxReader.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

using namespace fax_format;

bool isContainerCode(FaxFormat format) { return format >= 1 && format <= 17; }

// Codes whose file (or scratch TIFF) the engine's own TIFF reader reads.
bool isTiffCode(FaxFormat format) {
  return format == kAwd || format == kDs || format == kFmf || format == kTiff ||
         format == kTiffFax;
}

}  // namespace

// Only the readers a file needs exist: the TIFF reader and the raw reader are small until used,
// a container reader is created for its code.
struct FaxConverter::Readers {
  TiffFaxReader tiff;
  RawFaxReader raw;
  std::unique_ptr<FaxReader> container;
};

FaxConverter::FaxConverter() : readers_(std::make_unique<Readers>()) {}
FaxConverter::~FaxConverter() = default;

int writeEachPageGathered(FaxReader& reader, const std::string& outputPath, uint16_t count,
                          bool recountLines, const std::string& scratchTiffPath) {
  auto pageFile = [&outputPath](int i) {
    return FaxReader::pageFileName(outputPath, FaxReader::kFirstPageFileNumber + i);
  };
  // A page left out writes no file: a file of the same name from an earlier source must not
  // take its place.
  for (int i = 0; i < count; ++i) (void)platform::removeFile(pageFile(i));
  const int written = reader.writeEachPage(outputPath, count, recountLines);

  // Without a scratch TIFF the pages are gathered straight into the output.
  const std::string& gathered = scratchTiffPath.empty() ? outputPath : scratchTiffPath;
  (void)platform::removeFile(gathered);
  bool anyPage = false;
  for (int i = 0; i < count; ++i) {
    const std::string name = pageFile(i);
    if (!platform::isRegularFile(name)) continue;
    if (!anyPage) (void)platform::removeFile(gathered);  // begun again until it holds a page
    if (repackTiff(name, gathered, true) == 0) anyPage = true;
    (void)platform::removeFile(name);
  }
  int result = written != 0 ? written : anyPage ? 0 : -4;
  if (result == 0 && gathered != outputPath) {
    // Copying the gathered pages numbers them (index, count) within the whole file.
    result = repackTiff(gathered, outputPath, false);
  }
  if (gathered != outputPath) (void)platform::removeFile(gathered);
  return result;
}

bool runAwdStub(const std::string& sourcePath, const std::string& scratchTiffPath) {
  // A scratch TIFF left by an earlier file must never be taken for this file's pages.
  platform::removeFile(scratchTiffPath);
  return platform::runAndWait({"AWDVSTUB.EXE", "/c", sourcePath, scratchTiffPath});
}

int FaxConverter::open(const std::string& sourcePath, FaxFormat format) {
  try {
    if (!isContainerCode(format)) {
      if (readers_->raw.open(sourcePath) != 0) return -1;
      openRaw();
    } else if (format == kAwd) {
      readers_->tiff.close();
      if (runAwdStub(sourcePath, settings_.scratchTiffPath) &&
          openTiff(settings_.scratchTiffPath) != 0) {
        return -1;
      }
    } else if (format == kDs) {
      if (openDs(sourcePath) != 0) return -1;
    } else if (isTiffCode(format)) {
      if (openTiff(sourcePath) != 0) return -1;
    } else if (openContainer(sourcePath, format) != 0) {
      return -1;
    }
    return readPageInfo(format, 0);
  } catch (const std::exception&) {
    page_ = FaxPage{};
    valid_ = false;
    return -1;
  }
}

void FaxConverter::openRaw() {
  RawFaxReader& raw = readers_->raw;
  raw.configure(settings_);
  if (raw.analyse(settings_.bitOrder, settings_.nonStandardWidth) < 0) {
    settings_.pageCount = 0;
    valid_ = false;
    return;
  }
  (void)raw.readWorkHeader(page_);
  if (settings_.verticalResolution > 0) page_.yResolution = settings_.verticalResolution;
  raw.setPageLength(page_.pageSize, page_.yResolution);
  const int pages = raw.countPages();
  settings_.pageCount = static_cast<uint16_t>(pages > 0 ? pages : 0);
  valid_ = true;
}

int FaxConverter::openTiff(const std::string& path) {
  TiffFaxReader& tiff = readers_->tiff;
  if (!tiff.open(path)) return -1;
  if (tiff.checkHeader() == 0) {
    settings_.pageCount = tiff.countPages();
    valid_ = true;
  }
  return 0;
}

int FaxConverter::openDs(const std::string& path) {
  auto& reader = readers_->container;
  reader = makeContainerReader(kDs);
  if (!reader || !reader->open(path)) return -1;
  if (reader->checkHeader() == 0) {
    settings_.pageCount = reader->countPages();
    valid_ = true;
    if (auto* extractor = dynamic_cast<TiffExtractingReader*>(reader.get())) {
      const std::string& scratch = settings_.scratchTiffPath;
      (void)extractor->extractPages(scratch, scratch + ".tiff", settings_.pageCount);
    }
  }
  if (valid_) return openTiff(settings_.scratchTiffPath);
  return 0;
}

int FaxConverter::openContainer(const std::string& path, FaxFormat format) {
  auto& reader = readers_->container;
  reader = makeContainerReader(format);
  if (!reader || !reader->open(path)) return -1;
  if (!reader->hasHeaderCheck() || reader->checkHeader() == 0) {
    settings_.pageCount = reader->countPages();
    valid_ = !reader->needsPages() || settings_.pageCount > 0;
  }
  return 0;
}

int FaxConverter::readPageInfo(FaxFormat format, int pageIndex) {
  try {
    if (!isContainerCode(format)) {
      if (valid_) (void)readers_->raw.describePage(pageIndex, page_);
    } else if (isTiffCode(format)) {
      (void)readers_->tiff.describePage(pageIndex, page_);
    } else if (FaxReader* reader = readers_->container.get()) {
      if (reader->takesProbeSettings()) reader->setProbeSettings(settings_.threshold, settings_.flagNum);
      (void)reader->describePage(pageIndex, page_);
    }
  } catch (const std::exception&) {
    page_ = FaxPage{};
  }
  valid_ = page_.width > 0 && page_.rows > 0;
  return 0;
}

int FaxConverter::convert(const std::string& outputPath, FaxFormat format) {
  try {
    if (!isContainerCode(format) || format == kTiff) {
      if (!readers_->raw.isOpen()) return -1;
      return readers_->raw.writeAll(outputPath, page_);
    }
    switch (format) {
      case kAwd:
        return repackTiff(settings_.scratchTiffPath, outputPath, false);
      case kDs:
        if (!readers_->container || !readers_->container->isOpen()) return -1;
        return repackTiff(settings_.scratchTiffPath, outputPath, false);
      case kFmf:
      case kTiffFax:
        if (!readers_->tiff.isOpen()) return -1;
        return readers_->tiff.writeAll(outputPath, settings_.pageCount);
      default:
        return convertContainer(outputPath);
    }
  } catch (const std::exception&) {
    return -1;
  }
}

int FaxConverter::convertContainer(const std::string& outputPath) {
  FaxReader* reader = readers_->container.get();
  if (!reader || !reader->isOpen()) return -1;
  const bool recount = reader->takesRecountLines() && settings_.recountLines != 0;
  if (settings_.splitPages == 1 && reader->canWriteEachPage()) {
    return writeEachPageGathered(*reader, outputPath, settings_.pageCount, recount,
                                 settings_.scratchTiffPath);
  }
  return reader->writeAll(outputPath, settings_.pageCount, recount);
}

}  // namespace tarnwell
