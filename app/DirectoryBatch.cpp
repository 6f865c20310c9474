#include "app/DirectoryBatch.h"

#include "app/FileFilter.h"
#include "faxin/FormatClassifier.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

bool endsWithPdf(const std::string& path) {
  if (path.size() < 3) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - 3);
  auto is = [](char c, char lower) { return c == lower || c == lower - 'a' + 'A'; };
  return is(tail[0], 'p') && is(tail[1], 'd') && is(tail[2], 'f');
}

std::string headerText(const ConversionJob& job) {
  return "Source Dir: " + job.sourcePath + "\r\nDestination Dir: " + job.destinationPath +
         "\r\n\r\n";
}

}  // namespace

void collectFiles(ConversionJob& job, const std::string& directory, bool recurse) {
  // An empty directory text names no directory (it must not become the root).
  if (directory.empty()) return;
  const std::string prefix = directory + kSep;
  for (const platform::DirEntry& entry : platform::listDirectory(directory)) {
    if (entry.name == "." || entry.name == "..") continue;
    if (!matchesFilter(entry.name, job.filter)) continue;
    const std::string fullPath = prefix + entry.name;
    if (entry.isDirectory) {
      // Links to directories are not followed: a link to an ancestor would never end.
      if (recurse && !entry.isSymlink) collectFiles(job, fullPath, recurse);
    } else if (entry.isRegular) {
      if (classifyFile(fullPath) == FaxFormat::kNotFax) continue;
      // The path relative to sourcePath: drop sourcePath and the separator after it.
      const std::size_t skip = job.sourcePath.size() + 1;
      if (skip <= fullPath.size()) job.fileList.push_back(fullPath.substr(skip));
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

int convertFileList(ConversionJob& job, const ConversionSettings& settings,
                    const WorkingPaths& paths, const ConversionStages& stages) {
  if (job.destinationPath.empty()) return -1;
  (void)convertListedFiles(job, settings, paths, stages);
  return 0;
}

BatchTally convertListedFiles(ConversionJob& job, const ConversionSettings& settings,
                              const WorkingPaths& paths, const ConversionStages& stages) {
  BatchTally tally;
  if (job.destinationPath.empty()) return tally;
  job.logText = headerText(job);
  for (const std::string& entry : job.fileList) {
    const std::string source = job.sourcePath + kSep + entry;
    const std::string destination = destinationFor(job, source);
    if (endsWithPdf(source)) {
      job.logText += source + " : already PDF format, need no converting!\n";
      ++tally.alreadyPdf;
      continue;
    }
    if (convertFile(job, source, destination, settings, paths, stages)) {
      ++tally.converted;
    } else {
      ++tally.failed;
    }
  }
  job.logText +=
      "\r\n---------\r\nTotal converted FAX files: " + std::to_string(tally.converted) + "\r\n";
  return tally;
}

}  // namespace tarnwell
