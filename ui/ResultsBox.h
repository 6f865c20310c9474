#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace tarnwell::ui {

// The "Tarnwell Results" box of a command-line run: the report in a scrolling, read-only text
// area whose lines are never wrapped, and an OK button that has the focus. The box is as large
// as the report needs, but never more than about four fifths of the screen, so OK stays
// reachable however long the report is.
class ResultsBox : public QDialog {
  Q_OBJECT
 public:
  // The report's CR LF line ends become plain lines.
  explicit ResultsBox(const QString& report, QWidget* parent = nullptr);

  QPlainTextEdit* text() const { return text_; }
  QPushButton* okButton() const { return ok_; }

 private:
  QPlainTextEdit* text_;
  QPushButton* ok_;
};

}  // namespace tarnwell::ui
