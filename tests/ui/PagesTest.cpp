// Options and Settings pages, and the hand-over of their values when the user returns to the
// Convert tab.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "app/FakeStages.h"
#include "app/Program.h"
#include "ui/SettingsPage.h"
#include "ui/Window.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

class PagesTest : public testing::Test {
 protected:
  FakeStages stages_;
  WindowFixture f_{stages_};

  void setText(const char* name, const QString& text) { f_.find<QLineEdit>(name)->setText(text); }
};

TEST_F(PagesTest, SettingsReachTheWindowOnlyOnTheWayBackToConvert) {
  f_.selectTab(2);
  setText("threshold", "77");
  f_.selectTab(1);
  EXPECT_EQ(f_.window().settings().engine.threshold, 50);
  f_.selectTab(2);
  f_.selectTab(0);
  EXPECT_EQ(f_.window().settings().engine.threshold, 77);
}

TEST_F(PagesTest, ConvertFilesClearsAndDisablesTheDirectoryOptions) {
  f_.selectTab(1);
  auto* includeSubdir = f_.find<QCheckBox>("includeSubdir");
  auto* keepHierarchy = f_.find<QCheckBox>("keepHierarchy");
  includeSubdir->setChecked(true);
  keepHierarchy->setChecked(true);

  f_.click("convertFiles");
  EXPECT_FALSE(includeSubdir->isChecked());
  EXPECT_FALSE(keepHierarchy->isChecked());
  EXPECT_FALSE(includeSubdir->isEnabled());
  EXPECT_FALSE(keepHierarchy->isEnabled());

  f_.click("convertDirectory");
  EXPECT_TRUE(includeSubdir->isEnabled());
  EXPECT_TRUE(keepHierarchy->isEnabled());
  EXPECT_FALSE(includeSubdir->isChecked());
}

// One Settings apply: the texts typed into the three number fields, what ends up stored, and
// whether the page beeps and where the focus goes.
struct ApplyCase {
  const char* name;
  QString threshold, flagNum, minWidth;
  int storedThreshold, storedFlagNum, storedMinWidth;
  bool rawFaxStored;  // the "Raw Fax File" box is checked before applying
  const char* focus;  // the field that takes the focus, or nullptr for no beep
  friend void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }
};

class SettingsApplyTest : public PagesTest, public testing::WithParamInterface<ApplyCase> {};

TEST_P(SettingsApplyTest, StoresValuesCutToTheirFields) {
  const ApplyCase& c = GetParam();
  f_.selectTab(2);
  setText("threshold", c.threshold);
  setText("flagNum", c.flagNum);
  setText("minWidth", c.minWidth);
  f_.find<QCheckBox>("rawFax")->setChecked(true);
  f_.selectTab(0);

  const ConversionSettings s = f_.window().settings();
  EXPECT_EQ(s.engine.threshold, c.storedThreshold);
  EXPECT_EQ(s.engine.flagNum, c.storedFlagNum);
  EXPECT_EQ(s.engine.minWidth, c.storedMinWidth);
  EXPECT_EQ(s.engine.rawFax, c.rawFaxStored ? 1 : 0);
  EXPECT_EQ(f_.dialogs().beeps, c.focus ? 1 : 0);
  if (c.focus) {
    f_.selectTab(2);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), f_.find<QLineEdit>(c.focus));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SettingsApplyTest,
    testing::Values(
        ApplyCase{"AllNumbers", "60", "4", "2048", 60, 4, 2048, true, nullptr},
        ApplyCase{"FlagNumKeepsLow8Bits", "50", "300", "1728", 50, 44, 1728, true, nullptr},
        ApplyCase{"NegativeFlagNumWraps", "50", "-1", "1728", 50, 255, 1728, true, nullptr},
        ApplyCase{"ThresholdKeepsLow16Bits", "70000", "3", "1728", 70000 - 65536, 3, 1728, true,
                  nullptr},
        // An empty Threshold stores 0; everything after it keeps the values it had.
        ApplyCase{"EmptyThreshold", "", "9", "2000", 0, 3, 1728, false, "threshold"},
        ApplyCase{"FlagNumNotANumber", "60", "x1", "2000", 60, 3, 1728, false, "flagNum"},
        ApplyCase{"MinWidthNotANumber", "60", "9", "12ab", 60, 9, 1728, false, "minWidth"},
        ApplyCase{"TooBigForAnInt", "99999999999", "3", "1728", 0, 3, 1728, false, "threshold"}),
    [](const testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

TEST_F(PagesTest, UncheckedNonStandardWidthDisablesMinWidthAndKeepsItsValue) {
  f_.selectTab(2);
  f_.click("nonStandardWidth");
  EXPECT_FALSE(f_.find<QLineEdit>("minWidth")->isEnabled());
  f_.find<QComboBox>("vertical")->setCurrentIndex(2);
  f_.selectTab(0);
  const ConversionSettings s = f_.window().settings();
  EXPECT_EQ(s.engine.nonStandardWidth, 0);
  EXPECT_EQ(s.engine.minWidth, 1728);
  EXPECT_EQ(s.engine.verticalResolution, 200);
}

// The number fields take digits only, and no number beyond what their setting can hold: the
// keys that would make one are refused as they are typed.
struct TypingCase {
  const char* name;
  const char* field;
  const char* typed;
  QString kept;
  friend void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }
};

