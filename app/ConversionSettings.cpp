#include "app/ConversionSettings.h"

#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

std::string cutAtLastSeparator(const std::string& path) {
  const auto pos = path.rfind(kSep);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

}  // namespace

WorkingPaths makeWorkingPaths(const std::string& programPath, const std::string& tempDirectory,
                              bool moduleDirectoryWritable,
                              const std::string& ownWorkDirectory) {
  WorkingPaths p;
  p.programPath = programPath;
  p.moduleDirectory = cutAtLastSeparator(programPath);
  const std::string workDirectory = !ownWorkDirectory.empty() ? ownWorkDirectory
                                    : moduleDirectoryWritable ? p.moduleDirectory + kSep
                                                              : tempDirectory;
  const std::string tiffDirectory = ownWorkDirectory.empty() ? tempDirectory : ownWorkDirectory;
  p.workFilePath = workDirectory + "trwtmp.tmp";
  p.segmentFilePath = workDirectory + "trwseg.tmp";
  p.lockFilePath = workDirectory + "trwlock.tmp";
  p.logDirectory = p.moduleDirectory + kSep + "log" + kSep;
  p.scratchTiffPath = tiffDirectory + "trwtif.tmp";
  p.intermediateTiffPath = tiffDirectory + "trwintif.tmp";
  p.pdfReadyTiffPath = tiffDirectory + "trwcptif.tmp";
  return p;
}

void chooseLogDirectory(WorkingPaths& paths, bool besideProgramExists,
                        const std::string& stateDirectory) {
  if (besideProgramExists || stateDirectory.empty()) return;
  paths.logDirectory = stateDirectory + kSep + "tarnwell" + kSep;
  paths.makeLogDirectory = true;
}

ConversionSettings defaultSettings(const WorkingPaths& paths) {
  ConversionSettings s;
  s.workFilePath = paths.workFilePath;
  s.segmentFilePath = paths.segmentFilePath;
  s.scratchTiffPath = paths.scratchTiffPath;
  return s;
}

WorkingPaths programWorkingPaths() {
  const std::string program = platform::programPath();
  WorkingPaths paths = makeWorkingPaths(program, platform::tempDirectory(),
                                       platform::isWritableDirectory(cutAtLastSeparator(program)),
                                       platform::ownWorkDirectory());
  chooseLogDirectory(paths, platform::isDirectory(paths.logDirectory),
                     platform::userStateDirectory());
  return paths;
}

void removeWorkingFiles(const WorkingPaths& paths) {
  // Another process may be converting with the same fixed-name files; wait for it.
  platform::FileLock lock(paths.lockFilePath);
  platform::removeFile(paths.workFilePath);
  platform::removeFile(paths.segmentFilePath);
  platform::removeFile(paths.scratchTiffPath);
  lock.removeLockFile();
}

}  // namespace tarnwell
