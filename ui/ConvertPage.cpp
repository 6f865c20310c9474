#include "ui/ConvertPage.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <optional>

#include "app/DirectoryBatch.h"
#include "platform/Platform.h"
#include "ui/ConvertWorker.h"
#include "ui/Dialogs.h"
#include "ui/Theme.h"

namespace tarnwell::ui {

namespace {

constexpr std::chrono::milliseconds kCancelWait{2000};
const QString kInitialStatus =
    QStringLiteral("It's a GOOD idea to backup your fax files, and NEVER delete them");

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The source a drop stands for: one folder (no names), or files that all lie in one folder.
std::optional<ChosenFiles> droppedSource(const QList<QUrl>& urls) {
  if (urls.isEmpty()) return std::nullopt;
  ChosenFiles chosen;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) return std::nullopt;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir()) {
      if (urls.size() != 1) return std::nullopt;
      chosen.directory = QDir::cleanPath(info.absoluteFilePath());
      return chosen;
    }
    if (!info.isFile()) return std::nullopt;
    const QString directory = QDir::cleanPath(info.absolutePath());
    if (chosen.names.isEmpty()) {
      chosen.directory = directory;
    } else if (directory != chosen.directory) {
      return std::nullopt;
    }
    chosen.names << info.fileName();
  }
  return chosen;
}

// The Source field: it shows the chosen source and takes dropped files and folders. Its text is
// one line, so Return is left to the window (it presses Go) and Tab moves on.
class SourceEdit : public QPlainTextEdit {
 public:
  explicit SourceEdit(std::function<bool(const QList<QUrl>&)> dropped)
      : dropped_(std::move(dropped)) {
    setTabChangesFocus(true);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      event->ignore();
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }
  void dragEnterEvent(QDragEnterEvent* event) override { acceptIfSource(event); }
  void dragMoveEvent(QDragMoveEvent* event) override { acceptIfSource(event); }
  void dropEvent(QDropEvent* event) override {
    if (event->mimeData()->hasUrls() && dropped_(event->mimeData()->urls())) {
      event->acceptProposedAction();
    } else {
      event->ignore();
    }
  }

 private:
  void acceptIfSource(QDropEvent* event) {
    if (event->mimeData()->hasUrls() && droppedSource(event->mimeData()->urls())) {
      event->acceptProposedAction();
    } else {
      event->ignore();
    }
  }

  std::function<bool(const QList<QUrl>&)> dropped_;
};

QPushButton* browseButton(const char* name) {
  auto* button = new QPushButton(QStringLiteral("..."));
  button->setObjectName(QLatin1String(name));
  button->setIcon(browseIcon());
  button->setToolTip(QStringLiteral("..."));
  return button;
}

}  // namespace

