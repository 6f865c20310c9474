// Opens the window on each of its tabs and the About box and saves a picture of each as PNG in
// the directory given as the argument. The Convert page shows a finished run over the bundled
// samples. Run it on a display (scripts/screenshot.sh starts a virtual one).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "app/ConversionSettings.h"
#include "app/FileConversion.h"
#include "ui/AboutBox.h"
#include "ui/ConvertPage.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "pdfout/messages.h"
#include "platform/Platform.h"

namespace {

// Answers the two folder browsers with the samples and an output directory.
class PresetDialogs : public tarnwell::ui::Dialogs {
 public:
  QStringList directories;
  QString chooseDirectory(QWidget*) override {
    return directories.isEmpty() ? QString() : directories.takeFirst();
  }
  tarnwell::ui::ChosenFiles chooseFiles(QWidget*, const QString&) override { return {}; }
  void warning(QWidget*, const QString&, const QString&) override {}
  void error(QWidget*, const QString&, const QString&) override {}
  void beep() override {}
  bool openUrl(const QUrl&) override { return false; }
};

bool save(QWidget* widget, const QString& path) {
  QApplication::processEvents();
  const bool ok = widget->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tarnwell::silenceTiffMessages();
  if (argc < 3) {
    std::fprintf(stderr, "usage: tarnwell_screenshots output-directory samples-directory\n");
    return 2;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(outDir);
  const std::string work = tarnwell::platform::tempDirectory() + "tarnwell-screenshots";
  std::filesystem::create_directories(work + "/log");
  const tarnwell::WorkingPaths paths =
      tarnwell::makeWorkingPaths(work + "/tarnwell", work + "/");

  PresetDialogs dialogs;
  dialogs.directories << QString::fromLocal8Bit(argv[2])
                      << QString::fromStdString(work + "/pdf");
  tarnwell::ui::MainWindow window(tarnwell::defaultSettings(paths), paths,
                                  tarnwell::pipelineStages(), dialogs);
  window.show();
  tarnwell::ui::ConvertPage* page = window.convertPage();
  page->chooseSource();
  page->chooseDestination();
  QSignalSpy ended(page, &tarnwell::ui::ConvertPage::runEnded);
  page->go();
  ended.wait(30000);

  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabs"));
  const char* names[3] = {"convert", "options", "settings"};
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    tabs->setCurrentIndex(i);
    ok = save(&window, outDir + QStringLiteral("/window-%1.png").arg(QLatin1String(names[i]))) && ok;
  }
  tabs->setCurrentIndex(0);
  tarnwell::ui::AboutBox about(dialogs, &window);
  about.show();
  ok = save(&about, outDir + QStringLiteral("/about.png")) && ok;
  std::filesystem::remove_all(work);
  return ok ? 0 : 1;
}
