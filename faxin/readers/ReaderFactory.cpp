#include "faxin/readers/ReaderFactory.h"

#include "faxin/raw/RawFaxReader.h"
#include "faxin/readers/AwdReader.h"
#include "faxin/readers/TiffFaxReader.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format) {
  switch (format) {
    case FaxFormat::kAwd: return std::make_unique<AwdReader>();
    case FaxFormat::kFmf: return std::make_unique<TiffFaxReader>();
    case FaxFormat::kTiff: return std::make_unique<TiffFaxReader>();
    case FaxFormat::kTiffFax: return std::make_unique<TiffFaxReader>();
    // Each container reader joins here with one line:
    // case FaxFormat::kXxx: return std::make_unique<XxxReader>();
    default: return isContainerCode(format) ? nullptr : std::make_unique<RawFaxReader>();
  }
}

std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format, const EngineSettings& settings) {
  std::unique_ptr<FaxReader> reader = makeFaxReader(format);
  if (reader) reader->applySettings(settings);
  return reader;
}

}  // namespace tarnwell
