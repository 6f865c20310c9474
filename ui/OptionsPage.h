#pragma once

#include <QWidget>

#include <memory>

#include "app/ConversionJob.h"
#include "ui/OptionControls.h"

namespace tarnwell::ui {

// The Options page: what the Convert page converts (a directory or files) and how it names the
// results; its controls come from the option table. Its values reach the Convert page only
// through apply().
class OptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit OptionsPage(QWidget* parent = nullptr);

  // Reads the controls into the mode and the flags of `job` (no mode when no source choice is
  // checked); the job's paths and filter stay.
  void apply(ConversionJob& job);

 private:
  // Clears "Include subdir" and "Keep Hierarchy" and enables them only for a directory source.
  void sourceModeClicked();
  void enableDirectoryOptions();

  std::unique_ptr<OptionControls> controls_;
};

}  // namespace tarnwell::ui
