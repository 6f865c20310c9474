#include "app/DirectoryBatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "FakeStages.h"
#include "support/TempTree.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

// Destination naming with source directory "in" and destination directory "out".
struct NamingCase {
  const char* entry;
  int keepExtension;
  int keepHierarchy;
  const char* expected;
};

class Naming : public testing::TestWithParam<NamingCase> {};

TEST_P(Naming, DerivesDestination) {
  const NamingCase& c = GetParam();
  ConversionJob job;
  job.sourcePath = "in";
  job.destinationPath = "out";
  job.keepSourceExtension = static_cast<uint8_t>(c.keepExtension);
  job.keepHierarchy = c.keepHierarchy;
  EXPECT_EQ(destinationFor(job, std::string("in/") + c.entry), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Naming,
    testing::Values(NamingCase{"a.g3", 0, 0, "out/a.pdf"},
                    NamingCase{"sub/b.fax", 0, 0, "out/b.pdf"},
                    NamingCase{"sub/b.fax", 0, 1, "out/sub/b.pdf"},
                    NamingCase{"a.g3", 1, 0, "out/a.g3.pdf"},
                    NamingCase{"noext", 0, 0, "out/noext.pdf"},
                    NamingCase{"a.b.c", 0, 0, "out/a.b.pdf"},
                    // keepHierarchy counts only when it equals 1.
                    NamingCase{"sub/b.fax", 0, 2, "out/b.pdf"},
                    // Only the leading source directory is replaced.
                    NamingCase{"bin/a.g3", 0, 1, "out/bin/a.pdf"},
                    NamingCase{"in/a.g3", 0, 1, "out/in/a.pdf"},
                    // A dot in a directory name does not start an extension.
                    NamingCase{"v1.2/noext", 0, 1, "out/v1.2/noext.pdf"},
                    NamingCase{"v1.2/noext", 0, 0, "out/noext.pdf"},
                    NamingCase{".profile", 0, 0, "out/.profile.pdf"}),
    [](const auto& info) { return test::nameFrom(std::string(info.param.entry) + "_Ext" + std::to_string(info.param.keepExtension) + "_Tree" + std::to_string(info.param.keepHierarchy)); });

TEST(Naming, DotInSourceDirectoryIsNoExtension) {
  ConversionJob job;
  job.sourcePath = "../faxes.old";
  job.destinationPath = "/tmp/o";
  EXPECT_EQ(destinationFor(job, "../faxes.old/memo"), "/tmp/o/memo.pdf");
}

class CollectFiles : public testing::Test {
 protected:
  void SetUp() override {
    tree.write("src/a.g3", "1");
    tree.write("src/b.txt", "2");         // never a fax: left out
    tree.write("src/report.pdf", "3");
    tree.write("src/sub/c.fax", "4");
    tree.write("src/sub/deeper/d.g3", "5");
    tree.write("src/x.g3/e.g3", "6");     // a directory whose name matches *.g3
    job.sourcePath = tree.path("src");
  }
  test::TempTree tree;
  ConversionJob job;
  std::vector<std::string> list;
};

TEST_F(CollectFiles, FlatWalkListsMatchingFiles) {
  collectFiles(job, job.sourcePath, false, list);
  EXPECT_THAT(list, UnorderedElementsAre("a.g3", "report.pdf"));
}

TEST_F(CollectFiles, RecursiveWalkIsDepthFirst) {
  collectFiles(job, job.sourcePath, true, list);
  EXPECT_THAT(list,
              ElementsAre("a.g3", "report.pdf", "sub/c.fax", "sub/deeper/d.g3", "x.g3/e.g3"));
}

TEST_F(CollectFiles, FilterAppliesToDirectoryNamesToo) {
  job.filter = "*.G3";
  collectFiles(job, job.sourcePath, true, list);
  EXPECT_THAT(list, UnorderedElementsAre("a.g3", "x.g3/e.g3"));
}

TEST_F(CollectFiles, TrailingSeparatorOnSourceGivesSameEntries) {
  job.sourcePath += "/";
  collectFiles(job, job.sourcePath, true, list);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_EQ(list.front(), "a.g3");
}

TEST_F(CollectFiles, SpecialFilesAndDirectoryLinksAreSkipped) {
  ASSERT_EQ(::mkfifo(tree.path("src/pipe.g3").c_str(), 0600), 0);
  fs::create_directory_symlink(tree.path("src"), tree.path("src/sub/loop"));
  fs::create_symlink(tree.path("src/a.g3"), tree.path("src/link.g3"));
  collectFiles(job, job.sourcePath, true, list);
  EXPECT_THAT(list, ElementsAre("a.g3", "link.g3", "report.pdf", "sub/c.fax",
                                        "sub/deeper/d.g3", "x.g3/e.g3"));
}

TEST_F(CollectFiles, MissingOrEmptyDirectoryListsNothing) {
  collectFiles(job, tree.path("nowhere"), true, list);
  collectFiles(job, tree.write("file.g3", "x"), true, list);
  collectFiles(job, "", true, list);  // never the root directory
  EXPECT_TRUE(list.empty());
}

// A listed file is already PDF when its path ends in "pdf" in any letter case, whatever comes
// before; the Convert page and the directory run share this rule.
struct PdfNameCase {
  const char* path;
  bool alreadyPdf;
};

class AlreadyPdf : public testing::TestWithParam<PdfNameCase> {};

TEST_P(AlreadyPdf, LooksAtTheLastThreeCharacters) {
  EXPECT_EQ(endsWithPdf(GetParam().path), GetParam().alreadyPdf) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Names, AlreadyPdf,
    testing::Values(PdfNameCase{"in/a.pdf", true}, PdfNameCase{"in/a.PDF", true},
                    PdfNameCase{"in/a.pDf", true}, PdfNameCase{"in/apdf", true},
                    PdfNameCase{"pdf", true}, PdfNameCase{"df", false}, PdfNameCase{"", false},
                    PdfNameCase{"in/a.pdf.g3", false}, PdfNameCase{"in/a.pdx", false},
                    PdfNameCase{"in/a.qdf", false}, PdfNameCase{"in/a.p", false}));

class ConvertList : public testing::Test {
 protected:
  void SetUp() override {
    paths = makeWorkingPaths(tree.path("prog/tarnwell"), tree.mkdir("tmp") + "/");
    settings = ConversionSettings{};
    job.sourcePath = tree.path("src");
    job.destinationPath = tree.path("dst");
  }
  test::TempTree tree;
  WorkingPaths paths;
  ConversionSettings settings;
  ConversionJob job;
  test::FakeStages stages;
  std::vector<std::string> files;
  RunReport report;
  BatchTally run() { return convertDirectory({job, settings, paths}, files, report, stages); }
};

TEST_F(ConvertList, ReportHasHeaderLinesAndTotal) {
  tree.write("src/a.g3", "1");
  tree.write("src/Report.PDF", "2");
  tree.write("src/sub/b.fax", "3");
  files = {"a.g3", "Report.PDF", "sub/b.fax"};
  report.logText = "dropped";
  const std::string s = job.sourcePath, d = job.destinationPath;
  const BatchTally tally = run();
  EXPECT_EQ(tally.converted, 2);
  EXPECT_EQ(tally.alreadyPdf, 1);
  EXPECT_EQ(tally.failed, 0);
  EXPECT_EQ(report.logText, "Source Dir: " + s + "\r\nDestination Dir: " + d + "\r\n\r\n" +
                             s + "/a.g3 --> " + d + "/a.pdf : Success !\r\n" +
                             s + "/Report.PDF : already PDF format, need no converting!\n" +
                             s + "/sub/b.fax --> " + d + "/b.pdf : Success !\r\n" +
                             "\r\n---------\r\nTotal converted FAX files: 2\r\n");
}

TEST_F(ConvertList, CountsOnlyConvertedFiles) {
  tree.write("src/a.g3", "1");
  files = {"a.g3", "missing.g3"};
  const BatchTally tally = run();
  EXPECT_EQ(tally.converted, 1);
  EXPECT_EQ(tally.failed, 1);
  EXPECT_NE(report.logText.find(" - Not Fax\r\n"), std::string::npos);
  EXPECT_TRUE(report.logText.ends_with("Total converted FAX files: 1\r\n"));
}

TEST_F(ConvertList, EmptyListGivesHeaderAndZero) {
  const BatchTally tally = run();
  EXPECT_EQ(tally.converted + tally.alreadyPdf + tally.failed, 0);
  EXPECT_TRUE(report.logText.ends_with("\r\n\r\n\r\n---------\r\nTotal converted FAX files: 0\r\n"));
}

TEST_F(ConvertList, EmptyDestinationDoesNothing) {
  job.destinationPath.clear();
  files = {"a.g3"};
  report.logText = "kept";
  const BatchTally tally = run();
  EXPECT_EQ(tally.converted + tally.alreadyPdf + tally.failed, 0);
  EXPECT_EQ(report.logText, "kept");
  EXPECT_TRUE(stages.calls.empty());
}

}  // namespace
}  // namespace tarnwell
