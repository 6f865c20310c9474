#include "app/BatchDriver.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "app/DestinationNames.h"
#include "codec/WholeStripChecks.h"
#include "pdfout/pdf/t2p.h"
#include "platform/Platform.h"

namespace tarnwell {

namespace {

constexpr char kSep = platform::kPathSeparator;

// The workers of a run: `jobs` (0: one per core), never more than there are files nor more
// than kMaxWorkers.
constexpr int kMaxWorkers = 64;
int workerCount(int32_t jobs, std::size_t files) {
  long wanted = jobs;
  if (wanted <= 0) wanted = static_cast<long>(std::thread::hardware_concurrency());
  wanted = std::clamp(wanted, 1L, static_cast<long>(kMaxWorkers));
  return static_cast<int>(
      std::min<std::size_t>(static_cast<std::size_t>(wanted), std::max<std::size_t>(files, 1)));
}

// The state the workers share: what each file became, and which reports have gone out.
class Batch {
 public:
  Batch(const ConversionRequest& request, const std::vector<std::string>& files,
        const BatchCallbacks& callbacks, const ConversionStages& stages)
      : request_(request),
        files_(files),
        callbacks_(callbacks),
        stages_(stages),
        reports_(files.size()),
        identifierPositions_(files.size()) {
    // A file's PDF identifier is drawn as if every file to convert before it in the list had
    // written its PDF on one thread.
    unsigned long long conversions = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
      identifierPositions_[i] = conversions * kPdfIdRandomValues;
      if (!endsWithPdf(source(i))) ++conversions;
    }
  }

  std::string source(std::size_t index) const {
    return request_.job.sourcePath + kSep + files_[index];
  }

  // The checking helpers each file may use, when workers take the spare cores.
  void setCheckHelpers(int helpers) { checkHelpers_ = helpers; }

  bool cancelled() const { return callbacks_.cancel != nullptr && callbacks_.cancel->load(); }

  // Converts file `index` with the given working files and reports it. False when the batch
  // was cancelled before the file began.
  bool convert(std::size_t index, const WorkingPaths& paths) {
    if (cancelled()) return false;
    const std::string from = source(index);
    ConversionSettings settings =
        callbacks_.settingsForNextFile ? callbacks_.settingsForNextFile() : request_.settings;
    if (checkHelpers_) settings.checkHelpers = *checkHelpers_;
    {
      const std::lock_guard lock(mutex_);
      if (callbacks_.started) callbacks_.started(index, from);
    }
    FileReport report;
    if (endsWithPdf(from)) {
      report.reportLine = from + " : already PDF format, need no converting!\n";
      report.result = FileResult::kAlreadyPdf;
    } else {
      const FileTask task{from, destinationFor(request_.job, from), identifierPositions_[index]};
      report = convertFile(task, request_.job, settings, paths, stages_);
    }
    finish(index, std::move(report));
    return true;
  }

  // Reports what is still held back (files after one that never began, on cancel).
  BatchTally end() {
    const std::lock_guard lock(mutex_);
    BatchTally tally;
    for (std::size_t i = 0; i < reports_.size(); ++i) {
      if (!reports_[i]) {
        ++tally.notStarted;
        continue;
      }
      if (i >= nextReport_ && callbacks_.finished) callbacks_.finished(i, *reports_[i]);
      switch (reports_[i]->result) {
        case FileResult::kAlreadyPdf: ++tally.alreadyPdf; break;
        case FileResult::kConverted: ++tally.converted; break;
        case FileResult::kFailed: ++tally.failed; break;
      }
    }
    nextReport_ = reports_.size();
    return tally;
  }

  bool done(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return reports_[index].has_value();
  }

 private:
  void finish(std::size_t index, FileReport report) {
    const std::lock_guard lock(mutex_);
    reports_[index] = std::move(report);
    // The reports go out in list order: this one and those after it that are already done.
    while (nextReport_ < reports_.size() && reports_[nextReport_]) {
      if (callbacks_.finished) callbacks_.finished(nextReport_, *reports_[nextReport_]);
      ++nextReport_;
    }
  }

  const ConversionRequest& request_;
  const std::vector<std::string>& files_;
  const BatchCallbacks& callbacks_;
  const ConversionStages& stages_;
  mutable std::mutex mutex_;
  std::vector<std::optional<FileReport>> reports_;
  std::vector<unsigned long long> identifierPositions_;
  std::size_t nextReport_ = 0;
  std::optional<int> checkHelpers_;
};

// Converts the files with `workers` threads, each with its own working files. Files that write
// the same PDF form one chain, converted in list order by one worker. A file a worker could not
// convert (a thread that could not start, memory running out) is converted afterwards here.
void convertInParallel(Batch& batch, const ConversionRequest& request,
                       const std::vector<std::string>& files, int workers) {
  std::vector<std::vector<std::size_t>> chains;
  {
    std::unordered_map<std::string, std::size_t> chainOf;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const auto [it, fresh] =
          chainOf.try_emplace(destinationFor(request.job, batch.source(i)), chains.size());
      if (fresh) chains.emplace_back();
      chains[it->second].push_back(i);
    }
  }
  std::vector<WorkingPaths> workerSets;
  for (int w = 0; w < workers; ++w) workerSets.push_back(workerPaths(request.paths, w));

  std::atomic<std::size_t> nextChain{0};
  auto work = [&](int worker) noexcept {
    try {
      for (std::size_t c = nextChain++; c < chains.size(); c = nextChain++)
        for (std::size_t index : chains[c])
          if (!batch.convert(index, workerSets[worker])) return;
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
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!batch.done(i) && !batch.convert(i, request.paths)) break;
  // A worker's files are removed after each conversion; this takes what an interruption left.
  for (int w = 1; w < workers; ++w) removeWorkingFiles(workerSets[w]);
}

}  // namespace

BatchTally runBatch(const ConversionRequest& request, const std::vector<std::string>& files,
                    const BatchCallbacks& callbacks, const ConversionStages& stages) {
  Batch batch(request, files, callbacks, stages);
  const int workers = workerCount(request.job.jobs, files.size());
  if (workers <= 1) {
    for (std::size_t i = 0; i < files.size(); ++i)
      if (!batch.convert(i, request.paths)) break;
  } else {
    // The extra workers take the cores the engine's checking helpers would use.
    batch.setCheckHelpers(WholeStripChecks::helpersBesideWorkers(workers - 1));
    convertInParallel(batch, request, files, workers);
  }
  return batch.end();
}

}  // namespace tarnwell
