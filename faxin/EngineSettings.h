#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/PageBudget.h"

namespace tarnwell {

// The decoding options of the fax engine, as the command line or the window set them.
struct EngineSettings {
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

// The working files the engine writes: the set of one conversion (its working paths hold it).
struct EngineFiles {
  std::string workFilePath;     // raw fax work file ("trwtmp.tmp")
  std::string segmentFilePath;  // raw fax segment index ("trwseg.tmp")
  std::string scratchTiffPath;  // scratch TIFF for AWD and DS files ("trwtif.tmp")
};

// Limits of describing a page: wider pages or larger bitmaps are not decoded (they describe as
// empty or are cut, as each format allows, while their coded bytes can still be copied).
struct DescribeLimits {
  uint32_t maxWidth = 1u << 16;
  std::size_t maxBitmapBytes = std::size_t{platform::kPageBudgetCap};
};

// The limits for a file of `fileBytes` bytes: a bitmap within the page budget of its size.
inline DescribeLimits describeLimitsForFile(uint64_t fileBytes) {
  DescribeLimits limits;
  limits.maxBitmapBytes = static_cast<std::size_t>(platform::pageBudget(fileBytes));
  return limits;
}

// What the engine and each reader it makes are made with.
struct EngineSetup {
  EngineSettings settings;
  EngineFiles files;
  // Fixed describe limits; unset, each file gets describeLimitsForFile of its size.
  std::optional<DescribeLimits> limits;
  // Helper threads that may check the Group 4 strips copied from the source while the pages are
  // written (WholeStripChecks); -1: one per spare core.
  int checkHelpers = -1;
};

}  // namespace tarnwell
