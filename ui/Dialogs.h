#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace tarnwell::ui {

// The files chosen in the open-file dialog: their directory and their names, in the dialog's
// order.
struct ChosenFiles {
  QString directory;
  QStringList names;
};

// Every dialog, sound and outside program the window reaches, behind one seam so tests can answer
// them without a real dialog. All calls happen on the user interface thread.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The folder browser; an empty text when the user cancels.
  virtual QString chooseDirectory(QWidget* parent) = 0;
  // The multi-select open-file dialog with the filter as its only file-type choice; no names
  // when the user cancels.
  virtual ChosenFiles chooseFiles(QWidget* parent, const QString& filter) = 0;
  // A message box with an OK button; returns when the user has closed it.
  virtual void warning(QWidget* parent, const QString& caption, const QString& text) = 0;
  virtual void error(QWidget* parent, const QString& caption, const QString& text) = 0;
  virtual void beep() = 0;
  // Opens a link target or a file with the program the desktop has for it.
  virtual bool openUrl(const QUrl& url) = 0;
};

// The real dialogs of Qt and the desktop.
Dialogs& desktopDialogs();

}  // namespace tarnwell::ui
