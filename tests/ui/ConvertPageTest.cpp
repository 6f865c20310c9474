// The Convert page: choosing the source, the warnings of Go, runs of the worker and Cancel.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "app/FakeStages.h"
#include "support/PdfCheck.h"
#include "UiTestKit.h"

namespace tarnwell::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> column(QTreeWidget* list, int c) {
  std::vector<std::string> out;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    out.push_back(list->topLevelItem(i)->text(c).toStdString());
  return out;
}

TEST(ConvertPageGoTest, WarnsWithoutChosenSourceOrDestination) {
  FakeStages stages;
  WindowFixture f(stages);
  f.find<QPlainTextEdit>("source")->setPlainText(qs(f.tree().mkdir("typed")));
  f.click("go");
  f.chooseSourceDirectory(f.tree().mkdir("src"));
  f.click("go");

  ASSERT_EQ(f.dialogs().warnings.size(), 2u);
  EXPECT_EQ(f.dialogs().warnings[0].first, "Warning");
  EXPECT_EQ(f.dialogs().warnings[0].second,
            "Select Source Dir,\nwhere your fax files to be converted should be");
  EXPECT_EQ(f.dialogs().warnings[1].first, "Warning");
  EXPECT_EQ(f.dialogs().warnings[1].second,
            "Select Save Dir,\nwhere your converted tif files should be");
  EXPECT_TRUE(stages.calls.empty());
}

TEST(ConvertPageSourceTest, DirectoryWithSubdirectoriesSetsTheProgressRange) {
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("src/a.g3", "x");
  f.tree().write("src/sub/b.g3", "x");
  f.tree().write("src/sub/deeper/c.fax", "x");
  f.tree().write("src/setup.dll", "x");
  f.selectTab(1);
  f.click("includeSubdir");
  f.selectTab(0);
  f.chooseSourceDirectory(f.tree().path("src"));
  EXPECT_EQ(f.page().files().size(), 3u);
  EXPECT_EQ(f.find<QProgressBar>("progress")->maximum(), 3);
}

// Any number of files may be chosen, and a filter of any length reaches the dialog whole.
TEST(ConvertPageSourceTest, ChosenFilesAreListedWithTheirDirectory) {
  FakeStages stages;
  WindowFixture f(stages);
  const std::string dir = f.tree().mkdir("in");
  f.dialogs().files.directory = qs(dir);
  for (int i = 0; i < 40; ++i) {
    const std::string name = "a-rather-long-fax-file-name-number-" + std::to_string(i) + ".g3";
    f.tree().write("in/" + name, "x");
    f.dialogs().files.names << qs(name);
  }
  const QString filter = QString(120, QLatin1Char('?')) + QStringLiteral(".g3");
  f.find<QLineEdit>("filter")->setText(filter);
  f.selectTab(1);
  f.click("convertFiles");
  f.selectTab(0);
  f.click("chooseSource");

  ASSERT_EQ(f.dialogs().fileFilters.size(), 1u);
  EXPECT_EQ(f.dialogs().fileFilters[0], filter);
  EXPECT_EQ(f.page().files().size(), 40u);
  EXPECT_EQ(f.page().job().sourcePath, dir);
  const QString shown = f.find<QPlainTextEdit>("source")->toPlainText();
  EXPECT_TRUE(shown.startsWith(qs(dir) + " a-rather-long-fax-file-name-number-0.g3 "));
  EXPECT_EQ(f.find<QProgressBar>("progress")->maximum(), 40);

  f.chooseDestination(f.tree().path("out"));
  ASSERT_TRUE(f.runToEnd());
  EXPECT_EQ(stages.calls.size(), 40u * 3u);  // engine, copy and PDF for every file
}

// A real run over a PDF, a raw fax and a broken file with the real pipeline.
TEST(ConvertPageRunTest, ReportsEachFileAndWritesTheLog) {
  WindowFixture f(pipelineStages());
  f.tree().write("src/broken.g3", "this is no fax at all");
  f.tree().write("src/memo.g3", readText(TARNWELL_SOURCE_DIR "/samples/memo.g3"));
  f.tree().write("src/old.pdf", "%PDF-1.4\n");
  const std::string src = f.tree().path("src");
  const std::string out = f.tree().path("out");
  f.chooseSourceDirectory(src);
  f.chooseDestination(out);
  ASSERT_TRUE(f.runToEnd());

  auto* list = f.find<QTreeWidget>("results");
  EXPECT_EQ(column(list, 0), (std::vector<std::string>{src + "/broken.g3", src + "/memo.g3",
                                                        src + "/old.pdf"}));
  EXPECT_EQ(column(list, 1), (std::vector<std::string>{"", out + "/memo.pdf", ""}));
  EXPECT_EQ(column(list, 2),
            (std::vector<std::string>{"Not FAX!", "Converted!", "Already PDF!"}));
  EXPECT_EQ(f.find<QLabel>("status")->text(), "Done. 1 FAX files converted");
  EXPECT_EQ(f.find<QProgressBar>("progress")->value(), 3);
  EXPECT_TRUE(f.find<QPushButton>("go")->isEnabled());
  EXPECT_FALSE(f.find<QPushButton>("cancel")->isEnabled());
  EXPECT_EQ(pdfProblems(out + "/memo.pdf"), "");

  // The run's report: header, one line per converted-or-failed file, no total line; the log
  // holds it as one dated entry with CR before every LF.
  const std::string report = f.page().lastReport();
  EXPECT_EQ(report, "Source Dir: " + src + "\r\nDestination Dir: " + out + "\r\n\r\n" + src +
                        "/broken.g3 --> " + out + "/broken.pdf : Failed : " + src +
                        "/broken.g3 - Not Fax\r\n" + src + "/memo.g3 --> " + out +
                        "/memo.pdf : Success !\r\n");
  std::vector<fs::path> logs;
  for (const auto& e : fs::directory_iterator(f.paths().logDirectory)) logs.push_back(e.path());
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].extension(), ".log");
  EXPECT_EQ(logs[0].stem().string().size(), 14u);
  const std::string log = readText(logs[0].string());
  const std::string separator = "\r\r\n--------------------------\r\r\n";
  const auto body = log.find(separator);
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(log.substr(body + separator.size(), 12), "Source Dir: ");
  EXPECT_EQ(log.find("Total converted"), std::string::npos);
}

