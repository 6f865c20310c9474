#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "app/Program.h"
#include "faxin/FormatClassifier.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

TEST(WorkingPaths, BesideAWritableProgramDirectory) {
  const WorkingPaths p = makeWorkingPaths("/opt/tw/bin/tarnwell", "/var/tmp/", true);
  EXPECT_EQ(p.moduleDirectory, "/opt/tw/bin");
  EXPECT_EQ(p.workFilePath, "/opt/tw/bin/trwtmp.tmp");
  EXPECT_EQ(p.segmentFilePath, "/opt/tw/bin/trwseg.tmp");
  EXPECT_EQ(p.lockFilePath, "/opt/tw/bin/trwlock.tmp");
  EXPECT_EQ(p.logDirectory, "/opt/tw/bin/log/");
  EXPECT_EQ(p.scratchTiffPath, "/var/tmp/trwtif.tmp");
  EXPECT_EQ(p.intermediateTiffPath, "/var/tmp/trwintif.tmp");
  EXPECT_EQ(p.pdfReadyTiffPath, "/var/tmp/trwcptif.tmp");
}

TEST(WorkingPaths, InTheTemporaryDirectoryWhenProgramDirectoryIsReadOnly) {
  const WorkingPaths p = makeWorkingPaths("/usr/bin/tarnwell", "/tmp/", false);
  EXPECT_EQ(p.workFilePath, "/tmp/trwtmp.tmp");
  EXPECT_EQ(p.segmentFilePath, "/tmp/trwseg.tmp");
  EXPECT_EQ(p.lockFilePath, "/tmp/trwlock.tmp");
  EXPECT_EQ(p.logDirectory, "/usr/bin/log/");  // the log stays beside the program
}

TEST(WorkingPaths, AllWorkingFilesAndTheLockInAnOwnWorkDirectory) {
  for (const bool writable : {true, false}) {
    const WorkingPaths p = makeWorkingPaths("/opt/tw/tarnwell", "/tmp/", writable, "/w/job1/");
    EXPECT_EQ(p.workFilePath, "/w/job1/trwtmp.tmp");
    EXPECT_EQ(p.segmentFilePath, "/w/job1/trwseg.tmp");
    EXPECT_EQ(p.lockFilePath, "/w/job1/trwlock.tmp");
    EXPECT_EQ(p.scratchTiffPath, "/w/job1/trwtif.tmp");
    EXPECT_EQ(p.intermediateTiffPath, "/w/job1/trwintif.tmp");
    EXPECT_EQ(p.pdfReadyTiffPath, "/w/job1/trwcptif.tmp");
    EXPECT_EQ(p.logDirectory, "/opt/tw/log/");  // the log stays where it was
  }
}

TEST(Settings, DefaultsOfAFreshRun) {
  const WorkingPaths p = makeWorkingPaths("/a/b", "/t/", true);
  const ConversionSettings s = defaultSettings(p);
  EXPECT_EQ(s.pageCount, 0);
  EXPECT_EQ(s.threshold, 50);
  EXPECT_EQ(s.flagNum, 3);
  EXPECT_EQ(s.bitOrder, 0);
  EXPECT_EQ(s.verticalResolution, 0);
  EXPECT_EQ(s.nonStandardWidth, 1);
  EXPECT_EQ(s.minWidth, 1728);
  EXPECT_EQ(s.splitPages, 0);
  EXPECT_EQ(s.rawFax, 0);
  EXPECT_EQ(s.recountLines, 0);
  EXPECT_EQ(s.workFilePath, "/a/trwtmp.tmp");
  EXPECT_EQ(s.scratchTiffPath, "/t/trwtif.tmp");
}

TEST(ProgramArguments, EachArgumentStaysOneToken) {
  const char* argv[] = {"tarnwell", "/f", "a b", "c"};
  EXPECT_EQ(programArguments(4, argv), (std::vector<std::string>{"/f", "a b", "c"}));
  EXPECT_TRUE(programArguments(1, argv).empty());
}

// The committed sample faxes are exactly what the generator writes.
TEST(Samples, MatchTheGenerator) {
  const std::string generator = TARNWELL_BINARY_DIR "/tarnwell_make_samples";
  if (!std::filesystem::exists(generator)) GTEST_SKIP() << "generator not built";
  test::TempTree tree;
  ASSERT_EQ(test::runCommand(test::shellQuote(generator) + " " + test::shellQuote(tree.path())).exitCode, 0);
  for (const char* name : {"letter.tif", "memo.g3"}) {
    const std::string committed = test::readText(TARNWELL_SOURCE_DIR "/samples/" + std::string(name));
    EXPECT_FALSE(committed.empty()) << name;
    EXPECT_EQ(committed, test::readText(tree.path(name))) << name;
  }
  EXPECT_EQ(classifyFile(TARNWELL_SOURCE_DIR "/samples/letter.tif"), FaxFormat::kTiff);
  EXPECT_EQ(classifyFile(TARNWELL_SOURCE_DIR "/samples/memo.g3"), FaxFormat::kRaw);
}

}  // namespace
}  // namespace tarnwell
