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

void markRefused(QLineEdit* edit) {
  edit->setProperty(kRefusedProperty, true);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, kRefusedBackground);
  edit->setPalette(palette);
}

// The number fields, in the order apply() reads them: a refused one stops the reading.
constexpr const char* kNumberFields[] = {"threshold", "flagNum", "minWidth"};

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

  controls_ = std::make_unique<OptionControls>(OptionPage::kSettings);
  for (const char* name : kNumberFields) {
    auto* edit = controls_->find<QLineEdit>(name);
    const int top = findOption(name)->last;
    edit->setMaximumWidth(90);
    edit->setValidator(new FieldValidator(top, edit));
    edit->setToolTip(tr("A number from 0 to %1").arg(top));
    // Editing a refused field takes its mark away.
    connect(edit, &QLineEdit::textEdited, edit, [edit] {
      if (!SettingsPage::isMarked(edit)) return;
      edit->setProperty(kRefusedProperty, false);
      edit->setPalette(QPalette());
    });
  }
  auto* languages = controls_->find<QLineEdit>("textLanguages");
  languages->setToolTip(tr("Tesseract languages, such as eng or deu+eng"));

  auto* hint = new QLabel(
      tr("These settings are useful to unknown fax conversion\nsuch as .g3,.g32d,.g4,.f01,..."));
  hint->setObjectName(QStringLiteral("settingsHint"));

  // The first two groups (bit order and resolution) side by side, the others below them.
  const std::vector<QGroupBox*>& groups = controls_->groups();
  auto* top = new QHBoxLayout;
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (g < 2) top->addWidget(groups[g], 1);
    else layout->addWidget(groups[g]);
  }
  layout->addWidget(hint);
  layout->addStretch(1);

  auto* nonStandardWidth = controls_->find<QCheckBox>("nonStandardWidth");
  auto* minWidth = controls_->find<QLineEdit>("minWidth");
  connect(nonStandardWidth, &QCheckBox::toggled, minWidth, &QLineEdit::setEnabled);
  auto* searchable = controls_->find<QCheckBox>("searchableText");
  connect(searchable, &QCheckBox::toggled, languages, &QLineEdit::setEnabled);

  const ConversionSettings current = settings_.snapshot();
  const ConversionJob unused;
  const ConstOptionTarget target{unused, current};
  controls_->load(target);
  for (const char* name : kNumberFields) numbers_[name] = static_cast<int>(findOption(name)->get(target));
  minWidth->setEnabled(nonStandardWidth->isChecked());
  languages->setEnabled(searchable->isChecked());
}

bool SettingsPage::isMarked(const QLineEdit* edit) {
  return edit->property(kRefusedProperty).toBool();
}

bool SettingsPage::readNumber(const char* name) {
  auto* edit = controls_->find<QLineEdit>(name);
  if (parseSignedDecimal(edit->text(), numbers_[name])) return true;
  dialogs_.beep();
  markRefused(edit);
  edit->setFocus(Qt::OtherFocusReason);
  return false;
}

bool SettingsPage::apply() {
  // The numbers are read in order; a refused one stops the reading, and the fields after it
  // keep their earlier values. A refused Threshold stores 0.
  bool read = true;
  for (const char* name : kNumberFields) {
    read = readNumber(name);
    if (read) continue;
    if (std::string_view(name) == "threshold") numbers_[name] = 0;
    break;
  }

  ConversionSettings s = settings_.snapshot();
  ConversionJob unused;
  OptionTarget target{unused, s};
  const EngineSettings before = s.engine;
  s.engine.bitOrder = static_cast<uint8_t>(-1);  // when no bit order is checked
  controls_->store(target);
  if (!read) {
    // The boxes of the engine keep their earlier values too; the resolution list and the
    // searchable text settings are always taken.
    const uint16_t vertical = s.engine.verticalResolution;
    s.engine = before;
    s.engine.verticalResolution = vertical;
  }
  // Every number is written, each keeping only what its field can hold.
  for (const char* name : kNumberFields) findOption(name)->set(target, numbers_[name]);
  settings_.store(s);
  return read;
}

}  // namespace tarnwell::ui
