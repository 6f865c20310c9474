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

TEST(WorkingPaths, AllWorkingFilesAndTheLockInTheWorkDirectory) {
  for (const auto kind : {WorkDirectoryKind::kOwn, WorkDirectoryKind::kPrivate}) {
    const WorkingPaths p = makeWorkingPaths("/opt/tw/bin/tarnwell", "/w/job1/", kind);
    EXPECT_EQ(p.moduleDirectory, "/opt/tw/bin");
    EXPECT_EQ(p.workDirectory, "/w/job1/");
    EXPECT_EQ(p.privateDirectory, kind == WorkDirectoryKind::kPrivate);
    EXPECT_EQ(p.engineFiles.workFilePath, "/w/job1/trwtmp.tmp");
    EXPECT_EQ(p.engineFiles.segmentFilePath, "/w/job1/trwseg.tmp");
    EXPECT_EQ(p.lockFilePath, "/w/job1/trwlock.tmp");
    EXPECT_EQ(p.engineFiles.scratchTiffPath, "/w/job1/trwtif.tmp");
    EXPECT_EQ(p.intermediateTiffPath, "/w/job1/trwintif.tmp");
    EXPECT_EQ(p.pdfReadyTiffPath, "/w/job1/trwcptif.tmp");
    EXPECT_EQ(p.logDirectory, "/opt/tw/bin/log/");  // the log stays beside the program
  }
}

// The runtime directory wins; without it the temporary directory, with the user id in the name.
TEST(WorkingPaths, PrivateDirectoryName) {
  EXPECT_EQ(privateWorkDirectory("/run/user/1000/", "/tmp/", 1000), "/run/user/1000/tarnwell/");
  EXPECT_EQ(privateWorkDirectory("", "/tmp/", 1000), "/tmp/tarnwell-1000/");
  EXPECT_EQ(privateWorkDirectory("", "/var/tmp/x/", 0), "/var/tmp/x/tarnwell-0/");
}

TEST(Settings, DefaultsOfAFreshRun) {
  const ConversionSettings s;
  EXPECT_EQ(s.engine.threshold, 50);
  EXPECT_EQ(s.engine.flagNum, 3);
  EXPECT_EQ(s.engine.bitOrder, 0);
  EXPECT_EQ(s.engine.verticalResolution, 0);
  EXPECT_EQ(s.engine.nonStandardWidth, 1);
  EXPECT_EQ(s.engine.minWidth, 1728);
  EXPECT_EQ(s.engine.splitPages, 0);
  EXPECT_EQ(s.engine.rawFax, 0);
  EXPECT_EQ(s.engine.recountLines, 0);
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
