#include "faxin/readers/ReaderFactory.h"

#include "faxin/readers/DsReader.h"
#include "faxin/readers/Ig4Reader.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeContainerReader(FaxFormat format) {
  switch (format) {
    // Each container reader joins here as it is built: case fax_format::kXxx: return
    // std::make_unique<XxxReader>();
    case fax_format::kDs: return std::make_unique<DsReader>();
    case fax_format::kIg4: return std::make_unique<Ig4Reader>();
    default:
      return nullptr;
  }
}

}  // namespace tarnwell
