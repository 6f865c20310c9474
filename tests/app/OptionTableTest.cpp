// The option table against what is written about it elsewhere, and the batch driver's reports.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "FakeStages.h"
#include "app/BatchDriver.h"
#include "app/DirectoryBatch.h"
#include "app/Options.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every token of the table has its entry in the manual page's options and in the help text, and
// the manual page names no option the table lacks.
TEST(OptionTable, ManualPageAndHelpListEveryOption) {
  const std::string man = fileText(TARNWELL_SOURCE_DIR "/packaging/tarnwell.1.in");
  const std::size_t start = man.find(".SH OPTIONS");
  const std::size_t end = man.find(".SH", start + 1);
  ASSERT_NE(start, std::string::npos);
  const std::string options = man.substr(start, end - start);
  std::ostringstream help;
  printHelp(help);
  std::set<std::string> tokens;
  for (const OptionRow& row : optionTable()) {
    if (row.token.empty()) continue;
    tokens.insert(std::string(row.token));
    EXPECT_NE(options.find(row.token), std::string::npos) << row.token;
    EXPECT_NE(help.str().find(row.helpName), std::string::npos) << row.helpName;
  }
  // Each entry of the page's list begins with the option it describes.
  std::istringstream lines(options);
  std::string line;
  bool entry = false;
  while (std::getline(lines, line)) {
    if (line == ".TP") {
      entry = true;
      continue;
    }
    if (!entry) continue;
    entry = false;
    std::string word = line.substr(line.find(' ') + 1);
    word = word.substr(0, word.find_first_of(" \""));
    if (word.starts_with("\\-")) continue;  // --help, --version
    if (const std::size_t value = word.find('='); value != std::string::npos)
      word.resize(value + 1);
    const bool known = tokens.count(word) > 0;
    EXPECT_TRUE(known) << "the manual page describes " << word << ", which the table lacks";
  }
}

// The window's controls have names and labels of their own, and a token sets what the window's
// control for the same field shows.
TEST(OptionTable, RowsAreWellFormed) {
  std::set<std::string_view> names;
  for (const OptionRow& row : optionTable()) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    if (row.widget != OptionWidget::kNone) {
      EXPECT_FALSE(row.label.empty()) << row.name;
      EXPECT_NE(row.page, OptionPage::kNone) << row.name;
    }
    const bool text = row.value == OptionValue::kText || row.widget == OptionWidget::kTextField;
    EXPECT_TRUE(text ? row.setText != nullptr : row.set != nullptr) << row.name;
  }
  ConversionJob job;
  ConversionSettings settings;
  ASSERT_TRUE(applyOptionToken("/v=3", {job, settings}));
  EXPECT_EQ(findOption("vertical")->get({job, settings}), 3);
  ASSERT_TRUE(applyOptionToken("/b=2", {job, settings}));
  EXPECT_EQ(findOption("leastBitFirst")->get({job, settings}), 2);
}

// The driver reports every file once, in list order, whatever the number of workers, and a
// cancel stops it before its next file.
TEST(BatchDriver, ReportsInListOrderAndStopsOnCancel) {
  test::TempTree tree;
  ConversionRequest request;
  request.paths = makeWorkingPaths(tree.path("prog/tarnwell"), tree.mkdir("tmp") + "/");
  request.job.sourcePath = tree.mkdir("src");
  request.job.destinationPath = tree.path("dst");
  std::vector<std::string> files;
  for (int i = 0; i < 12; ++i) {
    files.push_back("f" + std::to_string(i) + (i == 5 ? ".pdf" : ".g3"));
    tree.write("src/" + files.back(), "x");
  }
  test::FakeStages stages;
  for (int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    request.job.jobs = jobs;
    std::vector<std::size_t> order;
    BatchCallbacks callbacks;
    callbacks.finished = [&](std::size_t index, const FileReport&) { order.push_back(index); };
    const BatchTally tally = runBatch(request, files, callbacks, stages);
    EXPECT_EQ(tally.converted, 11);
    EXPECT_EQ(tally.alreadyPdf, 1);
    ASSERT_EQ(order.size(), files.size());
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
  }

  request.job.jobs = 1;
  std::atomic<bool> cancel{false};
  std::size_t reported = 0;
  BatchCallbacks callbacks;
  callbacks.cancel = &cancel;
  callbacks.started = [&](std::size_t index, const std::string&) { cancel = index == 2; };
  callbacks.finished = [&](std::size_t, const FileReport&) { ++reported; };
  const BatchTally tally = runBatch(request, files, callbacks, stages);
  EXPECT_EQ(reported, 3u);
  EXPECT_EQ(tally.notStarted, 9);
}

}  // namespace
}  // namespace tarnwell
