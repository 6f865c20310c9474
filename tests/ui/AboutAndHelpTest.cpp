// The About box's links and the Help button.
#include <QClipboard>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/FakeStages.h"
#include "ui/AboutBox.h"
#include "ui/HyperLink.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

TEST(AboutBoxTest, HomePageTurnsVisitedOnlyAfterASuccessfulOpen) {
  ScriptedDialogs dialogs;
  ui::AboutBox box(dialogs);
  box.show();
  ui::HyperLink* link = box.homePage();
  EXPECT_EQ(link->colour(), ui::HyperLink::kLinkColour);
  EXPECT_EQ(link->toolTip(), QString::fromLatin1(ui::kHomePage));
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

  dialogs.openSucceeds = false;
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(link->colour(), ui::HyperLink::kLinkColour);

  dialogs.openSucceeds = true;
  QTest::mouseClick(link, Qt::LeftButton);
  EXPECT_EQ(link->colour(), ui::HyperLink::kVisitedColour);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), ui::HyperLink::kVisitedColour);
  ASSERT_EQ(dialogs.opened.size(), 2u);
  EXPECT_EQ(dialogs.opened[1], QUrl(QString::fromLatin1(ui::kHomePage)));

  QTest::mouseClick(box.support(), Qt::LeftButton);
  EXPECT_EQ(dialogs.opened.back().scheme(), "mailto");
}

TEST(AboutBoxTest, CopyShortcutsPutsTheHomePageOnTheClipboard) {
  ScriptedDialogs dialogs;
  ui::AboutBox box(dialogs);
  box.show();
  QApplication::clipboard()->setText(QStringLiteral("something else"));
  bool menuShown = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    menuShown = true;
    menu->findChild<QAction*>(QStringLiteral("copyShortcuts"))->trigger();
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                          box.homePage()->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(box.homePage(), &event);
  EXPECT_TRUE(menuShown);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(ui::kHomePage));
}

struct HelpCase {
  const char* name;
  const char* program;
  const char* help;
  friend void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }
};

class HelpPathTest : public testing::TestWithParam<HelpCase> {};

TEST_P(HelpPathTest, ReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(ui::helpFilePath(GetParam().program), GetParam().help);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HelpPathTest,
    testing::Values(HelpCase{"NoExtension", "/opt/tw/tarnwell", "/opt/tw/tarnwell.chm"},
                    HelpCase{"DotInDirectory", "/opt/t.w/tarnwell", "/opt/t.w/tarnwell.chm"},
                    HelpCase{"Extension", "/opt/tw/tarnwell.exe", "/opt/tw/tarnwell.chm"},
                    HelpCase{"TwoDots", "/opt/tw/tarn.well.bin", "/opt/tw/tarn.well.chm"}),
    [](const testing::TestParamInfo<HelpCase>& info) { return std::string(info.param.name); });

TEST(HelpButtonTest, OpensTheHelpFileOnlyWhenItExists) {
  FakeStages stages;
  WindowFixture f(stages);
  f.click("help");
  EXPECT_TRUE(f.dialogs().opened.empty());
  f.tree().write("bin/tarnwell.chm", "help");
  f.click("help");
  ASSERT_EQ(f.dialogs().opened.size(), 1u);
  EXPECT_EQ(f.dialogs().opened[0], QUrl::fromLocalFile(qs(f.tree().path("bin/tarnwell.chm"))));
}

}  // namespace
}  // namespace tarnwell::test
