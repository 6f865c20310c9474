#include "app/ConversionSettings.h"

#include "faxin/readers/FaxReader.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

std::string cutAtLastSeparator(const std::string& path) {
  const auto pos = path.rfind(kSep);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string fileNameOf(const std::string& path) {
  const auto pos = path.rfind(kSep);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether a name is one of the page files the engine writes beside the intermediate TIFF
// (its name without the extension, a page number, ".tif").
bool isPageFileName(const std::string& name, const std::string& intermediateTiffPath) {
  const std::string sample = fileNameOf(FaxReader::pageFileName(intermediateTiffPath, 0));
  const std::string stem = sample.substr(0, sample.size() - std::string("0.tif").size());
  const std::string suffix = ".tif";
  if (name.size() <= stem.size() + suffix.size()) return false;
  if (name.compare(0, stem.size(), stem) != 0) return false;
  if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  return allDigits(name.substr(stem.size(), name.size() - stem.size() - suffix.size()));
}

}  // namespace

WorkingPaths makeWorkingPaths(const std::string& programPath, const std::string& workDirectory,
                              WorkDirectoryKind kind) {
  WorkingPaths p;
  p.programPath = programPath;
  p.moduleDirectory = cutAtLastSeparator(programPath);
  p.workDirectory = workDirectory;
  p.privateDirectory = kind == WorkDirectoryKind::kPrivate;
  p.engineFiles.workFilePath = workDirectory + "trwtmp.tmp";
  p.engineFiles.segmentFilePath = workDirectory + "trwseg.tmp";
  p.lockFilePath = workDirectory + "trwlock.tmp";
  p.logDirectory = p.moduleDirectory + kSep + "log" + kSep;
  p.engineFiles.scratchTiffPath = workDirectory + "trwtif.tmp";
  p.intermediateTiffPath = workDirectory + "trwintif.tmp";
  p.pdfReadyTiffPath = workDirectory + "trwcptif.tmp";
  return p;
}

WorkingPaths workerPaths(const WorkingPaths& paths, int worker) {
  if (worker == 0) return paths;
  WorkingPaths p = paths;
  // The prefix ends in '-', so no worker's names (page files included) start with another
  // worker's names.
  const std::string prefix = "w" + std::to_string(worker) + "-";
  for (std::string* path :
       {&p.engineFiles.workFilePath, &p.engineFiles.segmentFilePath, &p.lockFilePath,
        &p.engineFiles.scratchTiffPath, &p.intermediateTiffPath, &p.pdfReadyTiffPath}) {
    // Every working file is a name in the working directory (npos + 1 is 0: a bare name).
    path->insert(path->rfind(kSep) + 1, prefix);
  }
  return p;
}

std::string privateWorkDirectory(const std::string& runtimeDirectory,
                                 const std::string& tempDirectory, unsigned long userId) {
  if (!runtimeDirectory.empty()) return runtimeDirectory + "tarnwell" + kSep;
  return tempDirectory + "tarnwell-" + std::to_string(userId) + kSep;
}

std::string choosePrivateDirectory(const std::string& preferred) {
  if (preferred.empty()) return {};
  if (platform::preparePrivateDirectory(preferred)) return preferred;
  // Someone else holds the name (or it is open to others): a fresh directory beside it.
  std::string prefix = preferred;
  while (prefix.size() > 1 && prefix.back() == kSep) prefix.pop_back();
  return platform::makeUniqueDirectory(prefix + ".");
}

bool prepareWorkDirectory(const WorkingPaths& paths) {
  if (paths.workDirectory.empty()) return false;
  if (paths.privateDirectory) return platform::preparePrivateDirectory(paths.workDirectory);
  return platform::isDirectory(paths.workDirectory);
}

void chooseLogDirectory(WorkingPaths& paths, bool besideProgramExists,
                        const std::string& stateDirectory) {
  if (besideProgramExists || stateDirectory.empty()) return;
  paths.logDirectory = stateDirectory + kSep + "tarnwell" + kSep;
  paths.makeLogDirectory = true;
}

WorkingPaths programWorkingPaths() {
  const std::string program = platform::programPath();
  const std::string own = platform::ownWorkDirectory();
  WorkingPaths paths =
      !own.empty()
          ? makeWorkingPaths(program, own, WorkDirectoryKind::kOwn)
          : makeWorkingPaths(program,
                             choosePrivateDirectory(privateWorkDirectory(
                                 platform::runtimeDirectory(), platform::tempDirectory(),
                                 platform::userId())),
                             WorkDirectoryKind::kPrivate);
  chooseLogDirectory(paths, platform::isDirectory(paths.logDirectory),
                     platform::userStateDirectory());
  return paths;
}

void removeConversionFiles(const WorkingPaths& paths) {
  const EngineFiles& engine = paths.engineFiles;
  for (const std::string* path : {&engine.workFilePath, &engine.segmentFilePath,
                                  &engine.scratchTiffPath, &paths.intermediateTiffPath,
                                  &paths.pdfReadyTiffPath})
    (void)platform::removeFile(*path);
  // The DS reader's page file beside the scratch TIFF.
  (void)platform::removeFile(engine.scratchTiffPath + ".tiff");
  if (paths.workDirectory.empty()) return;
  for (const platform::DirEntry& entry : platform::listDirectory(paths.workDirectory)) {
    if (isPageFileName(entry.name, paths.intermediateTiffPath))
      (void)platform::removeFile(paths.workDirectory + entry.name);
  }
}

void removeWorkingFiles(const WorkingPaths& paths) {
  if (paths.workDirectory.empty()) return;
  // A directory that fails the check is never touched; one that is gone has nothing left.
  if (paths.privateDirectory && platform::checkPrivateDirectory(paths.workDirectory) !=
                                    platform::PrivateDirectoryState::kPrivate)
    return;
  if (!platform::isDirectory(paths.workDirectory)) return;
  {
    // A conversion of another process of this user that is using the files removes them
    // itself; nobody waits for it here.
    platform::FileLock lock(paths.lockFilePath, /*wait=*/false);
    if (lock.locked()) {
      removeConversionFiles(paths);
      lock.removeLockFile();
    }
  }
  if (paths.privateDirectory) (void)platform::removeEmptyDirectory(paths.workDirectory);
}

}  // namespace tarnwell
