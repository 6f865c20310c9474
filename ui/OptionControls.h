#pragma once

#include <QString>

#include <string_view>
#include <vector>

#include "app/Options.h"

class QGroupBox;
class QWidget;

namespace tarnwell::ui {

// The controls of one window page, made from the option table: one group box per group of the
// page's rows, in the table's order, each control labelled and named as its row says. The page
// loads them from a job and settings and stores them back; number fields are read by the page
// itself, which decides what a field that is not a number does.
class OptionControls {
 public:
  // Makes the controls; the page places the group boxes (groups()) in its layout.
  explicit OptionControls(OptionPage page);

  // The group boxes, in the table's order.
  const std::vector<QGroupBox*>& groups() const { return groups_; }

  // The control of the row of that name (a QCheckBox, QRadioButton, QComboBox or QLineEdit);
  // null when the page has no such row.
  QWidget* control(std::string_view name) const;
  template <typename T>
  T* find(std::string_view name) const {
    return static_cast<T*>(control(name));
  }

  // Shows the values of the target.
  void load(const ConstOptionTarget& target) const;
  // Writes every control's value into the target, number fields excepted.
  void store(OptionTarget& target) const;

 private:
  struct Control {
    const OptionRow* row;
    QWidget* widget;
  };
  std::vector<Control> controls_;
  std::vector<QGroupBox*> groups_;
};

// The label of a row as Qt shows it (with its mnemonic).
QString rowLabel(const OptionRow& row);

}  // namespace tarnwell::ui
