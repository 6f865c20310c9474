// Pictures of the window for review, saved as PNG in the directory given as the first argument:
// every tab idle (window-*-idle.png) and during a run (window-*-running.png), the Convert page
// after the run, the Settings page with a refused number, the Options page in files mode, the
// results box of a long report and the About box. The run converts copies of the bundled
// samples (the second argument) and is held in the middle, so the running pictures show Go
// disabled, Cancel enabled and the list following the run. Run it on a display
// (scripts/screenshot.sh starts a virtual one).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>

#include "app/ConversionSettings.h"
#include "app/FileConversion.h"
#include "pdfout/tiffio/messages.h"
#include "platform/Platform.h"
#include "ui/AboutBox.h"
#include "ui/ConvertPage.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/ResultsBox.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCopies = 30;    // files in the run: enough for the list to scroll
constexpr int kHeldFile = 20;  // the run waits at this file while the running pictures are taken

// Answers the two folder browsers with the run's source and output directories.
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

// The real conversion stages, held before one file's PDF until released.
class HeldStages : public tarnwell::ConversionStages {
 public:
  mutable std::atomic<int> written{0};
  std::promise<void> release;
  std::shared_future<void> gate{release.get_future().share()};

  tarnwell::EngineRun runEngine(const tarnwell::EngineSetup& setup, const std::string& source,
                                tarnwell::FaxFormat format, const std::string& out) const override {
    return tarnwell::pipelineStages().runEngine(setup, source, format, out);
  }
  tarnwell::TiffCopyOutcome copyTiff(const tarnwell::TiffCopyRequest& request) const override {
    return tarnwell::pipelineStages().copyTiff(request);
  }
  tarnwell::PdfRun writePdf(const std::string& tiff, const std::string& pdf,
                            const tarnwell::T2pOptions& options) const override {
    if (++written == kHeldFile) gate.wait();
    return tarnwell::pipelineStages().writePdf(tiff, pdf, options);
  }
};

bool save(QWidget* widget, const QString& path) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const bool ok = widget->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

// A directory run's report over many files, as the results box gets it.
QString longReport() {
  QString report = QStringLiteral("Source Dir: /home/user/fax/received\r\n"
                                  "Destination Dir: /home/user/fax/pdf\r\n\r\n");
  for (int i = 0; i < 200; ++i) {
    const QString name = QStringLiteral("2026-03-%1 incoming call from +49 30 1234567-%2.g3")
                             .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                             .arg(i);
    report += QStringLiteral("/home/user/fax/received/%1 --> /home/user/fax/pdf/%2 : %3\r\n")
                  .arg(name, QString(name).replace(QStringLiteral(".g3"), QStringLiteral(".pdf")),
                       i % 13 == 5 ? QStringLiteral("Failed : Not Fax")
                                   : QStringLiteral("Success !"));
  }
  return report + QStringLiteral("\r\nTotal converted FAX files: 185\r\n");
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
  fs::remove_all(work);
  fs::create_directories(work + "/log");
  fs::create_directories(work + "/in");
  std::vector<fs::path> samples;
  for (const auto& entry : fs::directory_iterator(argv[2])) samples.push_back(entry.path());
  std::sort(samples.begin(), samples.end());
  for (int i = 0; i < kCopies && !samples.empty(); ++i) {
    const fs::path& sample = samples[static_cast<size_t>(i) % samples.size()];
    fs::copy_file(sample, work + "/in/fax-" + std::to_string(100 + i) +
                              sample.extension().string());
  }
  const tarnwell::WorkingPaths paths =
      tarnwell::makeWorkingPaths(work + "/tarnwell", work + "/");

  PresetDialogs dialogs;
  dialogs.directories << QString::fromStdString(work + "/in")
                      << QString::fromStdString(work + "/pdf");
  HeldStages stages;
  tarnwell::ui::MainWindow window(tarnwell::ConversionSettings{}, paths, stages, dialogs);
  window.show();
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabs"));
  const char* names[3] = {"convert", "options", "settings"};
  auto shootTabs = [&](const char* state) {
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
      tabs->setCurrentIndex(i);
      ok = save(&window, outDir + QStringLiteral("/window-%1-%2.png")
                                      .arg(QLatin1String(names[i]), QLatin1String(state))) &&
           ok;
    }
    tabs->setCurrentIndex(0);
    return ok;
  };

  bool ok = shootTabs("idle");

  tarnwell::ui::ConvertPage* page = window.convertPage();
  page->chooseSource();
  page->chooseDestination();
  QSignalSpy ended(page, &tarnwell::ui::ConvertPage::runEnded);
  page->go();
  // Until the held file is reached (or the run ended early, when the samples do not convert).
  while (stages.written < kHeldFile && ended.isEmpty())
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  ok = shootTabs("running") && ok;
  stages.release.set_value();
  if (ended.isEmpty()) ended.wait(60000);
  ok = save(&window, outDir + QStringLiteral("/window-convert-done.png")) && ok;

  // A number the Settings page refuses: the page comes back with the field marked.
  tabs->setCurrentIndex(2);
  window.findChild<QLineEdit*>(QStringLiteral("threshold"))->clear();
  tabs->setCurrentIndex(0);
  ok = save(&window, outDir + QStringLiteral("/window-settings-refused.png")) && ok;

  // Files mode: "Include subdir" and "Keep Hierarchy" disabled.
  tabs->setCurrentIndex(1);
  window.findChild<QRadioButton*>(QStringLiteral("convertFiles"))->click();
  ok = save(&window, outDir + QStringLiteral("/window-options-files.png")) && ok;

  tarnwell::ui::ResultsBox results(longReport(), &window);
  results.show();
  ok = save(&results, outDir + QStringLiteral("/results-long.png")) && ok;
  results.hide();

  tarnwell::ui::AboutBox about(dialogs, &window);
  about.show();
  ok = save(&about, outDir + QStringLiteral("/about.png")) && ok;
  fs::remove_all(work);
  return ok ? 0 : 1;
}
