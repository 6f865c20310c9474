// What a desktop user expects of the window: disabled controls that look disabled, the keyboard
// (Return, Tab, Escape, the first focus), a list that follows the run, drops onto Source, and a
// results box that fits on the screen.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/FakeStages.h"
#include "ui/ResultsBox.h"
#include "ui/Theme.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

// One control that the window disables, and how it gets there.
struct DisabledCase {
  const char* name;
  int tab;
  const char* widget;
  const char* disabler;  // the widget clicked to disable it, or nullptr when it starts disabled
  QPalette::ColorRole role;
  friend void PrintTo(const DisabledCase& c, std::ostream* os) { *os << c.name; }
};

class DisabledLookTest : public testing::TestWithParam<DisabledCase> {};

TEST_P(DisabledLookTest, TextIsNotTheEnabledBlue) {
  const DisabledCase& c = GetParam();
  FakeStages stages;
  WindowFixture f(stages);
  f.selectTab(c.tab);
  if (c.disabler) f.click(c.disabler);
  QWidget* w = f.find<QWidget>(c.widget);
  ASSERT_FALSE(w->isEnabled());
  EXPECT_EQ(w->palette().color(QPalette::Active, c.role), ui::kControlText);
  EXPECT_NE(w->palette().color(QPalette::Disabled, c.role), ui::kControlText);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, DisabledLookTest,
    testing::Values(DisabledCase{"IdleCancel", 0, "cancel", nullptr, QPalette::ButtonText},
                    DisabledCase{"IncludeSubdirForFiles", 1, "includeSubdir", "convertFiles",
                                 QPalette::WindowText},
                    DisabledCase{"KeepHierarchyForFiles", 1, "keepHierarchy", "convertFiles",
                                 QPalette::WindowText},
                    DisabledCase{"MinWidthWithoutNonStandardWidth", 2, "minWidth",
                                 "nonStandardWidth", QPalette::Text}),
    [](const testing::TestParamInfo<DisabledCase>& info) { return std::string(info.param.name); });

// The same button drawn enabled and disabled gives two different pictures.
TEST(DisabledLookTest, DisabledCancelIsDrawnDifferently) {
  FakeStages stages;
  WindowFixture f(stages);
  auto* cancel = f.find<QPushButton>("cancel");
  const QImage disabled = cancel->grab().toImage();
  cancel->setEnabled(true);
  const QImage enabled = cancel->grab().toImage();
  EXPECT_NE(disabled, enabled);
}

TEST(KeyboardTest, FirstFocusIsOnTheFilterField) {
  FakeStages stages;
  WindowFixture f(stages);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), f.find<QLineEdit>("filter"));
}

// Return starts a run wherever the focus is on the Convert page, Go itself included.
class ReturnTest : public testing::TestWithParam<const char*> {};

TEST_P(ReturnTest, StartsARun) {
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("src/a.g3", "x");
  f.chooseSourceDirectory(f.tree().path("src"));
  f.chooseDestination(f.tree().path("out"));
  QWidget* focus = f.find<QWidget>(GetParam());
  focus->setFocus();
  const QString sourceText = f.find<QPlainTextEdit>("source")->toPlainText();
  QSignalSpy ended(&f.page(), &ui::ConvertPage::runEnded);
  QTest::keyClick(focus, Qt::Key_Return);
  ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
  EXPECT_EQ(stages.calls.size(), 3u);
  EXPECT_EQ(f.find<QPlainTextEdit>("source")->toPlainText(), sourceText);
}

INSTANTIATE_TEST_SUITE_P(Focus, ReturnTest,
                         testing::Values("filter", "source", "destination", "go"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

TEST(KeyboardTest, ReturnOnAnotherTabStartsNothing) {
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("src/a.g3", "x");
  f.chooseSourceDirectory(f.tree().path("src"));
  f.chooseDestination(f.tree().path("out"));
  f.selectTab(2);
  auto* threshold = f.find<QLineEdit>("threshold");
  threshold->setFocus();
  QTest::keyClick(threshold, Qt::Key_Return);
  QTest::qWait(50);
  // A run would have disabled Go until it ended.
  EXPECT_TRUE(f.find<QPushButton>("go")->isEnabled());
  EXPECT_TRUE(stages.calls.empty());
}

TEST(KeyboardTest, TabLeavesTheSourceField) {
  FakeStages stages;
  WindowFixture f(stages);
  auto* source = f.find<QPlainTextEdit>("source");
  source->setFocus();
  QTest::keyClick(source, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), f.find<QPushButton>("chooseSource"));
  EXPECT_FALSE(source->toPlainText().contains(QLatin1Char('\t')));
}

TEST(KeyboardTest, EscapeClosesTheWindow) {
  FakeStages stages;
  WindowFixture f(stages);
  f.find<QLineEdit>("filter")->setFocus();
  QTest::keyClick(f.find<QLineEdit>("filter"), Qt::Key_Escape);
  EXPECT_FALSE(f.window().isVisible());
}

// During a long run the list keeps the file being converted in view.
TEST(ConvertProgressTest, ListFollowsTheRun) {
  FakeStages stages;
  WindowFixture f(stages);
  for (int i = 0; i < 200; ++i) f.tree().write("src/" + std::to_string(1000 + i) + ".g3", "x");
  f.chooseSourceDirectory(f.tree().path("src"));
  f.chooseDestination(f.tree().path("out"));
  ASSERT_TRUE(f.runToEnd());
  QTest::qWait(20);
  auto* list = f.find<QTreeWidget>("results");
  ASSERT_EQ(list->topLevelItemCount(), 200);
  const QRect viewport = list->viewport()->rect();
  EXPECT_TRUE(viewport.intersects(list->visualItemRect(list->topLevelItem(199))));
  EXPECT_FALSE(viewport.intersects(list->visualItemRect(list->topLevelItem(0))));
}

// What dropping onto the Source field gives: the field's text and the listed files, or nothing
// at all for a drop that names no single source.
struct DropCase {
  const char* name;
  std::vector<std::string> dropped;  // paths in the test tree; "http:" for a remote address
  std::string shown;                 // the Source field afterwards, "" when refused
  size_t listed;
  friend void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }
};

