#pragma once

#include <string>

#include "faxin/EngineSettings.h"

namespace tarnwell {

// The conversion settings of a run: the fax engine's fields (working-file paths and decoding
// options) with the defaults every run starts from, and whether the PDFs get a searchable text
// layer, recognised in which languages. Nothing is saved between runs.
struct ConversionSettings : EngineSettings {
  bool searchableText = false;
  std::string textLanguages = "eng";  // Tesseract's language list, e.g. "deu+eng"
};

// The working-file and log paths, built once at start-up.
struct WorkingPaths {
  std::string programPath;           // full path of the program file
  std::string moduleDirectory;       // programPath cut at its last separator
  std::string workFilePath;          // "trwtmp.tmp": beside the program, or in the temp directory
  std::string segmentFilePath;       // "trwseg.tmp": as workFilePath
  std::string lockFilePath;          // "trwlock.tmp" beside workFilePath; serialises conversions
  std::string logDirectory;          // moduleDirectory + "/log/", or see chooseLogDirectory
  bool makeLogDirectory = false;     // logDirectory is made when the first entry is written
  std::string scratchTiffPath;       // temp directory + "trwtif.tmp"
  std::string intermediateTiffPath;  // temp directory + "trwintif.tmp"
  std::string pdfReadyTiffPath;      // temp directory + "trwcptif.tmp"
};

// Builds the paths from the program path and the temporary directory (which ends in a
// separator). The work and segment files go beside the program when its directory is writable,
// otherwise into the temporary directory under the same names. A non-empty own working
// directory (ending in a separator) takes all five working files and the lock instead, so
// processes with different directories convert side by side.
WorkingPaths makeWorkingPaths(const std::string& programPath, const std::string& tempDirectory,
                              bool moduleDirectoryWritable,
                              const std::string& ownWorkDirectory = {});

// The "log" directory beside the program is kept when it exists (a build tree). Otherwise the
// logs go to "tarnwell/" under the user's state directory (an installed program cannot write
// beside itself), made on first use; without a state directory nothing changes.
void chooseLogDirectory(WorkingPaths& paths, bool besideProgramExists,
                        const std::string& stateDirectory);

// The defaults of a fresh run, pointing at the given working files.
ConversionSettings defaultSettings(const WorkingPaths& paths);

// The paths of the running program: its own path and the system's temporary directory.
WorkingPaths programWorkingPaths();

// Removes the work file, the segment file and the scratch TIFF, ignoring failures. Waits for a
// conversion of another process that shares the files to finish first.
void removeWorkingFiles(const WorkingPaths& paths);

}  // namespace tarnwell
