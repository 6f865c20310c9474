#pragma once

// Engine settings whose working files all live in one test's temporary tree.

#include "faxin/EngineSettings.h"
#include "support/TempTree.h"

namespace tarnwell::test {

inline EngineSettings settingsIn(const TempTree& dir) {
  EngineSettings s;
  s.workFilePath = dir.file("trwtmp.tmp");
  s.segmentFilePath = dir.file("trwseg.tmp");
  s.scratchTiffPath = dir.file("trwtif.tmp");
  return s;
}

}  // namespace tarnwell::test
