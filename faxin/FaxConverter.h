#pragma once

#include <memory>
#include <string>

#include "faxin/EngineSettings.h"
#include "faxin/FaxFormat.h"
#include "faxin/FaxPage.h"

namespace tarnwell {

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

// Runs the external AWD converter ("AWDVSTUB.EXE /c source scratch") after deleting the scratch
// TIFF, and waits for it. True when it started and the wait succeeded; the exit code is not
// looked at (whether it left a TIFF shows when the TIFF is opened).
bool runAwdStub(const std::string& sourcePath, const std::string& scratchTiffPath);

}  // namespace tarnwell
