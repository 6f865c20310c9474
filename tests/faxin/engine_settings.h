#pragma once

// An engine setup whose working files all live in one test's temporary tree.

#include "faxin/EngineSettings.h"
#include "support/TempTree.h"

namespace tarnwell::test {

inline EngineSetup setupIn(const TempTree& dir) {
  EngineSetup s;
  s.files.workFilePath = dir.file("trwtmp.tmp");
  s.files.segmentFilePath = dir.file("trwseg.tmp");
  s.files.scratchTiffPath = dir.file("trwtif.tmp");
  return s;
}

}  // namespace tarnwell::test
