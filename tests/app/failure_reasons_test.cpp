// Every file that fails gets one line on standard error naming the file and why it failed, while
// the report and the log keep their lines exactly as before. Conversions running side by side
// (/j=2) each report their own reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using test::RawEntry;

// An uncompressed 8 x 8 page, then a Group 4 page declaring 40000 x 60000 pixels in 8 bytes.
std::string secondPageTooLarge() {
  std::string data(8, '\x55');
  data += std::string("\xC8\0\0\0\x01\0\0\0", 8);  // 200/1 pixels per inch
  const std::vector<RawEntry> first = test::faxPageEntries(8, 8, 1, 400, 8, 408);
  const std::vector<RawEntry> second = test::faxPageEntries(40000, 60000, 4, 400, 8, 408);
  return test::rawTiff({first, second}, data, 400);
}

struct FailingFile {
  const char* name;
  std::string bytes;
  const char* reportEnding;  // what the report line says after "Failed : <source> - "
  std::string reason;        // the whole reason, or its start when `reasonIsStart`
  bool reasonIsStart;
};

std::vector<FailingFile> failingFiles() {
  return {
      {"a_second_page_too_large.tif", secondPageTooLarge(), "Error in prearing to pdf conversion",
       "TIFF directory 2: ", true},
      {"b_not_a_tiff.tif", "plain text, not a TIFF at all", "Error in prearing to pdf conversion",
       "", true},
      {"c_empty.tif", "", "Error in prearing to pdf conversion", "", true},
      {"d_no_coding.g3", "hello", "Not Fax", "no fax page found in the file", false},
  };
}

class FailureReasons : public testing::Test {
 protected:
  void SetUp() override {
    bin = tree.mkdir("bin");
    tree.mkdir("bin/log");
    fs::copy_file(TARNWELL_PROGRAM, bin + "/tarnwell");
    how.program = bin + "/tarnwell";
    how.tmpDir = tree.mkdir("tmp");
  }

  // The log's entries, whatever their name: the one file the run wrote into bin/log.
  std::string onlyLog() const {
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(bin + "/log")) logs.push_back(entry.path());
    return logs.size() == 1 ? test::readText(logs.front().string()) : std::string();
  }

  test::TempTree tree;
  std::string bin;
  test::ProgramRun how;
};

// One run per file: the line on standard error is "tarnwell: <source>: <reason>", the report
// and the log end with the file's usual failure line.
TEST_F(FailureReasons, EachFailingFileGetsOneLineWithItsReason) {
  for (const FailingFile& f : failingFiles()) {
    SCOPED_TRACE(f.name);
    fs::remove_all(bin + "/log");
    tree.mkdir("bin/log");
    const std::string source = tree.write(std::string("in/") + f.name, f.bytes);
    const std::string pdf = tree.path("out/x.pdf");
    const test::CommandResult run = test::runProgram(how, {"/f", source, pdf});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(pdf));

    const std::string head = "tarnwell: " + source + ": ";
    ASSERT_TRUE(run.err.starts_with(head)) << run.err;
    ASSERT_TRUE(run.err.ends_with("\n")) << run.err;
    const std::string reason = run.err.substr(head.size(), run.err.size() - head.size() - 1);
    EXPECT_EQ(reason.find('\n'), std::string::npos) << "one line only: " << run.err;
    if (f.reasonIsStart) {
      EXPECT_TRUE(reason.starts_with(f.reason)) << reason;
      EXPECT_GT(reason.size(), f.reason.size()) << "a reason follows: " << reason;
    } else {
      EXPECT_EQ(reason, f.reason);
    }

    const std::string line = source + " --> " + pdf + " : Failed : " + source + " - " +
                             f.reportEnding;
    EXPECT_NE(run.out.find(line + "\r\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("tarnwell:"), std::string::npos) << run.out;
    const std::string log = onlyLog();
    EXPECT_NE(log.find(line + "\r\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(reason), std::string::npos) << "the reason stays out of the log: " << log;
  }
}

// All of them in one directory with a good fax among them, two at a time: one line per failing
// file in the order of the list, each with the reason its own run gives, and none for the fax
// that converts.
TEST_F(FailureReasons, SideBySideConversionsKeepTheirOwnReasons) {
  const std::string good = tree.path("in/c_good.tif");
  fs::create_directories(tree.path("in"));
  fs::copy_file(std::string(TARNWELL_SOURCE_DIR) + "/samples/letter.tif", good);
  std::string expected;
  for (const FailingFile& f : failingFiles()) {
    const std::string source = tree.write(std::string("single/") + f.name, f.bytes);
    const test::CommandResult alone = test::runProgram(how, {"/q", "/f", source, tree.path("x.pdf")});
    ASSERT_TRUE(alone.err.starts_with("tarnwell: " + source + ": ")) << alone.err;
    const std::string listed = tree.write(std::string("in/") + f.name, f.bytes);
    expected += "tarnwell: " + listed + alone.err.substr(("tarnwell: " + source).size());
  }
  fs::remove_all(bin + "/log");
  tree.mkdir("bin/log");
  const test::CommandResult run =
      test::runProgram(how, {"/q", "/j=2", "/d", tree.path("in"), tree.path("out")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, expected);
  EXPECT_TRUE(fs::exists(tree.path("out/c_good.pdf")));
  const std::string log = onlyLog();
  for (const FailingFile& f : failingFiles()) {
    const std::string source = tree.path(std::string("in/") + f.name);
    EXPECT_NE(log.find(" : Failed : " + source + " - " + f.reportEnding + "\r\r\n"),
              std::string::npos)
        << f.name << "\n" << log;
  }
  EXPECT_NE(log.find(good + " --> " + tree.path("out/c_good.pdf") + " : Success !"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace tarnwell
