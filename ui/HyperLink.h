#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace tarnwell::ui {

class Dialogs;

// A text that looks and acts like a link in a web browser: underlined in the link colour (the
// visited colour once it has been opened), a hand cursor, the target in a tooltip; a click opens
// the target with the desktop's program for it. With copyMenu set, the right mouse button offers
// "Copy Shortcuts", which puts the target on the clipboard.
class HyperLink : public QLabel {
  Q_OBJECT
 public:
  HyperLink(const QString& text, const QString& target, Dialogs& dialogs, bool copyMenu,
            QWidget* parent = nullptr);

  static inline const QColor kLinkColour{0, 0, 255};
  static inline const QColor kVisitedColour{128, 0, 128};

  const QString& target() const { return target_; }
  bool visited() const { return visited_; }
  // The colour the text is drawn in now.
  QColor colour() const;
  // Opens the target; a successful open marks the link visited.
  void open();
  // Puts the target on the clipboard as plain text; an empty target is not copied.
  void copyTarget() const;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void updateLook();

  QString target_;
  Dialogs& dialogs_;
  bool copyMenu_;
  bool visited_ = false;
};

}  // namespace tarnwell::ui
