#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/HyperLink.h"
#include "ui/Theme.h"

namespace tarnwell::ui {

AboutBox::AboutBox(Dialogs& dialogs, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutBox"));
  setWindowTitle(tr("About"));
  applyColours(this, kWindowBackground, kWindowEditBackground);

  auto* group = new QGroupBox(tr("About Tarnwell"));
  auto* icon = new QLabel;
  icon->setPixmap(programIcon().pixmap(48, 48));
  auto* text = new QLabel(QStringLiteral("Tarnwell %1 (build %2)\n"
                                         "Received fax files to PDF\n"
                                         "Free software, with no warranty.")
                              .arg(QStringLiteral(TARNWELL_VERSION), QStringLiteral("1")));
  text->setObjectName(QStringLiteral("aboutText"));
  homePage_ = new HyperLink(tr("Home Page"), QString::fromLatin1(kHomePage), dialogs, true);
  homePage_->setObjectName(QStringLiteral("homePageLink"));
  support_ = new HyperLink(tr("Support: ") + QString::fromLatin1(kSupportAddress),
                           QStringLiteral("mailto:") + QString::fromLatin1(kSupportAddress),
                           dialogs, false);
  support_->setObjectName(QStringLiteral("supportLink"));

  auto* textColumn = new QVBoxLayout;
  textColumn->addWidget(text);
  textColumn->addSpacing(8);
  textColumn->addWidget(homePage_);
  textColumn->addWidget(support_);
  auto* groupLayout = new QHBoxLayout(group);
  groupLayout->addWidget(icon, 0, Qt::AlignTop);
  groupLayout->addLayout(textColumn, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("aboutOk"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
}

}  // namespace tarnwell::ui