class DropTest : public testing::TestWithParam<DropCase> {};

TEST_P(DropTest, FillsTheSourceAsTheButtonWould) {
  const DropCase& c = GetParam();
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("in/a.g3", "x");
  f.tree().write("in/b.g3", "x");
  f.tree().write("in/sub/c.g3", "x");
  f.tree().write("other/d.g3", "x");
  QList<QUrl> urls;
  for (const std::string& p : c.dropped) {
    urls << (p == "http:" ? QUrl(QStringLiteral("http://example.org/a.g3"))
                          : QUrl::fromLocalFile(qs(f.tree().path(p))));
  }
  auto* source = f.find<QPlainTextEdit>("source");
  const bool accepted = dropUrls(source->viewport(), urls);
  EXPECT_EQ(accepted, !c.shown.empty());
  std::string expected = c.shown;
  for (std::string::size_type at; (at = expected.find("@")) != std::string::npos;)
    expected.replace(at, 1, f.tree().path() + "/");
  EXPECT_EQ(source->toPlainText().toStdString(), c.shown.empty() ? "" : expected);
  EXPECT_EQ(f.page().files().size(), c.listed);
  if (c.listed > 0) {
    EXPECT_EQ(f.find<QProgressBar>("progress")->maximum(), int(c.listed));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropTest,
    testing::Values(DropCase{"Folder", {"in"}, "@in", 2},
                    DropCase{"OneFile", {"in/b.g3"}, "@in/b.g3", 1},
                    DropCase{"FilesOfOneFolder", {"in/a.g3", "in/b.g3"}, "@in a.g3 b.g3", 2},
                    DropCase{"FilesOfTwoFolders", {"in/a.g3", "other/d.g3"}, "", 0},
                    DropCase{"TwoFolders", {"in", "other"}, "", 0},
                    DropCase{"FolderAndFile", {"in/sub", "in/a.g3"}, "", 0},
                    DropCase{"Missing", {"in/none.g3"}, "", 0},
                    DropCase{"Remote", {"http:"}, "", 0}),
    [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

// A dropped folder follows "Include subdir" as the button does, and the drop is then converted.
TEST(DropTest, FolderFollowsIncludeSubdirAndConverts) {
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("in/a.g3", "x");
  f.tree().write("in/sub/c.g3", "x");
  f.selectTab(1);
  f.click("includeSubdir");
  f.selectTab(0);
  ASSERT_TRUE(dropUrls(f.find<QPlainTextEdit>("source")->viewport(),
                       {QUrl::fromLocalFile(qs(f.tree().path("in")))}));
  EXPECT_EQ(f.page().files().size(), 2u);
  f.chooseDestination(f.tree().path("out"));
  ASSERT_TRUE(f.runToEnd());
  EXPECT_TRUE(f.dialogs().warnings.empty());
  EXPECT_EQ(stages.calls.size(), 6u);
}

std::string report(int lines, int length) {
  std::string text = "Source Dir: /in\r\nDestination Dir: /out\r\n\r\n";
  for (int i = 0; i < lines; ++i) {
    text += "/in/" + std::string(static_cast<size_t>(length), 'a') + "-" + std::to_string(i) +
            " --> /out/x.pdf : Success !\r\n";
  }
  return text + "\r\nTotal converted FAX files: " + std::to_string(lines) + "\r\n";
}

// The results box: a long report stays within four fifths of the screen with OK on it; a short
// one gets a box that shows it whole. Lines are never wrapped.
struct ResultsCase {
  const char* name;
  int lines, length;
  bool fitsWhole;
  friend void PrintTo(const ResultsCase& c, std::ostream* os) { *os << c.name; }
};

class ResultsBoxTest : public testing::TestWithParam<ResultsCase> {};

TEST_P(ResultsBoxTest, FitsTheScreenWithOkFocused) {
  const ResultsCase& c = GetParam();
  const std::string text = report(c.lines, c.length);
  ui::ResultsBox box(qs(text));
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QApplication::processEvents();

  EXPECT_EQ(box.windowTitle(), "Tarnwell Results");
  const QSize screen = box.screen()->availableGeometry().size();
  EXPECT_LE(box.width(), screen.width() * 4 / 5 + 1);
  EXPECT_LE(box.height(), screen.height() * 4 / 5 + 1);
  EXPECT_TRUE(box.rect().contains(box.okButton()->geometry()));
  EXPECT_EQ(QApplication::focusWidget(), box.okButton());

  QPlainTextEdit* area = box.text();
  EXPECT_TRUE(area->isReadOnly());
  EXPECT_EQ(area->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(area->blockCount(), c.lines + 5);
  EXPECT_FALSE(area->toPlainText().contains(QLatin1Char('\r')));
  const bool noScrolling =
      area->verticalScrollBar()->maximum() == 0 && area->horizontalScrollBar()->maximum() == 0;
  EXPECT_EQ(noScrolling, c.fitsWhole);

  // Return presses OK.
  QTest::keyClick(box.okButton(), Qt::Key_Return);
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(Reports, ResultsBoxTest,
                         testing::Values(ResultsCase{"Short", 3, 10, true},
                                         ResultsCase{"TwoHundredFiles", 200, 40, false},
                                         ResultsCase{"VeryLongPaths", 5, 400, false}),
                         [](const testing::TestParamInfo<ResultsCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tarnwell::test
