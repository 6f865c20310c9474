#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <deque>
#include <ostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/ConversionSettings.h"
#include "support/TempTree.h"
#include "ui/ConvertPage.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

// Failure messages show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace tarnwell::test {

// Dialogs answered by the test: queued answers for the folder and file dialogs, a record of every
// box, beep and opened link.
class ScriptedDialogs : public ui::Dialogs {
 public:
  std::deque<QString> directories;  // answers of the folder browser, in order; empty = cancel
  ui::ChosenFiles files;            // answer of the open-file dialog
  bool openSucceeds = true;

  std::vector<std::pair<QString, QString>> warnings;  // caption, text
  std::vector<std::pair<QString, QString>> errors;
  std::vector<QString> fileFilters;  // the filter each open-file dialog was given
  std::vector<QUrl> opened;
  int beeps = 0;

  QString chooseDirectory(QWidget*) override {
    if (directories.empty()) return {};
    QString d = directories.front();
    directories.pop_front();
    return d;
  }
  ui::ChosenFiles chooseFiles(QWidget*, const QString& filter) override {
    fileFilters.push_back(filter);
    return files;
  }
  void warning(QWidget*, const QString& caption, const QString& text) override {
    warnings.emplace_back(caption, text);
  }
  void error(QWidget*, const QString& caption, const QString& text) override {
    errors.emplace_back(caption, text);
  }
  void beep() override { ++beeps; }
  bool openUrl(const QUrl& url) override {
    opened.push_back(url);
    return openSucceeds;
  }
};

inline QString qs(const std::string& s) { return QString::fromStdString(s); }

// Drags the URLs onto the widget and drops them there, as a file manager does; true when the
// widget accepted the drag and then the drop.
inline bool dropUrls(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPointF at = QPointF(target->rect().center());
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

// A window on a temporary tree: its working files and log directory live in the tree, so runs
// never touch the program's own.
class WindowFixture {
 public:
  explicit WindowFixture(const ConversionStages& stages,
                         const ConversionSettings* settings = nullptr)
      : paths_(makeWorkingPaths(tree_.mkdir("bin") + "/tarnwell", tree_.mkdir("tmp") + "/")) {
    tree_.mkdir("bin/log");
    window_ = std::make_unique<ui::MainWindow>(settings ? *settings : ConversionSettings{},
                                               paths_, stages, dialogs_);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    (void)QTest::qWaitForWindowActive(window_.get());
  }

  ui::MainWindow& window() { return *window_; }
  ui::ConvertPage& page() { return *window_->convertPage(); }
  ScriptedDialogs& dialogs() { return dialogs_; }
  const TempTree& tree() const { return tree_; }
  const WorkingPaths& paths() const { return paths_; }

  template <typename T>
  T* find(const char* name) {
    T* w = window_->findChild<T*>(QLatin1String(name));
    if (w == nullptr) ADD_FAILURE() << "no widget named " << name;
    return w;
  }
  // Clicks a visible widget with the mouse, once pending layouts are done.
  void click(const char* name) {
    QApplication::processEvents();
    QWidget* w = find<QWidget>(name);
    if (!w->isVisible()) ADD_FAILURE() << name << " is not visible";
    // Check boxes and radio buttons react only on their indicator and text, at the left.
    const bool indicator = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
    const QPoint at = indicator ? QPoint(8, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
  }
  void selectTab(int index) {
    find<QTabWidget>("tabs")->setCurrentIndex(index);
  }
  // Chooses a source directory through the Convert page's "..." button.
  void chooseSourceDirectory(const std::string& directory) {
    dialogs_.directories.push_back(qs(directory));
    click("chooseSource");
  }
  void chooseDestination(const std::string& directory) {
    dialogs_.directories.push_back(qs(directory));
    click("chooseDestination");
  }
  // Presses Go and waits for the run to end.
  bool runToEnd(int timeoutMs = 30000) {
    QSignalSpy ended(&page(), &ui::ConvertPage::runEnded);
    click("go");
    return ended.wait(timeoutMs);
  }

 private:
  TempTree tree_;
  WorkingPaths paths_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace tarnwell::test
