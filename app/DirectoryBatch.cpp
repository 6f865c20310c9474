#include "app/DirectoryBatch.h"

#include <vector>

#include "app/FileFilter.h"
#include "faxin/FormatClassifier.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

}  // namespace

std::string reportHeader(const std::string& sourceDirectory,
                         const std::string& destinationDirectory) {
  return "Source Dir: " + sourceDirectory + "\r\nDestination Dir: " + destinationDirectory +
         "\r\n\r\n";
}

void collectFiles(const ConversionJob& job, const std::string& directory, bool recurse,
                  std::vector<std::string>& files) {
  // An empty directory text names no directory (it must not become the root).
  if (directory.empty()) return;
  const std::string prefix = directory + kSep;
  for (const platform::DirEntry& entry : platform::listDirectory(directory)) {
    if (entry.name == "." || entry.name == "..") continue;
    if (!matchesFilter(entry.name, job.filter)) continue;
    const std::string fullPath = prefix + entry.name;
    if (entry.isDirectory) {
      // Links to directories are not followed: a link to an ancestor would never end.
      if (recurse && !entry.isSymlink) collectFiles(job, fullPath, recurse, files);
    } else if (entry.isRegular) {
      if (classifyFile(fullPath) == FaxFormat::kNotFax) continue;
      // The path relative to sourcePath: drop sourcePath and the separator after it.
      const std::size_t skip = job.sourcePath.size() + 1;
      if (skip <= fullPath.size()) files.push_back(fullPath.substr(skip));
    }
  }
}

BatchTally convertDirectory(const ConversionRequest& request,
                            const std::vector<std::string>& files, RunReport& report,
                            const ConversionStages& stages,
                            const std::function<void(const FileReport&)>& fileDone) {
  if (request.job.destinationPath.empty()) return {};
  report.logText = reportHeader(request.job.sourcePath, request.job.destinationPath);
  BatchCallbacks callbacks;
  callbacks.finished = [&](std::size_t, const FileReport& file) {
    report.add(file);
    if (fileDone) fileDone(file);
  };
  const BatchTally tally = runBatch(request, files, callbacks, stages);
  report.logText +=
      "\r\n---------\r\nTotal converted FAX files: " + std::to_string(tally.converted) + "\r\n";
  return tally;
}

}  // namespace tarnwell
