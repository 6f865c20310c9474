#include "ui/ConvertWorker.h"

#include <QFile>
#include <QStringList>

#include "app/ConversionLog.h"
#include "app/DirectoryBatch.h"
#include "platform/Platform.h"

namespace tarnwell::ui {

namespace {

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

ConvertWorker::ConvertWorker(SharedSettings& settings, const WorkingPaths& paths,
                             const ConversionStages& stages, QObject* parent)
    : QObject(parent), settings_(settings), paths_(paths), stages_(stages) {}

ConvertWorker::~ConvertWorker() {
  requestStop();
  if (thread_.joinable()) thread_.join();
}

void ConvertWorker::start(int runId, RunRequest request) {
  if (thread_.joinable()) {
    requestStop();
    thread_.join();
    report_ = std::move(runReport_);
  }
  stopRequested_ = false;
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
  }
  thread_ = std::thread(&ConvertWorker::run, this, runId, std::move(request));
}

bool ConvertWorker::waitFinished(std::chrono::milliseconds timeout) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock lock(mutex_);
    if (!endedChanged_.wait_for(lock, timeout, [this] { return ended_; })) return false;
  }
  thread_.join();
  report_ = std::move(runReport_);
  return true;
}

void ConvertWorker::markEnded() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  endedChanged_.notify_all();
}

void ConvertWorker::run(int runId, RunRequest request) {
  int converted = 0;
  try {
    ConversionJob& job = request.job;
    job.keepFileTime = request.keepFileTime == 1 ? 1 : 0;
    job.destinationPath = request.destinationDirectory;
    if (!ensureDirectory(job, request.destinationDirectory)) emit saveDirFailed(runId);
    job.logText = reportHeader(request.sourceDirectory, request.destinationDirectory);

    // The destination names follow the directory batch's rules for these two directories.
    ConversionJob naming;
    naming.sourcePath = request.sourceDirectory;
    naming.destinationPath = request.destinationDirectory;
    naming.keepHierarchy = request.keepHierarchy;
    naming.keepSourceExtension = request.keepSourceExtension != 0 ? 1 : 0;

    for (std::size_t i = 0; i < job.fileList.size(); ++i) {
      // Cancel stops the run here, between two files; a file once begun is finished.
      if (stopRequested_) break;
      const int row = static_cast<int>(i);
      const std::string source =
          request.sourceDirectory + platform::kPathSeparator + job.fileList[i];
      const std::string destination = destinationFor(naming, source);
      emit fileStarted(runId, row, pathText(source));
      QString result;
      QString written;
      const std::size_t leftOutBefore = job.leftOutPages.size();
      if (endsWithPdf(source)) {
        result = QStringLiteral("Already PDF!");
      } else if (convertFile(job, source, destination, settings_.snapshot(), paths_, stages_)) {
        ++converted;
        written = pathText(destination);
        result = QStringLiteral("Converted!");
      } else {
        result = QStringLiteral("Not FAX!");
      }
      if (job.leftOutPages.size() > leftOutBefore) {
        QStringList lines;
        for (std::size_t n = leftOutBefore; n < job.leftOutPages.size(); ++n) {
          lines << pathText(job.leftOutPages[n]);
        }
        emit pagesLeftOut(runId, row, lines.join(QLatin1Char('\n')));
      }
      emit fileDone(runId, row, written, result);
    }
    (void)writeLog(paths_, std::string(), job.logText, platform::localTimeNow());
    runReport_ = std::move(job.logText);
  } catch (...) {
    // Out of memory while building texts: the run ends here with what it converted.
  }
  emit runFinished(runId, converted);
  markEnded();
}

}  // namespace tarnwell::ui
