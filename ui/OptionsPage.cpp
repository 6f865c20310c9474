#include "ui/OptionsPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/Theme.h"

namespace tarnwell::ui {

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("optionsPage"));
  applyColours(this, kPageBackground, kPageEditBackground);

  auto* layout = new QVBoxLayout(this);
  controls_ = std::make_unique<OptionControls>(OptionPage::kOptions);
  for (QGroupBox* group : controls_->groups()) layout->addWidget(group);
  auto* hint = new QLabel(
      tr("You can select to convert a whole directory,\nor convert only a/some file(s) here. "));
  hint->setObjectName(QStringLiteral("optionsHint"));
  layout->addWidget(hint);
  layout->addStretch(1);

  // A new page converts a directory, with every flag clear.
  ConversionJob defaults;
  defaults.mode = kModeDirectory;
  ConversionSettings unused;
  controls_->load({defaults, unused});
  enableDirectoryOptions();

  for (const char* name : {"convertDirectory", "convertFiles"})
    connect(controls_->find<QRadioButton>(name), &QRadioButton::clicked, this,
            &OptionsPage::sourceModeClicked);
}

void OptionsPage::sourceModeClicked() {
  controls_->find<QCheckBox>("includeSubdir")->setChecked(false);
  controls_->find<QCheckBox>("keepHierarchy")->setChecked(false);
  enableDirectoryOptions();
}

void OptionsPage::enableDirectoryOptions() {
  const bool directory = controls_->find<QRadioButton>("convertDirectory")->isChecked();
  controls_->find<QCheckBox>("includeSubdir")->setEnabled(directory);
  controls_->find<QCheckBox>("keepHierarchy")->setEnabled(directory);
}

void OptionsPage::apply(ConversionJob& job) {
  ConversionSettings unused;
  OptionTarget target{job, unused};
  job.mode = kModeNone;
  controls_->store(target);
}

}  // namespace tarnwell::ui
