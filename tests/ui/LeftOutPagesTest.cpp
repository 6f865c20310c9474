// The Convert page shows the pages a file's conversion left out as the tooltip of the file's row.
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/FakeStages.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

TEST(ConvertPageLeftOutTest, RowTooltipNamesThePagesLeftOut) {
  FakeStages stages;
  stages.leftOut = {{2, 3, LeftOutReason::kNoCoding, 0}, {3, 3, LeftOutReason::kNoData, 0}};
  WindowFixture f(stages);
  f.tree().write("src/a.qfx", "x");
  f.tree().write("src/b.pdf", "%PDF-1.4\n");
  const std::string src = f.tree().path("src");
  f.chooseSourceDirectory(src);
  f.chooseDestination(f.tree().path("out"));
  ASSERT_TRUE(f.runToEnd());

  auto* list = f.find<QTreeWidget>("results");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  const QString expected = QString::fromStdString(
      src + "/a.qfx: page 2 of 3 left out: no Group 3 or Group 4 coding found\n" + src +
      "/a.qfx: page 3 of 3 left out: no data");
  for (int column = 0; column < list->columnCount(); ++column) {
    EXPECT_EQ(list->topLevelItem(0)->toolTip(column), expected) << column;
    EXPECT_EQ(list->topLevelItem(1)->toolTip(column), QString()) << column;
  }
  EXPECT_EQ(list->topLevelItem(0)->text(2), "Converted!");
}

}  // namespace
}  // namespace tarnwell::test
