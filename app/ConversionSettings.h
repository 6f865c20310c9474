#pragma once

#include <string>

#include "faxin/EngineSettings.h"

namespace tarnwell {

// The conversion settings of a run: the fax engine's decoding options with the defaults every run
// starts from, and whether the PDFs get a searchable text layer, recognised in which languages.
// Nothing is saved between runs.
struct ConversionSettings {
  EngineSettings engine;
  bool searchableText = false;
  std::string textLanguages = "eng";  // Tesseract's language list, e.g. "deu+eng"
  bool archival = false;              // PDF/A-1b with the fax's own metadata
  // Helper threads that may check Group 4 strips while a file's pages are written and copied.
  int checkHelpers = -1;  // -1: one per spare core
};

// The working-file and log paths. One set is one conversion's working files: a conversion
// receives its set as a value, so another set in another directory can exist beside it.
struct WorkingPaths {
  std::string programPath;           // full path of the program file
  std::string moduleDirectory;       // programPath cut at its last separator
  std::string workDirectory;         // holds every working file and the lock; ends in a separator
  bool privateDirectory = false;     // the user's private directory: checked before each use
  EngineFiles engineFiles;           // the engine's: "trwtmp.tmp" raw fax work file, "trwseg.tmp"
                                     // its segment index, "trwtif.tmp" scratch TIFF for AWD and DS
  std::string lockFilePath;          // "trwlock.tmp": serialises the conversions using the files
  std::string logDirectory;          // moduleDirectory + "/log/", or see chooseLogDirectory
  bool makeLogDirectory = false;     // logDirectory is made when the first entry is written
  std::string intermediateTiffPath;  // "trwintif.tmp": the engine's TIFF (page files beside it)
  std::string pdfReadyTiffPath;      // "trwcptif.tmp": the PDF writer's input
};

// What the directory of the working files is.
enum class WorkDirectoryKind {
  kOwn,     // one the user chose (TARNWELL_WORKDIR) or a test made: used as it is
  kPrivate  // the user's private directory: made when missing, checked before each use and
            // removed at exit when empty
};

// Builds the paths from the program path and the directory of the working files (which ends in
// a separator).
WorkingPaths makeWorkingPaths(const std::string& programPath, const std::string& workDirectory,
                              WorkDirectoryKind kind = WorkDirectoryKind::kOwn);

// The working files of worker `worker` of a run that converts several files at the same time:
// worker 0 uses `paths` as they are, every other worker the same names with the prefix
// "w<worker>-" in the same directory, its own lock included. Separate processes' workers of
// the same number share a set and wait for each other on its lock.
WorkingPaths workerPaths(const WorkingPaths& paths, int worker);

// The user's private working directory, with a trailing separator: "tarnwell/" in the runtime
// directory when there is one (a path ending in a separator), otherwise "tarnwell-<uid>/" in the
// temporary directory (ending in a separator).
std::string privateWorkDirectory(const std::string& runtimeDirectory,
                                 const std::string& tempDirectory, unsigned long userId);

// The private directory to use: `preferred` when it is (or can be made) a directory of this
// user's alone, otherwise a fresh one made beside it with a random suffix. Empty when neither
// is possible; nothing is ever written into a directory that failed the check.
std::string choosePrivateDirectory(const std::string& preferred);

// Before each use: true when the working directory may take the working files (a private one
// is made again when missing and must pass the check; an own directory must exist).
bool prepareWorkDirectory(const WorkingPaths& paths);

// The "log" directory beside the program is kept when it exists (a build tree). Otherwise the
// logs go to "tarnwell/" under the user's state directory (an installed program cannot write
// beside itself), made on first use; without a state directory nothing changes.
void chooseLogDirectory(WorkingPaths& paths, bool besideProgramExists,
                        const std::string& stateDirectory);

// The paths of the running program. The working files go to the directory TARNWELL_WORKDIR
// names when it names one, otherwise to the user's private directory (choosePrivateDirectory);
// workDirectory is empty when no private directory can be had.
WorkingPaths programWorkingPaths();

// Removes every working file of one conversion (the lock excepted) that exists: the raw work
// and index files, the scratch TIFF and its page file, the intermediate TIFF with its page files
// and the PDF-ready TIFF. The caller holds the lock.
void removeConversionFiles(const WorkingPaths& paths);

// At exit: removes what a conversion may have left, waiting for a conversion of another
// process of this user that shares the files, and then the private directory when it is empty.
void removeWorkingFiles(const WorkingPaths& paths);

}  // namespace tarnwell
