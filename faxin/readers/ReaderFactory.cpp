#include "faxin/readers/ReaderFactory.h"

#include "faxin/readers/ApfReader.h"
#include "faxin/readers/BmpReader.h"
#include "faxin/readers/CalsReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/EdReader.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeContainerReader(FaxFormat format) {
  switch (format) {
    // Each container reader joins here as it is built: case fax_format::kXxx: return
    // std::make_unique<XxxReader>();
    case fax_format::kApf: return std::make_unique<ApfReader>();
    case fax_format::kBmp: return std::make_unique<BmpReader>();
    case fax_format::kCals: return std::make_unique<CalsReader>();
    case fax_format::kDcx: return std::make_unique<DcxReader>();
    case fax_format::kEd: return std::make_unique<EdReader>();
    default:
      return nullptr;
  }
}

}  // namespace tarnwell
