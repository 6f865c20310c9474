#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "faxin/FaxFormat.h"
#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// The reader of a container code (APF, BIT FAX, BMP, CALS, DCX, DS, ED, FX, PC Research, IG4,
// QLIIFAX, MRV-FAX), created only for the file that needs it. nullptr when the program has no
// reader for the code; the engine then treats the file as one it cannot open. The TIFF-based
// codes (2, 9, 15, 16) and raw streams are read by the engine itself.
std::unique_ptr<FaxReader> makeContainerReader(FaxFormat format);

// Implemented by a reader whose pages are TIFF files of their own (DS): after the page count,
// it unpacks pages 0 to count-1 into the TIFF at scratchTiffPath, using pageFilePath ("%s.tiff"
// of the scratch path) for each page on the way. 0, or negative on failure.
class TiffExtractingReader {
 public:
  virtual ~TiffExtractingReader() = default;
  virtual int extractPages(const std::string& scratchTiffPath, const std::string& pageFilePath,
                           uint16_t count) = 0;
};

}  // namespace tarnwell
