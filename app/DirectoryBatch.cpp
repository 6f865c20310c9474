#include "app/DirectoryBatch.h"

#include <vector>

#include "app/FileFilter.h"
#include "faxin/FormatClassifier.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

}  // namespace

bool endsWithPdf(const std::string& path) {
  if (path.size() < 3) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - 3);
  auto is = [](char c, char lower) { return c == lower || c == lower - 'a' + 'A'; };
  return is(tail[0], 'p') && is(tail[1], 'd') && is(tail[2], 'f');
}

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

std::string destinationFor(const ConversionJob& job, const std::string& source) {
  std::string name = source;
  if (!job.keepSourceExtension) {
    // Only a dot inside the file name starts an extension; a dot in a directory name does not,
    // and neither does the dot of a name such as ".profile".
    const auto lastSep = name.rfind(kSep);
    const std::size_t nameStart = lastSep == std::string::npos ? 0 : lastSep + 1;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > nameStart) name.erase(dot);
  }
  name += ".pdf";
  if (job.keepHierarchy == 1) {
    // Only the leading source directory is replaced; the same text further on is a directory
    // of the tree and stays.
    if (name.starts_with(job.sourcePath))
      name = job.destinationPath + name.substr(job.sourcePath.size());
    return name;
  }
  const auto lastSep = name.rfind(kSep);
  if (lastSep != std::string::npos && lastSep > 0) name.erase(0, lastSep + 1);
  return job.destinationPath + kSep + name;
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
