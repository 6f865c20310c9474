#pragma once

#include <QWidget>

#include <map>
#include <memory>
#include <string>

#include "ui/OptionControls.h"
#include "ui/SharedSettings.h"

class QLineEdit;

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
  // Reads the number field of that row into the page's value of it; false (with a beep, the
  // field marked and the focus moved there) when the text is not a number.
  bool readNumber(const char* name);

  SharedSettings& settings_;
  Dialogs& dialogs_;
  std::unique_ptr<OptionControls> controls_;
  // The page's own copies of the number fields, by row name: a refused field keeps its value.
  std::map<std::string, int> numbers_;
};

// Parses a signed decimal number as the number edits accept it: optional blanks, an optional
// minus sign and digits that fit an int. False for anything else, including an empty text.
bool parseSignedDecimal(const QString& text, int& value);

}  // namespace tarnwell::ui
