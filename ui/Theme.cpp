#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

namespace tarnwell::ui {

namespace {

constexpr int kIconSize = 32;

QPixmap blankPixmap() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// A sheet of paper with a folded corner and a few text lines.
void drawSheet(QPainter& p, const QRectF& r, const QColor& ink) {
  const qreal fold = r.width() * 0.3;
  QPainterPath sheet;
  sheet.moveTo(r.left(), r.top());
  sheet.lineTo(r.right() - fold, r.top());
  sheet.lineTo(r.right(), r.top() + fold);
  sheet.lineTo(r.right(), r.bottom());
  sheet.lineTo(r.left(), r.bottom());
  sheet.closeSubpath();
  p.setPen(QPen(ink, 1.5));
  p.setBrush(Qt::white);
  p.drawPath(sheet);
  for (int i = 1; i <= 3; ++i) {
    const qreal y = r.top() + fold + i * (r.height() - fold) / 4.5;
    p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
  }
}

}  // namespace

void applyColours(QWidget* widget, const QColor& background, const QColor& editBackground) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, background);
  // Texts and edit fields take the program's colours only while they can be used; disabled
  // widgets keep the style's greyed look, so a disabled Cancel does not look like Go.
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Base, editBackground);
    palette.setColor(group, QPalette::WindowText, kControlText);
    palette.setColor(group, QPalette::ButtonText, kControlText);
    palette.setColor(group, QPalette::Text, kControlText);
  }
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QIcon programIcon() {
  QPixmap pixmap = blankPixmap();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  drawSheet(p, QRectF(3, 2, 18, 24), QColor(60, 60, 60));
  // A red "PDF" label over the lower right corner.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 30, 30));
  p.drawRoundedRect(QRectF(12, 17, 19, 13), 2, 2);
  p.setPen(Qt::white);
  QFont font = p.font();
  font.setPixelSize(8);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(12, 17, 19, 13), Qt::AlignCenter, QStringLiteral("PDF"));
  return QIcon(pixmap);
}

QIcon tabIcon(int tab) {
  QPixmap pixmap = blankPixmap();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(0, 90, 160);
  switch (tab) {
    case 0: {  // Convert: a sheet and an arrow to the right
      drawSheet(p, QRectF(2, 4, 16, 22), ink);
      p.setPen(QPen(QColor(0, 150, 80), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawLine(QPointF(17, 16), QPointF(29, 16));
      p.drawLine(QPointF(24, 11), QPointF(29, 16));
      p.drawLine(QPointF(24, 21), QPointF(29, 16));
      break;
    }
    case 1: {  // Options: three ticked boxes
      p.setPen(QPen(ink, 1.5));
      for (int i = 0; i < 3; ++i) {
        const qreal y = 4 + i * 9;
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, y, 7, 7));
        p.drawLine(QPointF(14, y + 3.5), QPointF(28, y + 3.5));
      }
      p.setPen(QPen(QColor(0, 150, 80), 2));
      p.drawLine(QPointF(5, 7), QPointF(7, 10));
      p.drawLine(QPointF(7, 10), QPointF(11, 3));
      break;
    }
    default: {  // Settings: three sliders
      p.setPen(QPen(ink, 2));
      const qreal knobs[3] = {10, 22, 15};
      for (int i = 0; i < 3; ++i) {
        const qreal y = 7 + i * 9;
        p.drawLine(QPointF(4, y), QPointF(28, y));
        p.setBrush(QColor(0, 150, 80));
        p.drawEllipse(QPointF(knobs[i], y), 3, 3);
      }
      break;
    }
  }
  return QIcon(pixmap);
}

QIcon browseIcon() {
  QPixmap pixmap = blankPixmap();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // An open folder.
  p.setPen(QPen(QColor(150, 110, 20), 1.5));
  p.setBrush(QColor(250, 210, 90));
  QPainterPath back;
  back.moveTo(3, 8);
  back.lineTo(12, 8);
  back.lineTo(14, 11);
  back.lineTo(27, 11);
  back.lineTo(27, 26);
  back.lineTo(3, 26);
  back.closeSubpath();
  p.drawPath(back);
  p.setBrush(QColor(255, 228, 130));
  QPainterPath front;
  front.moveTo(3, 26);
  front.lineTo(8, 15);
  front.lineTo(30, 15);
  front.lineTo(27, 26);
  front.closeSubpath();
  p.drawPath(front);
  return QIcon(pixmap);
}

}  // namespace tarnwell::ui
