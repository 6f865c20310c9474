#include "ui/SettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <climits>
#include <cstdint>

#include "ui/Dialogs.h"
#include "ui/Theme.h"

namespace tarnwell::ui {

namespace {

constexpr int kResolutionStep = 100;  // list index times this is the lines per inch
const char* const kRefusedProperty = "refused";
const QColor kRefusedBackground{255, 205, 205};

// Digits only, and no number beyond the field's range: a key that would make one is refused as
// it is typed. An empty field stays possible while editing (and is refused when applied).
class FieldValidator : public QIntValidator {
 public:
  FieldValidator(int top, QObject* parent) : QIntValidator(0, top, parent) {
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    setLocale(locale);
  }
  State validate(QString& input, int& pos) const override {
    const State state = QIntValidator::validate(input, pos);
    return state == Intermediate && !input.isEmpty() ? Invalid : state;
  }
};

QLineEdit* numberEdit(const char* name, int top) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QLatin1String(name));
  edit->setMaximumWidth(90);
  edit->setValidator(new FieldValidator(top, edit));
  edit->setToolTip(QObject::tr("A number from 0 to %1").arg(top));
  // Editing a refused field takes its mark away.
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit] {
    if (!SettingsPage::isMarked(edit)) return;
    edit->setProperty(kRefusedProperty, false);
    edit->setPalette(QPalette());
  });
  return edit;
}

void markRefused(QLineEdit* edit) {
  edit->setProperty(kRefusedProperty, true);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, kRefusedBackground);
  edit->setPalette(palette);
}

QCheckBox* checkBox(const QString& text, const char* name) {
  auto* box = new QCheckBox(text);
  box->setObjectName(QLatin1String(name));
  return box;
}

int listIndexFor(int verticalResolution) {
  if (verticalResolution == 0) return 0;
  if (verticalResolution < 200) return 1;
  if (verticalResolution < 300) return 2;
  if (verticalResolution < 400) return 3;
  return 4;
}

}  // namespace

bool parseSignedDecimal(const QString& text, int& value) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  const bool negative = i < t.size() && t[i] == QLatin1Char('-');
  if (negative) ++i;
  if (i == t.size()) return false;
  long long n = 0;
  for (; i < t.size(); ++i) {
    const QChar c = t[i];
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    n = n * 10 + (c.unicode() - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) n = -n;
  if (n > INT_MAX) return false;
  value = static_cast<int>(n);
  return true;
}