ConvertPage::ConvertPage(SharedSettings& settings, const WorkingPaths& paths,
                         const ConversionStages& stages, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), settings_(settings), paths_(paths), dialogs_(dialogs) {
  setObjectName(QStringLiteral("convertPage"));
  applyColours(this, kPageBackground, kConvertEditBackground);
  worker_ = new ConvertWorker(settings_, stages, this);

  filter_ = new QLineEdit(QString::fromStdString(job_.filter));
  filter_->setObjectName(QStringLiteral("filter"));
  source_ = new SourceEdit([this](const QList<QUrl>& urls) { return dropSource(urls); });
  source_->setObjectName(QStringLiteral("source"));
  source_->setLineWrapMode(QPlainTextEdit::NoWrap);
  source_->setFixedHeight(source_->fontMetrics().lineSpacing() * 3 + 12);
  chooseSource_ = browseButton("chooseSource");
  destination_ = new QLineEdit;
  destination_->setObjectName(QStringLiteral("destination"));
  chooseDestination_ = browseButton("chooseDestination");
  go_ = new QPushButton(tr("&Go"));
  go_->setObjectName(QStringLiteral("go"));
  cancel_ = new QPushButton(tr("&Cancel"));
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setEnabled(false);

  results_ = new QTreeWidget;
  results_->setObjectName(QStringLiteral("results"));
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setHeaderLabels(
      {tr("Source Fax Files"), tr("Destination PDF Files"), tr("Results")});
  results_->header()->setStretchLastSection(false);
  results_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  results_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
  results_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

  progress_ = new QProgressBar;
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat(QStringLiteral("%v / %m"));
  status_ = new QLabel(kInitialStatus);
  status_->setObjectName(QStringLiteral("status"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* fields = new QGridLayout;
  auto* filterLabel = new QLabel(tr("File &filter"));
  filterLabel->setBuddy(filter_);
  fields->addWidget(filterLabel, 0, 0);
  fields->addWidget(filter_, 0, 1);
  fields->addWidget(new QLabel(tr("Source")), 1, 0, Qt::AlignTop);
  fields->addWidget(source_, 1, 1);
  fields->addWidget(chooseSource_, 1, 2, Qt::AlignTop);
  fields->addWidget(new QLabel(tr("Destination")), 2, 0);
  fields->addWidget(destination_, 2, 1);
  fields->addWidget(chooseDestination_, 2, 2);
  fields->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(go_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->addWidget(results_, 1);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  // The page's focus goes to its first field.
  setFocusProxy(filter_);

  connect(filter_, &QLineEdit::editingFinished, this,
          [this] { job_.filter = bytes(filter_->text()); });
  connect(chooseSource_, &QPushButton::clicked, this, &ConvertPage::chooseSource);
  connect(chooseDestination_, &QPushButton::clicked, this, &ConvertPage::chooseDestination);
  connect(go_, &QPushButton::clicked, this, &ConvertPage::go);
  connect(cancel_, &QPushButton::clicked, this, &ConvertPage::cancel);

  // The worker's reports arrive queued, on this page's thread.
  connect(worker_, &ConvertWorker::fileStarted, this, &ConvertPage::fileStarted,
          Qt::QueuedConnection);
  connect(worker_, &ConvertWorker::fileDone, this, &ConvertPage::fileDone, Qt::QueuedConnection);
  connect(worker_, &ConvertWorker::pagesLeftOut, this, &ConvertPage::pagesLeftOut,
          Qt::QueuedConnection);
  connect(worker_, &ConvertWorker::runFinished, this, &ConvertPage::runFinished,
          Qt::QueuedConnection);
  connect(worker_, &ConvertWorker::saveDirFailed, this, &ConvertPage::saveDirFailed,
          Qt::QueuedConnection);
}

ConvertPage::~ConvertPage() {
  // A conversion still running finishes its file and stops; its reports are no longer wanted.
  worker_->disconnect(this);
  delete worker_;
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

void ConvertPage::chooseSource() {
  job_.filter = bytes(filter_->text());
  if (job_.mode == kModeFile) {
    const ChosenFiles chosen = dialogs_.chooseFiles(this, filter_->text());
    if (!chosen.names.isEmpty()) useSourceFiles(chosen);
  } else {
    const QString directory = dialogs_.chooseDirectory(this);
    if (!directory.isEmpty()) useSourceDirectory(directory);
  }
}

bool ConvertPage::dropSource(const QList<QUrl>& urls) {
  const std::optional<ChosenFiles> dropped = droppedSource(urls);
  if (!dropped) return false;
  job_.filter = bytes(filter_->text());
  if (dropped->names.isEmpty()) {
    useSourceDirectory(dropped->directory);
  } else {
    useSourceFiles(*dropped);
  }
  return true;
}

void ConvertPage::useSourceFiles(const ChosenFiles& chosen) {
  files_.clear();
  sourceDirectory_ = chosen.directory;
  if (chosen.names.size() == 1) {
    source_->setPlainText(chosen.directory + QLatin1Char(platform::kPathSeparator) +
                          chosen.names.front());
  } else {
    source_->setPlainText(chosen.directory + QLatin1Char(' ') +
                          chosen.names.join(QLatin1Char(' ')));
  }
  for (const QString& name : chosen.names) files_.push_back(bytes(name));
  job_.sourcePath = bytes(sourceDirectory_);
  resetProgress();
}

void ConvertPage::useSourceDirectory(const QString& directory) {
  sourceDirectory_ = directory;
  source_->setPlainText(directory);
  files_.clear();
  job_.sourcePath = bytes(directory);
  collectFiles(job_, job_.sourcePath, job_.includeSubdirectories != 0, files_);
  resetProgress();
}

void ConvertPage::resetProgress() {
  // An empty list keeps a range of one, so the bar shows an empty run rather than a busy one.
  const int count = static_cast<int>(files_.size());
  progress_->setRange(0, count > 0 ? count : 1);
  progress_->setValue(0);
}

void ConvertPage::chooseDestination() {
  const QString directory = dialogs_.chooseDirectory(this);
  if (!directory.isEmpty()) destination_->setText(directory);
}

void ConvertPage::go() {
  if (running_ || stopping_) return;
  job_.filter = bytes(filter_->text());
  if (sourceDirectory_.isEmpty()) {
    dialogs_.warning(this, tr("Warning"),
                     tr("Select Source Dir,\nwhere your fax files to be converted should be"));
    return;
  }
  const QString destination = destination_->text();
  if (destination.isEmpty()) {
    dialogs_.warning(this, tr("Warning"),
                     tr("Select Save Dir,\nwhere your converted tif files should be"));
    return;
  }

  setInputsEnabled(false);
  cancel_->setEnabled(true);
  progress_->setValue(0);
  results_->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursor_ = true;
  running_ = true;
  cancelled_ = false;
  filesDone_ = 0;

  ConversionRequest request;
  request.job = job_;
  request.job.sourcePath = bytes(sourceDirectory_);
  request.job.destinationPath = bytes(destination);
  request.settings = settings_.snapshot();
  request.paths = paths_;
  worker_->start(++runId_, std::move(request), files_);
}

void ConvertPage::cancel() {
  if (!running_) return;
  cancelled_ = true;
  worker_->requestStop();
  if (worker_->waitFinished(kCancelWait)) {
    lastReport_ = worker_->lastReport();
    restore();
    return;
  }
  // The worker is still inside a file and stops before the next one. Until it has ended, Go
  // stays disabled: the working files are shared and two runs must never convert at once.
  stopping_ = true;
  cancel_->setEnabled(false);
}

void ConvertPage::fileStarted(int runId, int row, const QString& source) {
  if (runId != runId_) return;
  status_->setText(tr("Doing: %1").arg(source));
  auto* item = new QTreeWidgetItem(QStringList{source, QString(), QString()});
  results_->insertTopLevelItem(row, item);
  results_->scrollToItem(item);  // the list follows the file being converted
}

void ConvertPage::fileDone(int runId, int row, const QString& destination,
                           const QString& result) {
  if (runId != runId_) return;
  if (QTreeWidgetItem* item = results_->topLevelItem(row)) {
    item->setText(1, destination);
    item->setText(2, result);
  }
  progress_->setValue(progress_->value() + 1);
  ++filesDone_;
}

void ConvertPage::pagesLeftOut(int runId, int row, const QString& text) {
  if (runId != runId_) return;
  if (QTreeWidgetItem* item = results_->topLevelItem(row)) {
    for (int column = 0; column < results_->columnCount(); ++column) item->setToolTip(column, text);
  }
}

void ConvertPage::runFinished(int runId, int converted) {
  if (runId != runId_) return;
  const int listed = static_cast<int>(files_.size());
  if (cancelled_ && filesDone_ < listed) {
    status_->setText(tr("Cancelled. %1 of %2 FAX files converted").arg(converted).arg(listed));
  } else {
    status_->setText(tr("Done. %1 FAX files converted").arg(converted));
  }
  if (worker_->waitFinished(kCancelWait)) lastReport_ = worker_->lastReport();
  if (running_) restore();
}

void ConvertPage::saveDirFailed(int runId) {
  if (runId != runId_) return;
  dialogs_.error(this, tr("Error"), tr("Error Save Dir"));
}

void ConvertPage::setInputsEnabled(bool enabled) {
  go_->setEnabled(enabled);
  chooseSource_->setEnabled(enabled);
  chooseDestination_->setEnabled(enabled);
  source_->setEnabled(enabled);
  destination_->setEnabled(enabled);
}

void ConvertPage::restore() {
  if (waitCursor_) {
    QApplication::restoreOverrideCursor();
    waitCursor_ = false;
  }
  setInputsEnabled(true);
  cancel_->setEnabled(false);
  running_ = false;
  stopping_ = false;
  emit runEnded();
}

}  // namespace tarnwell::ui
