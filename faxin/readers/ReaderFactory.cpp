#include "faxin/readers/ReaderFactory.h"

#include "faxin/raw/RawFaxReader.h"
#include "faxin/readers/ApfReader.h"
#include "faxin/readers/AwdReader.h"
#include "faxin/readers/BitFaxReader.h"
#include "faxin/readers/BmpReader.h"
#include "faxin/readers/CalsReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/DsReader.h"
#include "faxin/readers/EdReader.h"
#include "faxin/readers/FxReader.h"
#include "faxin/readers/Ig4Reader.h"
#include "faxin/readers/MrvFaxReader.h"
#include "faxin/readers/PcResearchReader.h"
#include "faxin/readers/QliiFaxReader.h"
#include "faxin/readers/TiffFaxReader.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format) {
  switch (format) {
    case FaxFormat::kApf: return std::make_unique<ApfReader>();
    case FaxFormat::kBmp: return std::make_unique<BmpReader>();
    case FaxFormat::kCals: return std::make_unique<CalsReader>();
    case FaxFormat::kDcx: return std::make_unique<DcxReader>();
    case FaxFormat::kDs: return std::make_unique<DsReader>();
    case FaxFormat::kEd: return std::make_unique<EdReader>();
    case FaxFormat::kAwd: return std::make_unique<AwdReader>();
    case FaxFormat::kFmf: return std::make_unique<TiffFaxReader>();
    case FaxFormat::kTiff: return std::make_unique<TiffFaxReader>();
    case FaxFormat::kTiffFax: return std::make_unique<TiffFaxReader>();
    case FaxFormat::kIg4: return std::make_unique<Ig4Reader>();
    case FaxFormat::kBfx: return std::make_unique<BitFaxReader>();
    case FaxFormat::kFx: return std::make_unique<FxReader>();
    case FaxFormat::kPcResearch: return std::make_unique<PcResearchReader>();
    case FaxFormat::kQfx: return std::make_unique<QliiFaxReader>();
    case FaxFormat::kMrv: return std::make_unique<MrvFaxReader>();
    // Every other code is a raw stream; a container code without a reader has none.
    default: return isContainerCode(format) ? nullptr : std::make_unique<RawFaxReader>();
  }
}

std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format, const EngineSettings& settings) {
  std::unique_ptr<FaxReader> reader = makeFaxReader(format);
  if (reader) reader->applySettings(settings);
  return reader;
}

}  // namespace tarnwell
