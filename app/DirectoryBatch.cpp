#include "app/DirectoryBatch.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/FileFilter.h"
#include "codec/WholeStripChecks.h"
#include "faxin/FormatClassifier.h"
#include "pdfout/pdf/t2p.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

enum class FileResult { kAlreadyPdf, kConverted, kFailed };

// One listed file's report line, left-out pages, failure line and result.
struct FileOutcome {
  std::string reportLine;
  std::vector<std::string> leftOutPages;
  std::vector<std::string> failures;
  FileResult result = FileResult::kFailed;
  bool done = false;
};

// How many files of the list come before each one that are to be converted (not already PDF).
std::vector<unsigned long long> conversionsBefore(const ConversionJob& job) {
  std::vector<unsigned long long> before(job.fileList.size());
  unsigned long long count = 0;
  for (std::size_t i = 0; i < job.fileList.size(); ++i) {
    before[i] = count;
    if (!endsWithPdf(job.sourcePath + kSep + job.fileList[i])) ++count;
  }
  return before;
}

// Converts the listed file `index` with the given working files into an outcome of its own.
// `conversionsBefore` is the number of files to convert before it in the list: the PDF's
// identifier is drawn as if every one of them had written its PDF on this thread, so a file's
// PDF is the same whichever worker converts it and whatever became of the files before it.
FileOutcome convertEntry(const ConversionJob& job, std::size_t index,
                         unsigned long long conversionsBefore, const ConversionSettings& settings,
                         const WorkingPaths& paths, const ConversionStages& stages) {
  FileOutcome outcome;
  const std::string source = job.sourcePath + kSep + job.fileList[index];
  if (endsWithPdf(source)) {
    outcome.reportLine = source + " : already PDF format, need no converting!\n";
    outcome.result = FileResult::kAlreadyPdf;
  } else {
    // A job of its own holds this file's report line: the flags and options are the run's.
    ConversionJob own;
    own.keepFileTime = job.keepFileTime;
    own.keepSourceExtension = job.keepSourceExtension;
    own.keepHierarchy = job.keepHierarchy;
    own.sourcePath = job.sourcePath;
    own.destinationPath = job.destinationPath;
    own.copyOptions = job.copyOptions;
    platform::setThreadRandPosition(conversionsBefore * kPdfIdRandomValues);
    const bool converted =
        convertFile(own, source, destinationFor(job, source), settings, paths, stages);
    outcome.reportLine = std::move(own.logText);
    outcome.leftOutPages = std::move(own.leftOutPages);
    outcome.failures = std::move(own.failures);
    outcome.result = converted ? FileResult::kConverted : FileResult::kFailed;
  }
  outcome.done = true;
  return outcome;
}

// The workers of a run: `jobs` (0: one per core), never more than there are files nor more
// than kMaxWorkers.
constexpr int kMaxWorkers = 64;
int workerCount(int32_t jobs, std::size_t files) {
  long wanted = jobs;
  if (wanted <= 0) wanted = static_cast<long>(std::thread::hardware_concurrency());
  wanted = std::clamp(wanted, 1L, static_cast<long>(kMaxWorkers));
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted),
                                                std::max<std::size_t>(files, 1)));
}

// Converts the listed files with `workers` threads, each with its own working files. Files
// that write the same PDF form one chain, converted in list order by one worker, so the later
// file's PDF is the one that stays, as in a run of one worker. A file a worker could not
// convert (a thread that could not start, memory running out) is converted afterwards here.
void convertInParallel(const ConversionJob& job, const std::vector<unsigned long long>& before,
                       const ConversionSettings& settings,
                       const WorkingPaths& paths, const ConversionStages& stages, int workers,
                       std::vector<FileOutcome>& outcomes) {
  std::vector<std::vector<std::size_t>> chains;
  {
    std::unordered_map<std::string, std::size_t> chainOf;
    for (std::size_t i = 0; i < job.fileList.size(); ++i) {
      const std::string source = job.sourcePath + kSep + job.fileList[i];
      const auto [it, fresh] = chainOf.try_emplace(destinationFor(job, source), chains.size());
      if (fresh) chains.emplace_back();
      chains[it->second].push_back(i);
    }
  }
  std::vector<WorkingPaths> workerSets;
  for (int w = 0; w < workers; ++w) workerSets.push_back(workerPaths(paths, w));

  // The extra workers take the cores the checking helpers would use.
  ConversionSettings shared = settings;
  shared.checkHelpers = WholeStripChecks::helpersBesideWorkers(workers - 1);
  std::atomic<std::size_t> nextChain{0};
  auto work = [&](int worker) noexcept {
    try {
      for (std::size_t c = nextChain++; c < chains.size(); c = nextChain++) {
        for (std::size_t index : chains[c])
          outcomes[index] =
              convertEntry(job, index, before[index], shared, workerSets[worker], stages);
      }
    } catch (...) {
      // The files left undone are converted after the workers have ended.
    }
  };
  {
    std::vector<std::jthread> threads;
    try {
      for (int w = 1; w < workers; ++w) threads.emplace_back(work, w);
    } catch (...) {
      // Fewer workers than asked for: the ones running share the files.
    }
    work(0);
  }  // every worker has ended here
  for (std::size_t i = 0; i < outcomes.size(); ++i)
    if (!outcomes[i].done)
      outcomes[i] = convertEntry(job, i, before[i], shared, paths, stages);
  // A worker's files are removed after each conversion; this takes what an interruption left.
  for (int w = 1; w < workers; ++w) removeWorkingFiles(workerSets[w]);
}

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

BatchTally convertListedFiles(ConversionJob& job, const ConversionSettings& settings,
                              const WorkingPaths& paths, const ConversionStages& stages) {
  BatchTally tally;
  if (job.destinationPath.empty()) return tally;
  job.logText = reportHeader(job.sourcePath, job.destinationPath);
  std::vector<FileOutcome> outcomes(job.fileList.size());
  const std::vector<unsigned long long> before = conversionsBefore(job);
  const int workers = workerCount(job.jobs, job.fileList.size());
  if (workers <= 1) {
    for (std::size_t i = 0; i < job.fileList.size(); ++i)
      outcomes[i] = convertEntry(job, i, before[i], settings, paths, stages);
  } else {
    convertInParallel(job, before, settings, paths, stages, workers, outcomes);
  }
  // The report in list order, whatever order the files were converted in.
  for (const FileOutcome& outcome : outcomes) {
    job.logText += outcome.reportLine;
    job.leftOutPages.insert(job.leftOutPages.end(), outcome.leftOutPages.begin(),
                            outcome.leftOutPages.end());
    job.failures.insert(job.failures.end(), outcome.failures.begin(), outcome.failures.end());
    switch (outcome.result) {
      case FileResult::kAlreadyPdf: ++tally.alreadyPdf; break;
      case FileResult::kConverted: ++tally.converted; break;
      case FileResult::kFailed: ++tally.failed; break;
    }
  }
  job.logText +=
      "\r\n---------\r\nTotal converted FAX files: " + std::to_string(tally.converted) + "\r\n";
  return tally;
}

}  // namespace tarnwell
