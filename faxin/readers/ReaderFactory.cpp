#include "faxin/readers/ReaderFactory.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeContainerReader(FaxFormat format) {
  switch (format) {
    // Each container reader joins here as it is built: case fax_format::kXxx: return
    // std::make_unique<XxxReader>();
    default:
      return nullptr;
  }
}

}  // namespace tarnwell
