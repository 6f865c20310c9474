#pragma once

#include <QWidget>

class QCheckBox;
class QRadioButton;

namespace tarnwell::ui {

// The five values of the Options page, in the page's order.
struct SourceOptions {
  int sourceMode = 0;  // 0 a directory, 1 files, -1 when no choice is checked
  int includeSubdirectories = 0;
  int keepHierarchy = 0;
  int keepFileTime = 0;
  int keepSourceExtension = 0;
};

// The Options page: what the Convert page converts and how it names the results. Its values
// reach the Convert page only through apply().
class OptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit OptionsPage(QWidget* parent = nullptr);

  // Reads the controls into the page's values and returns them.
  SourceOptions apply();
  const SourceOptions& values() const { return values_; }

 private:
  void load();
  // Clears "Include subdir" and "Keep Hiberarchy" and enables them only for a directory source.
  void sourceModeClicked();
  void enableDirectoryOptions();

  SourceOptions values_;
  QRadioButton* convertDirectory_;
  QRadioButton* convertFiles_;
  QCheckBox* includeSubdir_;
  QCheckBox* keepFileTime_;
  QCheckBox* keepHierarchy_;
  QCheckBox* keepExtension_;
};

}  // namespace tarnwell::ui
