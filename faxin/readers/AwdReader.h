#pragma once

#include <string>

#include "faxin/readers/FaxReader.h"

namespace tarnwell {

// AWD files are not read here: the external converter turns them into the scratch TIFF, which
// the engine's own TIFF reader then reads and copies.
class AwdReader : public FaxReader {
 public:
  using FaxReader::FaxReader;
  bool needsScratchTiff() const override { return true; }
  // Runs the converter on the source (runAwdStub). kMade when it ran; whether it left a TIFF
  // shows when the engine opens the scratch TIFF.
  ScratchResult makeScratchTiff(const std::string& sourcePath) override;

 protected:
  // The AWD file itself is never opened, indexed or written.
  uint16_t indexPages() override { return 0; }
  int readPage(int, FaxPage&) override { return -1; }
  int preparePage(int, FaxPage&, PageToWrite&) override { return kSkipPage; }
};

// Runs the external AWD converter ("AWDVSTUB.EXE /c source scratch") after deleting the scratch
// TIFF, and waits for it. True when it started and the wait succeeded; the exit code is not
// looked at (whether it left a TIFF shows when the TIFF is opened).
bool runAwdStub(const std::string& sourcePath, const std::string& scratchTiffPath);

}  // namespace tarnwell
