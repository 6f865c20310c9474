#include "faxin/readers/AwdReader.h"

#include "platform/Platform.h"

namespace tarnwell {

FaxReader::ScratchResult AwdReader::makeScratchTiff(const std::string& sourcePath) {
  return runAwdStub(sourcePath, files().scratchTiffPath) ? ScratchResult::kMade
                                                            : ScratchResult::kNone;
}

bool runAwdStub(const std::string& sourcePath, const std::string& scratchTiffPath) {
  // A scratch TIFF left by an earlier file must never be taken for this file's pages.
  platform::removeFile(scratchTiffPath);
  return platform::runAndWait({"AWDVSTUB.EXE", "/c", sourcePath, scratchTiffPath});
}

}  // namespace tarnwell
