#include "ui/Window.h"

#include <QApplication>

#include <iostream>
#include <memory>

#include "app/ConversionLog.h"
#include "app/FileConversion.h"
#include "app/Program.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/ResultsBox.h"

namespace tarnwell::ui {

namespace {

// The application object, made on first use. Without a platform asked for, the desktop's own
// is tried and the invisible one is the fallback, so an unreachable display never aborts the
// program. An invisible platform counts as no display: a window or box there could never be
// closed.
class Application {
 public:
  Application() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                     ? QByteArray("xcb;offscreen")
                                     : QByteArray("wayland;xcb;offscreen"));
    }
    if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  bool displayReached() const {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
  }

 private:
  int argc_ = 1;
  char name_[9] = "tarnwell";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

}  // namespace

int runMainWindow(const ConversionRequest& request) {
  Application app;
  if (!app.displayReached()) {
    std::cerr << "tarnwell: no display available, the window cannot be created\n";
    return kExitIncomplete;
  }
  MainWindow window(request.settings, request.paths, pipelineStages(), desktopDialogs());
  window.show();
  return QApplication::exec();
}

bool showResultsBox(const std::string& report) {
  Application app;
  if (!app.displayReached()) return false;
  ResultsBox box(QString::fromLocal8Bit(report.data(), static_cast<qsizetype>(report.size())));
  box.exec();
  return true;
}

}  // namespace tarnwell::ui