SettingsPage::SettingsPage(SharedSettings& settings, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), settings_(settings), dialogs_(dialogs) {
  setObjectName(QStringLiteral("settingsPage"));
  applyColours(this, kPageBackground, kPageEditBackground);

  auto* bitGroup = new QGroupBox(tr("Set Bit Order"));
  auto* bitLayout = new QVBoxLayout(bitGroup);
  const char* bitNames[3] = {"autoBitOrder", "highestBitFirst", "leastBitFirst"};
  const QString bitTexts[3] = {tr("Auto bit order"), tr("Highest bit first"),
                               tr("Least bit first")};
  for (int i = 0; i < 3; ++i) {
    bitOrder_[i] = new QRadioButton(bitTexts[i]);
    bitOrder_[i]->setObjectName(QLatin1String(bitNames[i]));
    bitLayout->addWidget(bitOrder_[i]);
  }

  auto* resolutionGroup = new QGroupBox(tr("Set Resolution"));
  auto* resolutionLayout = new QFormLayout(resolutionGroup);
  vertical_ = new QComboBox;
  vertical_->setObjectName(QStringLiteral("vertical"));
  vertical_->addItems({tr("Auto detect"), tr("Standard (3.85lines/mm)"), tr("Fine (7.7lines/mm)"),
                       tr("SFine (11.55lines/mm)"), tr("High (15.4lines/mm)")});
  resolutionLayout->addRow(tr("Vertical"), vertical_);

  auto* advanced = new QGroupBox(tr("Advanced"));
  auto* advancedLayout = new QGridLayout(advanced);
  // The ranges the settings can hold: Flag Num has 8 bits, Threshold and Min Width 16.
  threshold_ = numberEdit("threshold", UINT16_MAX);
  flagNum_ = numberEdit("flagNum", UINT8_MAX);
  minWidth_ = numberEdit("minWidth", UINT16_MAX);
  rawFax_ = checkBox(tr("Raw Fax File"), "rawFax");
  recountLines_ = checkBox(tr("Re-caculate Scan Lines"), "recountLines");
  nonStandardWidth_ = checkBox(tr("Support none-standard width "), "nonStandardWidth");
  advancedLayout->addWidget(new QLabel(tr("Threshold")), 0, 0);
  advancedLayout->addWidget(threshold_, 0, 1);
  advancedLayout->addWidget(rawFax_, 0, 2);
  advancedLayout->addWidget(new QLabel(tr("Flag Num")), 1, 0);
  advancedLayout->addWidget(flagNum_, 1, 1);
  advancedLayout->addWidget(recountLines_, 1, 2);
  advancedLayout->addWidget(nonStandardWidth_, 2, 0, 1, 2);
  auto* minWidthRow = new QHBoxLayout;
  minWidthRow->addWidget(new QLabel(tr("Min Width")));
  minWidthRow->addWidget(minWidth_);
  minWidthRow->addStretch(1);
  advancedLayout->addLayout(minWidthRow, 2, 2);
  advancedLayout->setColumnStretch(2, 1);

  // Searchable PDFs: an invisible layer of recognised text, in Tesseract's languages.
  auto* textGroup = new QGroupBox(tr("Searchable PDF"));
  auto* textLayout = new QHBoxLayout(textGroup);
  searchableText_ = checkBox(tr("Searchable text"), "searchableText");
  textLanguages_ = new QLineEdit;
  textLanguages_->setObjectName(QStringLiteral("textLanguages"));
  textLanguages_->setToolTip(tr("Tesseract languages, such as eng or deu+eng"));
  textLayout->addWidget(searchableText_);
  textLayout->addWidget(new QLabel(tr("Languages")));
  textLayout->addWidget(textLanguages_);
  textLayout->addStretch(1);

  auto* hint = new QLabel(
      tr("These settings are useful to unknown fax convertion\nsuch as .g3,.g32d,.g4,.f01,..."));
  hint->setObjectName(QStringLiteral("settingsHint"));

  auto* top = new QHBoxLayout;
  top->addWidget(bitGroup, 1);
  top->addWidget(resolutionGroup, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(advanced);
  layout->addWidget(textGroup);
  layout->addWidget(hint);
  layout->addStretch(1);

  connect(nonStandardWidth_, &QCheckBox::toggled, minWidth_, &QLineEdit::setEnabled);
  connect(searchableText_, &QCheckBox::toggled, textLanguages_, &QLineEdit::setEnabled);
  load();
}

void SettingsPage::load() {
  const ConversionSettings s = settings_.snapshot();
  vertical_->setCurrentIndex(listIndexFor(s.engine.verticalResolution));
  values_.bitOrder = s.engine.bitOrder;
  values_.nonStandardWidth = s.engine.nonStandardWidth;
  values_.minWidth = s.engine.minWidth;
  values_.threshold = s.engine.threshold;
  values_.flagNum = s.engine.flagNum;
  values_.rawFax = s.engine.rawFax;
  values_.recountLines = s.engine.recountLines;

  for (int i = 0; i < 3; ++i) bitOrder_[i]->setChecked(values_.bitOrder == i);
  nonStandardWidth_->setChecked(values_.nonStandardWidth != 0);
  minWidth_->setText(QString::number(values_.minWidth));
  threshold_->setText(QString::number(values_.threshold));
  flagNum_->setText(QString::number(values_.flagNum));
  rawFax_->setChecked(values_.rawFax != 0);
  recountLines_->setChecked(values_.recountLines != 0);
  minWidth_->setEnabled(nonStandardWidth_->isChecked());
  searchableText_->setChecked(s.searchableText);
  textLanguages_->setText(QString::fromStdString(s.textLanguages));
  textLanguages_->setEnabled(s.searchableText);
}

bool SettingsPage::isMarked(const QLineEdit* edit) {
  return edit->property(kRefusedProperty).toBool();
}

bool SettingsPage::readNumber(QLineEdit* edit, int& value) {
  if (parseSignedDecimal(edit->text(), value)) return true;
  dialogs_.beep();
  markRefused(edit);
  edit->setFocus(Qt::OtherFocusReason);
  return false;
}

bool SettingsPage::apply() {
  bool read = readNumber(threshold_, values_.threshold);
  if (!read) values_.threshold = 0;
  if (read) read = readNumber(flagNum_, values_.flagNum) && readNumber(minWidth_, values_.minWidth);
  if (read) {
    values_.bitOrder = -1;
    for (int i = 0; i < 3; ++i)
      if (bitOrder_[i]->isChecked()) values_.bitOrder = i;
    values_.nonStandardWidth = nonStandardWidth_->isChecked() ? 1 : 0;
    values_.rawFax = rawFax_->isChecked() ? 1 : 0;
    values_.recountLines = recountLines_->isChecked() ? 1 : 0;
  }

  // Every value is written, each keeping only what its field can hold.
  ConversionSettings s = settings_.snapshot();
  s.engine.bitOrder = static_cast<uint8_t>(values_.bitOrder);
  s.engine.nonStandardWidth = static_cast<uint8_t>(values_.nonStandardWidth);
  s.engine.rawFax = static_cast<uint8_t>(values_.rawFax);
  s.engine.recountLines = static_cast<uint8_t>(values_.recountLines);
  s.engine.flagNum = static_cast<uint8_t>(values_.flagNum);
  s.engine.minWidth = static_cast<uint16_t>(values_.minWidth);
  s.engine.threshold = static_cast<uint16_t>(values_.threshold);
  if (vertical_->currentIndex() >= 0)
    s.engine.verticalResolution = static_cast<uint16_t>(vertical_->currentIndex() * kResolutionStep);
  s.searchableText = searchableText_->isChecked();
  const QString languages = textLanguages_->text().trimmed();
  s.textLanguages = languages.isEmpty() ? std::string("eng") : languages.toStdString();
  settings_.store(s);
  return read;
}

}  // namespace tarnwell::ui
