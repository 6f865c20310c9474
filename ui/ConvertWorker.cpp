#include "ui/ConvertWorker.h"

#include <QFile>
#include <QStringList>

#include "app/ConversionLog.h"
#include "app/BatchDriver.h"
#include "app/DirectoryBatch.h"
#include "platform/Platform.h"

namespace tarnwell::ui {

namespace {

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

ConvertWorker::ConvertWorker(SharedSettings& settings, const ConversionStages& stages,
                             QObject* parent)
    : QObject(parent), settings_(settings), stages_(stages) {}

ConvertWorker::~ConvertWorker() {
  requestStop();
  if (thread_.joinable()) thread_.join();
}

void ConvertWorker::start(int runId, ConversionRequest request, std::vector<std::string> files) {
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
  thread_ = std::thread([this, runId, request = std::move(request), files = std::move(files)] {
    run(runId, request, files);
  });
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

void ConvertWorker::run(int runId, const ConversionRequest& request,
                        const std::vector<std::string>& files) {
  int converted = 0;
  try {
    const ConversionJob& job = request.job;
    if (!ensureDirectory(job.destinationPath)) emit saveDirFailed(runId);
    RunReport report;
    report.logText = reportHeader(job.sourcePath, job.destinationPath);

    BatchCallbacks callbacks;
    callbacks.cancel = &stopRequested_;
    // A change on the Settings page takes effect from the next file on.
    callbacks.settingsForNextFile = [this] { return settings_.snapshot(); };
    callbacks.started = [&](std::size_t index, const std::string& source) {
      emit fileStarted(runId, static_cast<int>(index), pathText(source));
    };
    callbacks.finished = [&](std::size_t index, const FileReport& file) {
      const int row = static_cast<int>(index);
      // The window's report names only the files it converted or tried to.
      if (file.result != FileResult::kAlreadyPdf) report.add(file);
      QString result;
      QString written;
      switch (file.result) {
        case FileResult::kAlreadyPdf:
          result = QStringLiteral("Already PDF!");
          break;
        case FileResult::kConverted:
          ++converted;
          written = pathText(destinationFor(job, job.sourcePath + platform::kPathSeparator +
                                                      files[index]));
          result = QStringLiteral("Converted!");
          break;
        case FileResult::kFailed:
          result = QStringLiteral("Not FAX!");
          break;
      }
      if (!file.leftOutPages.empty()) {
        QStringList lines;
        for (const std::string& line : file.leftOutPages) lines << pathText(line);
        emit pagesLeftOut(runId, row, lines.join(QLatin1Char('\n')));
      }
      emit fileDone(runId, row, written, result);
    };
    // The window converts one file at a time.
    ConversionRequest oneAtATime = request;
    oneAtATime.job.jobs = 1;
    (void)runBatch(oneAtATime, files, callbacks, stages_);
    (void)writeLog(request.paths, std::string(), report.logText, platform::localTimeNow());
    runReport_ = std::move(report.logText);
  } catch (...) {
    // Out of memory while building texts: the run ends here with what it converted.
  }
  emit runFinished(runId, converted);
  markEnded();
}

}  // namespace tarnwell::ui
