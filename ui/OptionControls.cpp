#include "ui/OptionControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <map>

namespace tarnwell::ui {

namespace {

QString text(std::string_view view) {
  return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

QString rowLabel(const OptionRow& row) { return QObject::tr(std::string(row.label).c_str()); }

OptionControls::OptionControls(OptionPage page) {
  std::map<std::string_view, QFormLayout*> groups;
  std::map<std::string_view, QButtonGroup*> radioGroups;
  for (const OptionRow& row : optionTable()) {
    if (row.page != page || row.widget == OptionWidget::kNone) continue;
    QFormLayout*& form = groups[row.group];
    if (form == nullptr) {
      auto* box = new QGroupBox(QObject::tr(std::string(row.group).c_str()));
      form = new QFormLayout(box);
      groups_.push_back(box);
    }
    QWidget* widget = nullptr;
    QLabel* label = nullptr;
    switch (row.widget) {
      case OptionWidget::kCheckBox: widget = new QCheckBox(rowLabel(row)); break;
      case OptionWidget::kRadioButton: {
        auto* button = new QRadioButton(rowLabel(row));
        QButtonGroup*& buttons = radioGroups[row.group];
        if (buttons == nullptr) buttons = new QButtonGroup(form->parentWidget());
        buttons->addButton(button, row.first);
        widget = button;
        break;
      }
      case OptionWidget::kChoice: {
        auto* box = new QComboBox;
        std::string_view rest = row.choices;
        while (!rest.empty()) {
          const std::size_t bar = rest.find('|');
          box->addItem(QObject::tr(std::string(rest.substr(0, bar)).c_str()));
          rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
        }
        widget = box;
        label = new QLabel(rowLabel(row));
        break;
      }
      case OptionWidget::kNumberField:
      case OptionWidget::kTextField:
        widget = new QLineEdit;
        label = new QLabel(rowLabel(row));
        break;
      case OptionWidget::kNone: break;
    }
    widget->setObjectName(text(row.name));
    if (label != nullptr) {
      label->setBuddy(widget);
      form->addRow(label, widget);
    } else {
      form->addRow(widget);
    }
    controls_.push_back({&row, widget});
  }
}

QWidget* OptionControls::control(std::string_view name) const {
  for (const Control& c : controls_)
    if (c.row->name == name) return c.widget;
  return nullptr;
}

void OptionControls::load(const ConstOptionTarget& target) const {
  for (const Control& c : controls_) {
    const OptionRow& row = *c.row;
    switch (row.widget) {
      case OptionWidget::kCheckBox:
        static_cast<QCheckBox*>(c.widget)->setChecked(row.get(target) != 0);
        break;
      case OptionWidget::kRadioButton:
        static_cast<QRadioButton*>(c.widget)->setChecked(row.get(target) == row.first);
        break;
      case OptionWidget::kChoice:
        static_cast<QComboBox*>(c.widget)->setCurrentIndex(static_cast<int>(row.get(target)));
        break;
      case OptionWidget::kNumberField:
        static_cast<QLineEdit*>(c.widget)->setText(QString::number(row.get(target)));
        break;
      case OptionWidget::kTextField:
        static_cast<QLineEdit*>(c.widget)->setText(QString::fromStdString(row.getText(target)));
        break;
      case OptionWidget::kNone: break;
    }
  }
}

void OptionControls::store(OptionTarget& target) const {
  for (const Control& c : controls_) {
    const OptionRow& row = *c.row;
    switch (row.widget) {
      case OptionWidget::kCheckBox:
        row.set(target, static_cast<QCheckBox*>(c.widget)->isChecked() ? 1 : 0);
        break;
      case OptionWidget::kRadioButton:
        if (static_cast<QRadioButton*>(c.widget)->isChecked()) row.set(target, row.first);
        break;
      case OptionWidget::kChoice:
        if (const int index = static_cast<QComboBox*>(c.widget)->currentIndex(); index >= 0)
          row.set(target, index);
        break;
      case OptionWidget::kTextField:
        row.setText(target, static_cast<QLineEdit*>(c.widget)->text().trimmed().toStdString());
        break;
      case OptionWidget::kNumberField:
      case OptionWidget::kNone: break;
    }
  }
}

}  // namespace tarnwell::ui
