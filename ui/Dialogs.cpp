#include "ui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace tarnwell::ui {

namespace {

// The filter text is both the description and the pattern list of the dialog's one choice.
// "*.*" means every file, as on the desktop the program came from, so it becomes "*".
QString nameFilter(const QString& filter) {
  QStringList patterns = filter.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& p : patterns) {
    p = p.trimmed();
    if (p == QLatin1String("*.*")) p = QStringLiteral("*");
  }
  if (patterns.isEmpty()) patterns << QStringLiteral("*");
  return filter + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

class DesktopDialogs final : public Dialogs {
 public:
  QString chooseDirectory(QWidget* parent) override {
    return QFileDialog::getExistingDirectory(parent, QString());
  }
  ChosenFiles chooseFiles(QWidget* parent, const QString& filter) override {
    // The whole filter is used, however long, and any number of files may be chosen.
    const QStringList paths =
        QFileDialog::getOpenFileNames(parent, QString(), QString(), nameFilter(filter));
    ChosenFiles chosen;
    if (paths.isEmpty()) return chosen;
    chosen.directory = QFileInfo(paths.front()).absolutePath();
    for (const QString& p : paths) chosen.names << QFileInfo(p).fileName();
    return chosen;
  }
  void warning(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox::warning(parent, caption, text);
  }
  void error(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox::critical(parent, caption, text);
  }
  void beep() override { QApplication::beep(); }
  bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

Dialogs& desktopDialogs() {
  static DesktopDialogs dialogs;
  return dialogs;
}

}  // namespace tarnwell::ui
