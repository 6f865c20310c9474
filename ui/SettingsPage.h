#pragma once

#include <QWidget>

#include "ui/SharedSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace tarnwell::ui {

class Dialogs;

// The Settings page: the decoding parameters that matter for raw and unrecognised fax files.
// It loads the window's settings when it is made and writes them back only in apply().
class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  SettingsPage(SharedSettings& settings, Dialogs& dialogs, QWidget* parent = nullptr);

  // Reads the controls and writes the page's values into the settings, each cut to its field's
  // width. A field that is not a number beeps, is marked and takes the focus; the fields after it
  // keep their earlier values. False when a field was refused.
  bool apply();

  // True while the field is marked as refused (until the user edits it).
  static bool isMarked(const QLineEdit* edit);

 private:
  // The page's own copies of the values, as the edits and boxes hold them.
  struct Values {
    int bitOrder = 0;
    int nonStandardWidth = 0;
    int minWidth = 0;
    int threshold = 0;
    int flagNum = 0;
    int rawFax = 0;
    int recountLines = 0;
  };

  void load();
  // Reads a signed decimal number; false (with a beep and the focus moved there) when the text
  // is not one.
  bool readNumber(QLineEdit* edit, int& value);

  SharedSettings& settings_;
  Dialogs& dialogs_;
  Values values_;
  QRadioButton* bitOrder_[3];
  QComboBox* vertical_;
  QLineEdit* threshold_;
  QLineEdit* flagNum_;
  QLineEdit* minWidth_;
  QCheckBox* rawFax_;
  QCheckBox* recountLines_;
  QCheckBox* nonStandardWidth_;
  QCheckBox* searchableText_;
  QLineEdit* textLanguages_;
};

// Parses a signed decimal number as the number edits accept it: optional blanks, an optional
// minus sign and digits that fit an int. False for anything else, including an empty text.
bool parseSignedDecimal(const QString& text, int& value);

}  // namespace tarnwell::ui
