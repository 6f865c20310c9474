#pragma once

#include <memory>
#include <string>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "faxin/FaxPage.h"

namespace tarnwell {

class FaxReader;

// The fax conversion engine: turns one fax file into the intermediate multi-page fax TIFF.
// One object serves one source file. Calling order: setSettings, open, hasPages, convert.
class FaxConverter {
 public:
  FaxConverter();
  ~FaxConverter();
  FaxConverter(const FaxConverter&) = delete;
  FaxConverter& operator=(const FaxConverter&) = delete;

  void setSettings(const EngineSettings& settings) { settings_ = settings; }
  const EngineSettings& settings() const { return settings_; }

  // Opens the source with the reader of its code and describes page 1; -1 when it cannot be opened.
  int open(const std::string& sourcePath, FaxFormat format);
  int readPageInfo(FaxFormat format, int pageIndex);
  bool hasPages() const { return page_.width >= 1 && page_.rows >= 1; }
  // Writes every page into the TIFF at outputPath; 0 on success, negative on failure.
  int convert(const std::string& outputPath, FaxFormat format);

  const FaxPage& page() const { return page_; }
  bool valid() const { return valid_; }

 private:
  struct Readers;
  int openTiff(const std::string& path);
  int openContainer(const std::string& path, FaxFormat format);
  int openDs(const std::string& path);
  void openRaw();
  int convertContainer(const std::string& outputPath);

  std::unique_ptr<Readers> readers_;
  bool valid_ = false;
  EngineSettings settings_;
  FaxPage page_;
};

// The one-file-per-page road: the reader writes each page into a numbered page file of its own
// beside outputPath (writeEachPage), then the page files are gathered in page order into one TIFF
// at outputPath, so that the rest of the pipeline sees every page, and removed. The pages are
// gathered through scratchTiffPath, so that the gathered pages are numbered within the whole
// file. Page files an earlier file left under the same names are removed first. 0; the reader's
// negative result when its write failed; -4 when no page file could be gathered; otherwise the
// result of copying the gathered pages.
int writeEachPageGathered(FaxReader& reader, const std::string& outputPath, uint16_t count,
                          bool recountLines, const std::string& scratchTiffPath);

// Runs the external AWD converter ("AWDVSTUB.EXE /c source scratch") after deleting the scratch
// TIFF, and waits for it. True when it started and the wait succeeded; the exit code is not
// looked at (whether it left a TIFF shows when the TIFF is opened).
bool runAwdStub(const std::string& sourcePath, const std::string& scratchTiffPath);

}  // namespace tarnwell
