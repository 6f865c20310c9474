#include "faxin/readers/ReaderFactory.h"

#include "faxin/readers/BitFaxReader.h"
#include "faxin/readers/FxReader.h"
#include "faxin/readers/MrvFaxReader.h"
#include "faxin/readers/PcResearchReader.h"
#include "faxin/readers/QliiFaxReader.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeContainerReader(FaxFormat format) {
  switch (format) {
    // Each container reader joins here as it is built: case fax_format::kXxx: return
    // std::make_unique<XxxReader>();
    case fax_format::kBfx: return std::make_unique<BitFaxReader>();
    case fax_format::kFx: return std::make_unique<FxReader>();
    case fax_format::kPcResearch: return std::make_unique<PcResearchReader>();
    case fax_format::kQfx: return std::make_unique<QliiFaxReader>();
    case fax_format::kMrv: return std::make_unique<MrvFaxReader>();
    default:
      return nullptr;
  }
}

}  // namespace tarnwell
