#include "faxin/readers/ReaderFactory.h"

#include "faxin/FormatTable.h"

namespace tarnwell {

std::unique_ptr<FaxReader> makeFaxReader(FaxFormat format, const EngineSetup& setup) {
  const FormatRow& row = formatRow(format);
  return row.makeReader != nullptr ? row.makeReader(setup) : nullptr;
}

}  // namespace tarnwell
