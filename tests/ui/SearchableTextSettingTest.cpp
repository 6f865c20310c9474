// The Settings page's "Searchable text" box and its language field reach the window's settings
// on the way back to the Convert tab; the field is usable only while the box is checked.
#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "app/FakeStages.h"
#include "ui/Window.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

struct LanguageCase {
  const char* name;
  bool checked;
  QString typed;
  std::string stored;  // an empty field stores English
};

class SearchableTextSettingTest : public testing::TestWithParam<LanguageCase> {
 protected:
  FakeStages stages_;
  WindowFixture f_{stages_};
};

TEST_P(SearchableTextSettingTest, BoxAndLanguagesAreStored) {
  const LanguageCase& c = GetParam();
  f_.selectTab(2);
  auto* box = f_.find<QCheckBox>("searchableText");
  auto* languages = f_.find<QLineEdit>("textLanguages");
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(languages->isEnabled());
  box->setChecked(c.checked);
  EXPECT_EQ(languages->isEnabled(), c.checked);
  languages->setText(c.typed);
  f_.selectTab(0);
  const ConversionSettings s = f_.window().settings();
  EXPECT_EQ(s.searchableText, c.checked);
  EXPECT_EQ(s.textLanguages, c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SearchableTextSettingTest,
    testing::Values(LanguageCase{"English", true, "eng", "eng"},
                    LanguageCase{"TwoLanguagesTrimmed", true, " deu+eng ", "deu+eng"},
                    LanguageCase{"EmptyMeansEnglish", true, "", "eng"},
                    LanguageCase{"Unchecked", false, "fra", "fra"}),
    [](const testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell::test
