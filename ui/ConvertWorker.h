#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <vector>

#include "app/ConversionRequest.h"
#include "app/FileConversion.h"
#include "ui/SharedSettings.h"

namespace tarnwell::ui {

// The Convert page's worker: converts the listed files one by one on a thread of its own,
// through the batch driver, and reports every step through signals, which the page receives queued on its own thread. It
// never touches a widget. Every signal carries the run's number, so the page can tell a late
// report of an earlier run from the current one.
class ConvertWorker : public QObject {
  Q_OBJECT
 public:
  ConvertWorker(SharedSettings& settings, const ConversionStages& stages,
                QObject* parent = nullptr);
  // Asks a running conversion to stop and waits for its thread to end.
  ~ConvertWorker() override;

  // Starts a run. An earlier run is stopped first and waited for until its thread has really
  // ended, so two runs never convert at once.
  // The request's job holds the source and destination directories, the naming flags and the
  // filter; `files` are relative to the source directory. The settings are taken from the
  // shared settings before every file.
  void start(int runId, ConversionRequest request, std::vector<std::string> files);
  // Asks the run to stop before its next file.
  void requestStop() { stopRequested_ = true; }
  // Waits up to the time-out for the thread to end; true when no thread is left.
  bool waitFinished(std::chrono::milliseconds timeout);
  // The report of the last run that ended (only valid once waitFinished returned true).
  const std::string& lastReport() const { return report_; }

 signals:
  void saveDirFailed(int runId);
  void fileStarted(int runId, int row, const QString& source);
  void fileDone(int runId, int row, const QString& destination, const QString& result);
  // The pages the file's conversion left out, one line each ("page 2 of 3 left out: no data");
  // sent before fileDone, only when a page was left out.
  void pagesLeftOut(int runId, int row, const QString& text);
  void runFinished(int runId, int converted);

 private:
  void run(int runId, const ConversionRequest& request, const std::vector<std::string>& files);
  void markEnded();

  SharedSettings& settings_;
  const ConversionStages& stages_;
  std::thread thread_;
  std::atomic<bool> stopRequested_{false};
  std::mutex mutex_;
  std::condition_variable endedChanged_;
  bool ended_ = true;
  std::string report_;     // written by the thread, read after it has been joined
  std::string runReport_;  // the thread's report of the run in progress
};

}  // namespace tarnwell::ui
