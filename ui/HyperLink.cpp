#include "ui/HyperLink.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QUrl>

#include "ui/Dialogs.h"

namespace tarnwell::ui {

HyperLink::HyperLink(const QString& text, const QString& target, Dialogs& dialogs, bool copyMenu,
                     QWidget* parent)
    : QLabel(text, parent), target_(target), dialogs_(dialogs), copyMenu_(copyMenu) {
  setCursor(Qt::PointingHandCursor);
  setToolTip(target_);
  setTextFormat(Qt::PlainText);
  setContextMenuPolicy(copyMenu_ ? Qt::DefaultContextMenu : Qt::NoContextMenu);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  updateLook();
}

QColor HyperLink::colour() const { return visited_ ? kVisitedColour : kLinkColour; }

void HyperLink::open() {
  if (!dialogs_.openUrl(QUrl(target_))) return;  // a failed open shows no message
  visited_ = true;
  updateLook();
}

void HyperLink::copyTarget() const {
  if (target_.isEmpty()) return;
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(target_);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) open();
  QLabel::mouseReleaseEvent(event);
}

void HyperLink::contextMenuEvent(QContextMenuEvent* event) {
  if (!copyMenu_) return;
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("hyperLinkMenu"));
  menu.setTitle(tr("Hyper Link"));
  QAction* copy = menu.addAction(tr("Copy Shortcuts"));
  copy->setObjectName(QStringLiteral("copyShortcuts"));
  connect(copy, &QAction::triggered, this, &HyperLink::copyTarget);
  menu.exec(event->globalPos());
}

void HyperLink::updateLook() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour());
  setPalette(p);
  update();
}

}  // namespace tarnwell::ui
