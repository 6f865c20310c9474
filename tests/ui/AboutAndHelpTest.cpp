// The About box's links and the Help button.
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

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

// Which file Help opens: the help file beside the program wins, then the HTML manual beside the
// program (the build tree), then the installed manual.
struct HelpOrderCase {
  const char* name;
  std::vector<std::string> present;  // files made in the test tree
  const char* opened;                // the one opened, or "" for none
  friend void PrintTo(const HelpOrderCase& c, std::ostream* os) { *os << c.name; }
};

class HelpOrderTest : public testing::TestWithParam<HelpOrderCase> {};

const std::string kInstalled =
    std::string("bin/") + ui::kInstalledManualDirectory + "/tarnwell.html";

TEST_P(HelpOrderTest, OpensTheFirstThatExists) {
  const HelpOrderCase& c = GetParam();
  FakeStages stages;
  WindowFixture f(stages);
  for (const std::string& file : c.present) f.tree().write(file, "help");
  f.click("help");
  if (*c.opened == '\0') {
    EXPECT_TRUE(f.dialogs().opened.empty());
    return;
  }
  ASSERT_EQ(f.dialogs().opened.size(), 1u);
  // "bin/../share/..." is opened as "share/...".
  const QString expected =
      QDir::cleanPath(QFileInfo(qs(f.tree().path(c.opened))).absoluteFilePath());
  EXPECT_FALSE(expected.contains(QStringLiteral("..")));
  EXPECT_EQ(f.dialogs().opened[0], QUrl::fromLocalFile(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HelpOrderTest,
    testing::Values(HelpOrderCase{"Nothing", {}, ""},
                    HelpOrderCase{"InstalledManual", {kInstalled}, kInstalled.c_str()},
                    HelpOrderCase{"BuildTreeManual", {"bin/tarnwell.html", kInstalled},
                                  "bin/tarnwell.html"},
                    HelpOrderCase{"HelpFileWins",
                                  {"bin/tarnwell.chm", "bin/tarnwell.html", kInstalled},
                                  "bin/tarnwell.chm"},
                    HelpOrderCase{"ManualOfAnotherProgram", {"bin/other.html"}, ""}),
    [](const testing::TestParamInfo<HelpOrderCase>& info) { return std::string(info.param.name); });

// The manual the build writes holds the README's guide and the manual page's sections.
TEST(HtmlManualTest, HoldsTheGuideAndTheManualPage) {
  const std::string path = std::string(TARNWELL_BINARY_DIR) + "/" + ui::kManualName;
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "no HTML manual built (cmark or groff missing)";
  const std::string html = readText(path);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  for (const char* part : {"<h2>The window</h2>", "<h2>Report and log</h2>", "<code>/d</code>",
                           "id=\"manual-page\"", "SYNOPSIS", "EXIT STATUS", "</html>"}) {
    EXPECT_NE(html.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(html.find("CreationDate"), std::string::npos);
}

}  // namespace
}  // namespace tarnwell::test