class NumberFieldTest : public PagesTest, public testing::WithParamInterface<TypingCase> {};

TEST_P(NumberFieldTest, KeepsOnlyWhatTheFieldCanHold) {
  const TypingCase& c = GetParam();
  f_.selectTab(2);
  auto* edit = f_.find<QLineEdit>(c.field);
  edit->clear();
  edit->setFocus();
  QTest::keyClicks(edit, QString::fromLatin1(c.typed));
  EXPECT_EQ(edit->text(), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Typing, NumberFieldTest,
    testing::Values(TypingCase{"Letters", "threshold", "abc", ""},
                    TypingCase{"LettersBetweenDigits", "threshold", "1a2b3", "123"},
                    TypingCase{"MinusSign", "flagNum", "-5", "5"},
                    TypingCase{"FlagNumAbove255", "flagNum", "300", "30"},
                    TypingCase{"FlagNum255", "flagNum", "255", "255"},
                    TypingCase{"ThresholdAbove65535", "threshold", "65536", "6553"},
                    TypingCase{"GroupSeparator", "minWidth", "1,728", "1728"},
                    TypingCase{"Blank", "minWidth", "17 28", "1728"}),
    [](const testing::TestParamInfo<TypingCase>& info) { return std::string(info.param.name); });

// A number still refused on the way back to Convert: the Settings page comes back with the
// field marked and focused; editing the field takes the mark away and lets the user go on.
TEST_F(PagesTest, RefusedNumberShowsThePageAndMarksTheField) {
  f_.selectTab(2);
  auto* threshold = f_.find<QLineEdit>("threshold");
  auto* flagNum = f_.find<QLineEdit>("flagNum");
  const QColor normal = threshold->palette().color(QPalette::Base);
  threshold->clear();
  f_.selectTab(0);
  EXPECT_EQ(f_.find<QTabWidget>("tabs")->currentIndex(), 2);
  EXPECT_EQ(f_.dialogs().beeps, 1);
  EXPECT_TRUE(ui::SettingsPage::isMarked(threshold));
  EXPECT_FALSE(ui::SettingsPage::isMarked(flagNum));
  EXPECT_NE(threshold->palette().color(QPalette::Base), normal);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), threshold);

  QTest::keyClicks(threshold, QStringLiteral("42"));
  EXPECT_FALSE(ui::SettingsPage::isMarked(threshold));
  EXPECT_EQ(threshold->palette().color(QPalette::Base), normal);
  f_.selectTab(0);
  EXPECT_EQ(f_.find<QTabWidget>("tabs")->currentIndex(), 0);
  EXPECT_EQ(f_.window().settings().engine.threshold, 42);
  EXPECT_EQ(f_.dialogs().beeps, 1);
}

// With a display that cannot be reached the window road ends as it does with none: exit 2.
TEST(WindowStartTest, UnreachableDisplayExitsWithTwo) {
  ConversionRequest request;
  EXPECT_EQ(QGuiApplication::platformName(), "offscreen");
  EXPECT_EQ(ui::runMainWindow(request), kExitIncomplete);
}

// An incomplete command line opens the window with the settings the parse left.
TEST(WindowStartTest, VerticalOptionOfAnIncompleteCommandLineIsSelected) {
  FakeStages stages;
  QString shown;
  ProgramHooks hooks;
  hooks.runWindow = [&](const ConversionRequest& request) {
    ScriptedDialogs dialogs;
    ui::MainWindow window(request.settings, request.paths, stages, dialogs);
    shown = window.findChild<QComboBox*>(QStringLiteral("vertical"))->currentText();
    return 7;
  };
  EXPECT_EQ(runProgram({"/v=3", "x"}, hooks), 7);
  EXPECT_EQ(shown, QStringLiteral("SFine (11.55lines/mm)"));
}

}  // namespace
}  // namespace tarnwell::test
