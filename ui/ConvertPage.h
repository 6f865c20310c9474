#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <string>
#include <vector>

#include "app/ConversionJob.h"
#include "app/FileConversion.h"
#include "ui/Dialogs.h"
#include "ui/OptionsPage.h"
#include "ui/SharedSettings.h"

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QLabel;
class QTreeWidget;

namespace tarnwell::ui {

class ConvertWorker;

// The Convert page: the user picks a source directory or files, a destination directory and a
// filter, presses Go, and a worker converts the listed files one by one into a three-column
// list with a progress bar; the run's report goes to a time-stamped log file.
class ConvertPage : public QWidget {
  Q_OBJECT
 public:
  ConvertPage(SharedSettings& settings, const WorkingPaths& paths, const ConversionStages& stages,
              Dialogs& dialogs, QWidget* parent = nullptr);
  ~ConvertPage() override;

  // The job whose mode and naming flags the Options page sets when the user returns to this
  // page; the page's own paths and filter stay.
  ConversionJob& options() { return job_; }
  // The page's job: its source directory, filter, mode and flags.
  const ConversionJob& job() const { return job_; }
  // The listed files, relative to the source directory.
  const std::vector<std::string>& files() const { return files_; }
  // The report of the last run that ended.
  const std::string& lastReport() const { return lastReport_; }
  // Go: the window makes it its default button, so Return starts a run.
  QPushButton* goButton() const { return go_; }

  void chooseSource();
  // What dropping files or a folder onto the Source field does: one folder is taken as the
  // source directory, files of one folder as the chosen files, as the "..." button would take
  // them. False (and nothing changes) for anything else.
  bool dropSource(const QList<QUrl>& urls);
  void chooseDestination();
  void go();
  void cancel();

 signals:
  // A run has ended and its controls are restored.
  void runEnded();

 private:
  // The two ways the "..." button and a drop choose the source.
  void useSourceDirectory(const QString& directory);
  void useSourceFiles(const ChosenFiles& chosen);
  // The progress bar's range: one step per listed file.
  void resetProgress();
  void fileStarted(int runId, int row, const QString& source);
  void fileDone(int runId, int row, const QString& destination, const QString& result);
  void pagesLeftOut(int runId, int row, const QString& text);
  void runFinished(int runId, int converted);
  void saveDirFailed(int runId);
  // Enables or disables the controls that feed a run.
  void setInputsEnabled(bool enabled);
  // Back to idle: normal cursor, inputs enabled, Cancel disabled.
  void restore();

  SharedSettings& settings_;
  const WorkingPaths& paths_;
  Dialogs& dialogs_;
  ConvertWorker* worker_;
  ConversionJob job_;
  std::vector<std::string> files_;
  std::string lastReport_;
  QString sourceDirectory_;  // set only by choosing a source
  bool running_ = false;
  bool waitCursor_ = false;
  bool stopping_ = false;  // Cancel's wait ended before the worker did
  bool cancelled_ = false;  // Cancel was pressed during the current run
  int filesDone_ = 0;       // files of the current run that have a result
  int runId_ = 0;

  QLineEdit* filter_;
  QPlainTextEdit* source_;
  QPushButton* chooseSource_;
  QLineEdit* destination_;
  QPushButton* chooseDestination_;
  QPushButton* go_;
  QPushButton* cancel_;
  QTreeWidget* results_;
  QProgressBar* progress_;
  QLabel* status_;
};

}  // namespace tarnwell::ui
