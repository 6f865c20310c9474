#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "app/FileConversion.h"
#include "ui/SharedSettings.h"

class QPushButton;
class QTabWidget;

namespace tarnwell::ui {

class ConvertPage;
class Dialogs;
class OptionsPage;
class SettingsPage;

// The resizable "Tarnwell" window: the Convert, Options and Settings tabs and the Help and About
// buttons. It owns its own copy of the conversion settings, which the Settings page edits. It is
// a dialog, so Return presses the Convert page's Go and Escape closes it like the close box.
class MainWindow : public QDialog {
  Q_OBJECT
 public:
  MainWindow(const ConversionSettings& settings, const WorkingPaths& paths,
             const ConversionStages& stages, Dialogs& dialogs, QWidget* parent = nullptr);
  // The pages go first: the Convert page's worker reads the settings until it has ended.
  ~MainWindow() override;

  // The window's settings as they are now.
  ConversionSettings settings() const { return settings_.snapshot(); }
  ConvertPage* convertPage() const { return convert_; }

  // Opens the help file beside the program, or else the installed HTML manual, when there is one.
  void showHelp();
  // Shows the About box modally.
  void showAbout();

 private:
  // On the way back to the Convert tab the Options and Settings pages apply their values.
  void tabChanged(int index);

  SharedSettings settings_;
  const WorkingPaths& paths_;
  Dialogs& dialogs_;
  QTabWidget* tabs_;
  ConvertPage* convert_;
  OptionsPage* options_;
  SettingsPage* settingsPage_;
};

// The help file: the program's path with its extension replaced by ".chm" (appended when the
// file name has none; a dot in a directory name is never cut at).
std::string helpFilePath(const std::string& programPath);

// The HTML manual's file name, and the directory it is installed in, relative to the directory
// of the installed program ("../share/tarnwell" for /usr/bin and /usr/share/tarnwell).
extern const char* const kManualName;
extern const char* const kInstalledManualDirectory;

// Where Help looks, in this order: the help file beside the program, the HTML manual beside it
// (as the build tree has it), and the installed HTML manual in the data directory relative to
// the program's directory.
std::vector<std::string> helpCandidates(const std::string& programPath);

}  // namespace tarnwell::ui
