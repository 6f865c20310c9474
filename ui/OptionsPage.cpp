#include "ui/OptionsPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/Theme.h"

namespace tarnwell::ui {

namespace {

QCheckBox* checkBox(const QString& text, const char* name) {
  auto* box = new QCheckBox(text);
  box->setObjectName(QLatin1String(name));
  return box;
}

}  // namespace

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("optionsPage"));
  applyColours(this, kPageBackground, kPageEditBackground);

  convertDirectory_ = new QRadioButton(tr("Convert Directory"));
  convertDirectory_->setObjectName(QStringLiteral("convertDirectory"));
  convertFiles_ = new QRadioButton(tr("Convert File(s)"));
  convertFiles_->setObjectName(QStringLiteral("convertFiles"));
  auto* group = new QButtonGroup(this);
  group->addButton(convertDirectory_, 0);
  group->addButton(convertFiles_, 1);
  includeSubdir_ = checkBox(tr("Include subdir"), "includeSubdir");
  keepFileTime_ = checkBox(tr("Keep File Date and Time"), "keepFileTime");
  keepHierarchy_ = checkBox(tr("Keep Hiberarchy"), "keepHierarchy");
  keepExtension_ = checkBox(tr("Include Source File Extention"), "keepSourceExtension");

  auto* source = new QGroupBox(tr("Source Options"));
  auto* sourceLayout = new QVBoxLayout(source);
  sourceLayout->addWidget(convertDirectory_);
  sourceLayout->addWidget(convertFiles_);
  sourceLayout->addWidget(includeSubdir_);

  auto* destination = new QGroupBox(tr("Destination options"));
  auto* destinationLayout = new QVBoxLayout(destination);
  destinationLayout->addWidget(keepFileTime_);
  destinationLayout->addWidget(keepHierarchy_);
  destinationLayout->addWidget(keepExtension_);

  auto* hint = new QLabel(
      tr("You can select to convert a whole directory,\nor convert only a/some file(s) here. "));
  hint->setObjectName(QStringLiteral("optionsHint"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(source);
  layout->addWidget(destination);
  layout->addWidget(hint);
  layout->addStretch(1);

  connect(convertDirectory_, &QRadioButton::clicked, this, &OptionsPage::sourceModeClicked);
  connect(convertFiles_, &QRadioButton::clicked, this, &OptionsPage::sourceModeClicked);
  load();
}

void OptionsPage::load() {
  convertDirectory_->setChecked(values_.sourceMode == 0);
  convertFiles_->setChecked(values_.sourceMode == 1);
  includeSubdir_->setChecked(values_.includeSubdirectories != 0);
  keepHierarchy_->setChecked(values_.keepHierarchy != 0);
  keepFileTime_->setChecked(values_.keepFileTime != 0);
  keepExtension_->setChecked(values_.keepSourceExtension != 0);
  enableDirectoryOptions();
}

void OptionsPage::sourceModeClicked() {
  includeSubdir_->setChecked(false);
  keepHierarchy_->setChecked(false);
  enableDirectoryOptions();
}

void OptionsPage::enableDirectoryOptions() {
  const bool directory = convertDirectory_->isChecked();
  includeSubdir_->setEnabled(directory);
  keepHierarchy_->setEnabled(directory);
}

SourceOptions OptionsPage::apply() {
  values_.sourceMode = convertDirectory_->isChecked() ? 0 : convertFiles_->isChecked() ? 1 : -1;
  values_.includeSubdirectories = includeSubdir_->isChecked() ? 1 : 0;
  values_.keepHierarchy = keepHierarchy_->isChecked() ? 1 : 0;
  values_.keepFileTime = keepFileTime_->isChecked() ? 1 : 0;
  values_.keepSourceExtension = keepExtension_->isChecked() ? 1 : 0;
  return values_;
}

}  // namespace tarnwell::ui
