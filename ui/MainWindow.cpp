#include "ui/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/Platform.h"
#include "ui/AboutBox.h"
#include "ui/ConvertPage.h"
#include "ui/Dialogs.h"
#include "ui/OptionsPage.h"
#include "ui/SettingsPage.h"
#include "ui/Theme.h"

namespace tarnwell::ui {

const char* const kManualName = "tarnwell.html";
const char* const kInstalledManualDirectory = TARNWELL_MANUAL_DIRECTORY;

std::string helpFilePath(const std::string& programPath) {
  const auto lastSep = programPath.rfind(platform::kPathSeparator);
  const std::size_t nameStart = lastSep == std::string::npos ? 0 : lastSep + 1;
  const auto dot = programPath.rfind('.');
  std::string path = programPath;
  if (dot != std::string::npos && dot >= nameStart) path.erase(dot);
  return path + ".chm";
}

std::vector<std::string> helpCandidates(const std::string& programPath) {
  const auto lastSep = programPath.rfind(platform::kPathSeparator);
  const std::string directory =
      lastSep == std::string::npos ? std::string(".") : programPath.substr(0, lastSep);
  const std::string separator(1, platform::kPathSeparator);
  return {helpFilePath(programPath), directory + separator + kManualName,
          directory + separator + kInstalledManualDirectory + separator + kManualName};
}

MainWindow::MainWindow(const ConversionSettings& settings, const WorkingPaths& paths,
                       const ConversionStages& stages, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), settings_(settings), paths_(paths), dialogs_(dialogs) {
  setObjectName(QStringLiteral("mainWindow"));
  // A main window, not a transient box: it has its own task bar entry and the minimise and
  // maximise buttons.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Tarnwell"));
  setWindowIcon(programIcon());
  applyColours(this, kWindowBackground, kWindowEditBackground);

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("tabs"));
  tabs_->setIconSize(QSize(18, 18));
  convert_ = new ConvertPage(settings_, paths, stages, dialogs);
  options_ = new OptionsPage;
  settingsPage_ = new SettingsPage(settings_, dialogs);
  tabs_->addTab(convert_, tabIcon(0), tr("Convert"));
  tabs_->addTab(options_, tabIcon(1), tr("Options"));
  tabs_->addTab(settingsPage_, tabIcon(2), tr("Settings"));
  tabs_->setCurrentIndex(0);

  auto* help = new QPushButton(tr("&Help"));
  help->setObjectName(QStringLiteral("help"));
  help->setAutoDefault(false);
  auto* about = new QPushButton(tr("&About"));
  about->setObjectName(QStringLiteral("about"));
  about->setAutoDefault(false);
  auto* buttons = new QVBoxLayout;
  buttons->addSpacing(tabs_->tabBar()->sizeHint().height());
  buttons->addWidget(help);
  buttons->addWidget(about);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);

  // Return presses Go while the Convert page is shown (a button with the focus takes Return
  // itself); the window opens with the focus on the page's first field. Both need the page to
  // be inside the window already.
  convert_->goButton()->setDefault(true);
  convert_->setFocus(Qt::OtherFocusReason);

  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);
  connect(help, &QPushButton::clicked, this, &MainWindow::showHelp);
  connect(about, &QPushButton::clicked, this, &MainWindow::showAbout);

  // The window opens at a size of the original dialog's proportions, which is also the smallest
  // it can be made.
  resize(QSize(760, 480).expandedTo(sizeHint()));
  setMinimumSize(size());
}

MainWindow::~MainWindow() { delete tabs_; }

void MainWindow::tabChanged(int index) {
  if (index != 0) return;
  options_->apply(convert_->options());
  // A refused number takes the user back to the field, which the page has marked.
  if (!settingsPage_->apply()) tabs_->setCurrentWidget(settingsPage_);
}

void MainWindow::showHelp() {
  for (const std::string& candidate : helpCandidates(paths_.programPath)) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(candidate));
    if (!QFileInfo(path).isFile()) continue;
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    (void)dialogs_.openUrl(QUrl::fromLocalFile(clean));
    return;
  }
  // No help file and no manual: nothing happens.
}

void MainWindow::showAbout() {
  AboutBox box(dialogs_, this);
  box.exec();
}

}  // namespace tarnwell::ui
