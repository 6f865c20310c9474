#include "ui/ResultsBox.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ConversionLog.h"

namespace tarnwell::ui {

namespace {

constexpr double kScreenShare = 0.8;  // the largest part of the screen the box takes
constexpr int kMinimumWidth = 360;

}  // namespace

ResultsBox::ResultsBox(const QString& report, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("resultsBox"));
  setWindowTitle(QString::fromLatin1(kResultsCaption));

  QString lines = report;
  lines.remove(QLatin1Char('\r'));
  while (lines.endsWith(QLatin1Char('\n'))) lines.chop(1);

  text_ = new QPlainTextEdit;
  text_->setObjectName(QStringLiteral("resultsText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setPlainText(lines);
  // The text area is read, not typed into: Tab moves on to OK.
  text_->setTabChangesFocus(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setObjectName(QStringLiteral("resultsOk"));
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addWidget(buttons);

  // The size the whole report would need, without scroll bars, capped at a share of the screen.
  const QFontMetrics metrics = text_->fontMetrics();
  int widest = 0;
  int count = 0;
  for (const QStringView line : QStringView(lines).split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line.toString()));
    ++count;
  }
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const QMargins margins = layout->contentsMargins();
  const int frame =
      2 * text_->frameWidth() + 2 * static_cast<int>(text_->document()->documentMargin());
  const int wantedWidth = widest + frame + scrollBar + margins.left() + margins.right();
  const int wantedHeight = count * metrics.lineSpacing() + frame + scrollBar + margins.top() +
                            margins.bottom() + layout->spacing() + buttons->sizeHint().height();
  QSize limit(1024, 768);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
    limit = screen->availableGeometry().size();
  limit = QSize(static_cast<int>(limit.width() * kScreenShare),
                static_cast<int>(limit.height() * kScreenShare));
  resize(std::clamp(wantedWidth, std::min(kMinimumWidth, limit.width()), limit.width()),
         std::clamp(wantedHeight, std::min(sizeHint().height(), limit.height()), limit.height()));
  ok_->setFocus(Qt::OtherFocusReason);
}

}  // namespace tarnwell::ui
