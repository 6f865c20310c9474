#pragma once

#include <QColor>
#include <QIcon>

class QWidget;

namespace tarnwell::ui {

// The window's colours (red, green, blue).
inline const QColor kWindowBackground{236, 255, 245};
inline const QColor kWindowEditBackground{249, 249, 249};
inline const QColor kPageBackground{196, 255, 225};
inline const QColor kConvertEditBackground{252, 252, 252};
inline const QColor kPageEditBackground{255, 255, 255};
inline const QColor kControlText{0, 0, 255};

// Fills the widget's background and gives its texts, buttons and edit fields the program's
// colours while they are enabled; disabled ones keep the style's look. Children inherit them.
void applyColours(QWidget* widget, const QColor& background, const QColor& editBackground);

// The program's own small pictures, drawn in code.
QIcon programIcon();
// The pictures of the three tabs: 0 Convert, 1 Options, 2 Settings.
QIcon tabIcon(int tab);
// The picture of the "..." buttons that choose a folder or files.
QIcon browseIcon();

}  // namespace tarnwell::ui