// Pipeline stages whose first file waits until the test lets it go.
class GatedStages : public FakeStages {
 public:
  mutable std::atomic<int> engineCalls{0};
  std::promise<void> release;
  std::shared_future<void> gate{release.get_future().share()};

  EngineRun runEngine(const EngineSetup& setup, const std::string& source, FaxFormat format,
                      const std::string& out) const override {
    if (engineCalls++ == 0) gate.wait();
    return FakeStages::runEngine(setup, source, format, out);
  }
};

// Cancel in the middle of a file: the file is finished, no further file is begun. When the file
// takes longer than Cancel's wait, Go stays disabled until the worker has really ended.
class CancelTest : public testing::TestWithParam<int> {};

TEST_P(CancelTest, StopsBeforeTheNextFile) {
  const int releaseAfterMs = GetParam();
  GatedStages stages;
  WindowFixture f(stages);
  for (const char* name : {"a.g3", "b.g3", "c.g3", "d.g3"}) f.tree().write(std::string("src/") + name, "x");
  f.chooseSourceDirectory(f.tree().path("src"));
  f.chooseDestination(f.tree().path("out"));
  QSignalSpy ended(&f.page(), &ui::ConvertPage::runEnded);
  f.click("go");
  auto* go = f.find<QPushButton>("go");
  EXPECT_FALSE(go->isEnabled());
  while (stages.engineCalls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(releaseAfterMs));
    stages.release.set_value();
  });
  f.click("cancel");
  if (releaseAfterMs > 2000) {
    EXPECT_FALSE(go->isEnabled());  // the worker is still inside its file
    EXPECT_TRUE(ended.wait(10000));
  }
  releaser.join();
  EXPECT_TRUE(go->isEnabled());
  EXPECT_FALSE(f.find<QPushButton>("cancel")->isEnabled());
  EXPECT_EQ(stages.engineCalls, 1);
  QTest::qWait(50);  // the worker's last reports arrive queued
  auto* list = f.find<QTreeWidget>("results");
  EXPECT_EQ(column(list, 2), std::vector<std::string>{"Converted!"});
  EXPECT_EQ(f.find<QLabel>("status")->text(), "Cancelled. 1 of 4 FAX files converted");

  // The next Go converts the whole list again.
  ASSERT_TRUE(f.runToEnd());
  EXPECT_EQ(stages.engineCalls, 5);
  EXPECT_EQ(list->topLevelItemCount(), 4);
  EXPECT_EQ(f.find<QLabel>("status")->text(), "Done. 4 FAX files converted");
}

INSTANTIATE_TEST_SUITE_P(Timing, CancelTest, testing::Values(200, 2600),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param > 2000 ? std::string("FileOutlastsTheWait")
                                                    : std::string("FileEndsWithinTheWait");
                         });

// Closing the window in the middle of a file lets that file finish and begins no other; the
// worker has ended before the window's settings go.
TEST(ConvertPageRunTest, ClosingTheWindowDuringARunEndsTheWorkerFirst) {
  GatedStages stages;
  auto f = std::make_unique<WindowFixture>(stages);
  for (const char* name : {"a.g3", "b.g3", "c.g3"}) f->tree().write(std::string("src/") + name, "x");
  f->chooseSourceDirectory(f->tree().path("src"));
  f->chooseDestination(f->tree().path("out"));
  f->click("go");
  while (stages.engineCalls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stages.release.set_value();
  });
  f.reset();
  releaser.join();
  EXPECT_EQ(stages.engineCalls, 1);
}

TEST(ConvertPageRunTest, UnmakeableDestinationShowsTheErrorAndFailsEveryFile) {
  FakeStages stages;
  WindowFixture f(stages);
  f.tree().write("src/a.g3", "x");
  f.tree().write("blocker", "a file where the destination directory should go");
  f.chooseSourceDirectory(f.tree().path("src"));
  f.chooseDestination(f.tree().path("blocker/out"));
  ASSERT_TRUE(f.runToEnd());
  QTest::qWait(20);
  ASSERT_EQ(f.dialogs().errors.size(), 1u);
  EXPECT_EQ(f.dialogs().errors[0], std::make_pair(QString("Error"), QString("Error Save Dir")));
  EXPECT_EQ(column(f.find<QTreeWidget>("results"), 2), std::vector<std::string>{"Not FAX!"});
  EXPECT_NE(f.page().lastReport().find("Failed to create save dir : "), std::string::npos);
}

}  // namespace
}  // namespace tarnwell::test
