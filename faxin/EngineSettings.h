#pragma once

#include <cstdint>
#include <string>

namespace tarnwell {

// The decoding options and working-file paths the fax engine takes a copy of before every file.
// The process-wide conversion settings of the driver begin with exactly these fields.
struct EngineSettings {
  uint16_t pageCount = 0;          // pages of the open file, filled in the engine's own copy
  std::string workFilePath;        // raw fax work file ("trwtmp.tmp")
  std::string segmentFilePath;     // raw fax segment index ("trwseg.tmp")
  std::string scratchTiffPath;     // scratch TIFF for AWD and DS files ("trwtif.tmp")
  uint16_t threshold = 50;
  uint8_t flagNum = 3;
  uint8_t bitOrder = 0;            // 0 automatic, 1 highest bit first, 2 least bit first
  uint16_t verticalResolution = 0; // 0 automatic, else 100, 200, 300 or 400 lines per inch
  uint8_t nonStandardWidth = 1;
  uint16_t minWidth = 1728;
  uint8_t splitPages = 0;          // 1: one TIFF per page
  uint8_t rawFax = 0;
  uint8_t recountLines = 0;
};

}  // namespace tarnwell
