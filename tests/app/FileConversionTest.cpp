#include "app/FileConversion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "FakeStages.h"
#include "platform/Platform.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

class ConvertFile : public testing::Test {
 protected:
  void SetUp() override {
    paths = makeWorkingPaths(tree.path("prog/tarnwell"), tree.mkdir("tmp") + "/");
    tree.mkdir("prog");
    settings = ConversionSettings{};
  }
  bool convert(const std::string& source, const std::string& destination) {
    return convert(source, destination, paths, stages);
  }
  bool convert(const std::string& source, const std::string& destination,
               const WorkingPaths& with, const ConversionStages& through) {
    const FileReport file = convertFile({source, destination}, job, settings, with, through);
    log.add(file);
    return file.result == FileResult::kConverted;
  }
  std::string line(const std::string& source, const std::string& destination,
                   const std::string& ending) {
    return source + " --> " + destination + " : " + ending;
  }

  test::TempTree tree;
  WorkingPaths paths;
  ConversionSettings settings;
  ConversionJob job;
  RunReport log;
  test::FakeStages stages;
};

TEST_F(ConvertFile, FaxSourceRunsAllThreeStages) {
  const std::string src = tree.write("in/a.g3", "fax bytes");
  const std::string dst = tree.path("out/deep/er/a.pdf");
  settings.engine.bitOrder = 2;
  settings.checkHelpers = 2;
  EXPECT_TRUE(convert(src, dst));
  EXPECT_EQ(log.logText, line(src, dst, "Success !\r\n"));
  ASSERT_EQ(stages.calls.size(), 3u);
  EXPECT_EQ(stages.calls[0], "engine " + src + " -> " + paths.intermediateTiffPath);
  EXPECT_EQ(stages.calls[1],
            "copy " + paths.intermediateTiffPath + " -> " + paths.pdfReadyTiffPath);
  EXPECT_EQ(stages.calls[2], "pdf " + paths.pdfReadyTiffPath + " -> " + dst);
  EXPECT_EQ(stages.copyRequest.options.compression, 6);
  EXPECT_EQ(stages.engineSetup.settings.bitOrder, 2);
  EXPECT_EQ(stages.engineSetup.checkHelpers, 2);
  EXPECT_EQ(stages.copyRequest.checkHelpers, 2);
  EXPECT_EQ(stages.engineSetup.files.workFilePath, paths.engineFiles.workFilePath);
  EXPECT_TRUE(platform::isRegularFile(dst));  // all directory levels were made
}

TEST_F(ConvertFile, TiffSourceSkipsTheEngineAndKeepsCompression) {
  const std::string src = tree.write("in/Scan.TIFF", "II*");
  const std::string dst = tree.path("out/Scan.pdf");
  EXPECT_TRUE(convert(src, dst));
  ASSERT_EQ(stages.calls.size(), 2u);
  EXPECT_EQ(stages.calls[0], "copy " + src + " -> " + paths.pdfReadyTiffPath);
  EXPECT_EQ(stages.copyRequest.options.compression, -1);
}

// Each failing stage gives its own ending, and no later stage runs.
struct FailureCase {
  const char* name;
  EngineOutcome engine;
  TiffCopyResult copy;
  T2pResult pdf;
  const char* ending;
  size_t stagesRun;
};

constexpr TiffCopyResult kCopied = TiffCopyResult::kCopied;
constexpr T2pResult kWritten = T2pResult::kWritten;

class StageFailure : public ConvertFile, public testing::WithParamInterface<FailureCase> {};

TEST_P(StageFailure, ReportsEnding) {
  const FailureCase& c = GetParam();
  stages.engineOutcome = c.engine;
  stages.copyResult = c.copy;
  stages.pdfResult = c.pdf;
  const std::string src = tree.write("in/x.fax", "data");
  const std::string dst = tree.path("out/x.pdf");
  EXPECT_FALSE(convert(src, dst));
  EXPECT_EQ(log.logText, line(src, dst, "Failed : " + src + " - " + c.ending + "\r\n"));
  EXPECT_EQ(stages.calls.size(), c.stagesRun);
  EXPECT_FALSE(fs::exists(dst));
}

INSTANTIATE_TEST_SUITE_P(
    Stages, StageFailure,
    testing::Values(
        FailureCase{"NoPages", EngineOutcome::kNoPages, kCopied, kWritten, "Not Fax", 1},
        FailureCase{"EngineWrite", EngineOutcome::kWriteFailed, kCopied, kWritten, "Error Fax", 1},
        FailureCase{"Copy", EngineOutcome::kConverted, TiffCopyResult::kImageFailed, kWritten,
                    "Error in prearing to pdf conversion", 2},
        FailureCase{"Pdf", EngineOutcome::kConverted, kCopied, T2pResult::kFailed,
                    "Error in converting to pdf", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConvertFile, ExceptionInAStageIsReported) {
  stages.throwInEngine = true;
  const std::string src = tree.write("a.g3", "x");
  EXPECT_FALSE(convert(src, tree.path("a.pdf")));
  EXPECT_EQ(log.logText,
            line(src, tree.path("a.pdf"), "Exception : Failed in FAX to PDF conversion\r\n"));
}

// Sources that cannot be read never reach a stage; they get the ending their stage would give.
struct UnreadableCase {
  const char* name;
  const char* ending;
};

class UnreadableSource : public ConvertFile, public testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableSource, GivesStageEndingWithoutRunningIt) {
  const std::string kind = GetParam().name;
  std::string src;
  if (kind == "MissingFax") src = tree.path("missing.g3");
  if (kind == "MissingTiff") src = tree.path("missing.tif");
  if (kind == "Directory") src = tree.mkdir("dir.g3");
  if (kind == "NamedPipe") {
    src = tree.path("pipe.g3");
    ASSERT_EQ(::mkfifo(src.c_str(), 0600), 0);
  }
  // kind "EmptyPath" keeps src empty.
  const std::string dst = tree.path("out/x.pdf");
  EXPECT_FALSE(convert(src, dst));
  EXPECT_EQ(log.logText,
            line(src, dst, "Failed : " + src + " - " + GetParam().ending + "\r\n"));
  EXPECT_TRUE(stages.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnreadableSource,
    testing::Values(UnreadableCase{"MissingFax", "Not Fax"},
                    UnreadableCase{"MissingTiff", "Error in prearing to pdf conversion"},
                    UnreadableCase{"Directory", "Not Fax"}, UnreadableCase{"NamedPipe", "Not Fax"},
                    UnreadableCase{"EmptyPath", "Not Fax"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConvertFile, DestinationUnderAFileCannotBeMade) {
  const std::string src = tree.write("a.g3", "x");
  const std::string blocker = tree.write("out", "I am a file");
  const std::string dst = tree.path("out/sub/a.pdf");
  EXPECT_FALSE(convert(src, dst));
  EXPECT_EQ(log.logText,
            line(src, dst, "Failed to create save dir : " + blocker + "/sub\r\n"));
  EXPECT_TRUE(stages.calls.empty());
  EXPECT_EQ(test::readText(blocker), "I am a file");
}

TEST_F(ConvertFile, PdfOverItsOwnSourceIsRefused) {
  const std::string src = tree.write("a.tif", "precious");
  EXPECT_FALSE(convert(src, src));
  EXPECT_EQ(log.logText, line(src, src, "Failed : " + src + " - Error in converting to pdf\r\n"));
  EXPECT_EQ(test::readText(src), "precious");
}

TEST_F(ConvertFile, RelativePathsAndTheCurrentDirectoryStay) {
  const fs::path before = fs::current_path();
  fs::current_path(tree.root());
  tree.write("in/a.g3", "x");
  EXPECT_TRUE(convert("in/a.g3", "out/new/a.pdf"));
  EXPECT_EQ(fs::current_path(), tree.root());  // creating directories did not move us
  EXPECT_TRUE(fs::exists(tree.root() / "out/new/a.pdf"));
  EXPECT_TRUE(convert("in/a.g3", "bare.pdf"));  // no directory part: no directory step
  EXPECT_TRUE(fs::exists(tree.root() / "bare.pdf"));
  fs::current_path(before);
}

TEST_F(ConvertFile, KeepFileTimeCopiesTimesOfTheSource) {
  const std::string src = tree.write("a.g3", "x");
  platform::FileTimes old{{1234567890, 123456789}, {1000000000, 987654321}};
  ASSERT_TRUE(platform::setFileTimes(src, old));
  job.keepFileTime = 1;
  const std::string dst = tree.path("a.pdf");
  EXPECT_TRUE(convert(src, dst));
  platform::FileTimes got;
  ASSERT_TRUE(platform::getFileTimes(dst, got));
  EXPECT_EQ(got.modification.tv_sec, 1000000000);
  EXPECT_EQ(got.modification.tv_nsec, 987654321);
  EXPECT_EQ(got.access.tv_sec, 1234567890);
}

TEST_F(ConvertFile, FailedTimeCopyKeepsSuccessLineButReturnsFalse) {
  const std::string src = tree.write("a.g3", "x");
  job.keepFileTime = 1;
  // The PDF stage reports success without leaving a file, so the times cannot be set.
  const std::string dst = tree.path("gone/a.pdf");
  stages.duringPdf = [&] { tree.mkdir("gone/a.pdf"); };  // a directory where the PDF goes
  EXPECT_FALSE(convert(src, dst));
  EXPECT_EQ(log.logText, line(src, dst, "Success !\r\n"));
}

TEST_F(ConvertFile, HoldsTheWorkingFileLockWhileConverting) {
  bool heldDuringConversion = false;
  stages.duringPdf = [&] {
    platform::FileLock probe(paths.lockFilePath, /*wait=*/false);
    heldDuringConversion = !probe.locked();
  };
  EXPECT_TRUE(convert(tree.write("a.g3", "x"), tree.path("a.pdf")));
  EXPECT_TRUE(heldDuringConversion);
  platform::FileLock after(paths.lockFilePath, false);
  EXPECT_TRUE(after.locked());
}

// An engine that leaves no intermediate TIFF (one file per page, a failed write) must not let
// the copy step pick up what an earlier file left under the fixed name.
TEST_F(ConvertFile, StaleIntermediateTiffIsRemovedBeforeTheEngineRuns) {
  struct SeeingEngine : test::FakeStages {
    mutable bool staleSeen = true;
    EngineRun runEngine(const EngineSetup& s, const std::string& source, FaxFormat f,
                        const std::string& intermediate) const override {
      staleSeen = platform::pathExists(intermediate);
      return FakeStages::runEngine(s, source, f, intermediate);
    }
  } engine;
  tree.write("tmp/" + fs::path(paths.intermediateTiffPath).filename().string(), "old pages");
  ASSERT_TRUE(platform::pathExists(paths.intermediateTiffPath));
  EXPECT_TRUE(convert(tree.write("a.g3", "x"), tree.path("a.pdf"), paths, engine));
  EXPECT_FALSE(engine.staleSeen);
}

// Every working file a conversion may make goes when the conversion ends, whatever the outcome;
// files of other names in the directory stay.
TEST_F(ConvertFile, WorkingFilesGoWhateverTheOutcome) {
  struct Outcome {
    const char* name;
    EngineOutcome engine;
    TiffCopyResult copy;
    T2pResult pdf;
    bool throws;
  };
  struct LitteringEngine : test::FakeStages {
    const WorkingPaths* paths = nullptr;
    EngineRun runEngine(const EngineSetup& s, const std::string& source, FaxFormat f,
                        const std::string& intermediate) const override {
      for (const std::string& p :
           {paths->engineFiles.workFilePath, paths->engineFiles.segmentFilePath,
            paths->engineFiles.scratchTiffPath, paths->engineFiles.scratchTiffPath + ".tiff",
            intermediate, paths->pdfReadyTiffPath,
            paths->workDirectory + "trwintif1001.tif", paths->workDirectory + "trwintif1017.tif"})
        std::ofstream(p) << "x";
      return FakeStages::runEngine(s, source, f, intermediate);
    }
  };
  tree.write("tmp/keep.txt", "not ours");
  tree.write("tmp/trwintif.tif", "no page number");
  const TiffCopyResult copyFails = TiffCopyResult::kImageFailed;
  const T2pResult pdfFails = T2pResult::kFailed;
  for (const Outcome& o :
       {Outcome{"success", EngineOutcome::kConverted, kCopied, kWritten, false},
        Outcome{"no pages", EngineOutcome::kNoPages, kCopied, kWritten, false},
        Outcome{"write failed", EngineOutcome::kWriteFailed, kCopied, kWritten, false},
        Outcome{"copy failed", EngineOutcome::kConverted, copyFails, kWritten, false},
        Outcome{"pdf failed", EngineOutcome::kConverted, kCopied, pdfFails, false},
        Outcome{"exception", EngineOutcome::kConverted, kCopied, kWritten, true}}) {
    SCOPED_TRACE(o.name);
    LitteringEngine engine;
    engine.paths = &paths;
    engine.engineOutcome = o.engine;
    engine.copyResult = o.copy;
    engine.pdfResult = o.pdf;
    engine.throwInEngine = o.throws;
    (void)convert(tree.write("a.g3", "x"), tree.path("a.pdf"), paths, engine);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tree.path("tmp"))) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"keep.txt", "trwintif.tif"}));
  }
}

// The engine works on the working files of the paths the conversion received, whatever the
// settings carry, so two sets of paths never share files.
TEST_F(ConvertFile, EngineUsesTheConversionsOwnWorkingFiles) {
  const WorkingPaths second = makeWorkingPaths(paths.programPath, tree.mkdir("second") + "/");
  EXPECT_TRUE(convert(tree.write("a.g3", "x"), tree.path("a.pdf"), second, stages));
  EXPECT_EQ(stages.engineSetup.files.workFilePath, second.engineFiles.workFilePath);
  EXPECT_EQ(stages.engineSetup.files.segmentFilePath, second.engineFiles.segmentFilePath);
  EXPECT_EQ(stages.engineSetup.files.scratchTiffPath, second.engineFiles.scratchTiffPath);
  EXPECT_EQ(stages.calls[0], "engine " + tree.path("a.g3") + " -> " + second.intermediateTiffPath);
}

// A private working directory that fails the check gets nothing: no stage runs, the report
// gives the first stage's failure.
TEST_F(ConvertFile, UnsafePrivateDirectoryIsNeverUsed) {
  const std::string open = tree.mkdir("open");
  fs::permissions(open, fs::perms::all);
  const WorkingPaths unsafe =
      makeWorkingPaths(paths.programPath, open + "/", WorkDirectoryKind::kPrivate);
  for (const char* name : {"a.g3", "b.tif"}) {
    const std::string src = tree.write(name, "x");
    log.logText.clear();
    EXPECT_FALSE(convert(src, tree.path("a.pdf"), unsafe, stages));
    EXPECT_EQ(log.logText,
              line(src, tree.path("a.pdf"),
                   std::string("Failed : ") + src +
                       (std::string(name) == "a.g3" ? " - Error Fax\r\n"
                                                    : " - Error in prearing to pdf conversion\r\n")));
  }
  EXPECT_TRUE(stages.calls.empty());
  EXPECT_TRUE(fs::is_empty(open));
}

TEST_F(ConvertFile, AppendsToEarlierReport) {
  log.logText = "\r\n\r\n";
  const std::string src = tree.write("a.g3", "x");
  convert(src, tree.path("a.pdf"));
  EXPECT_EQ(log.logText, "\r\n\r\n" + line(src, tree.path("a.pdf"), "Success !\r\n"));
}

TEST(EnsureDirectory, CreatesLevelsAndAcceptsExisting) {
  test::TempTree tree;
  EXPECT_NE(ensureDirectory(tree.path("a/b/c")), 0);
  EXPECT_TRUE(fs::is_directory(tree.root() / "a/b/c"));
  EXPECT_NE(ensureDirectory(tree.path("a/b/c")), 0);
  EXPECT_NE(ensureDirectory(tree.path("x/y/")), 0);  // trailing separator
  EXPECT_NE(ensureDirectory("/"), 0);
  EXPECT_EQ(ensureDirectory(tree.write("f", "") + "/sub"), 0);
  EXPECT_EQ(ensureDirectory(""), 0);
}

}  // namespace
}  // namespace tarnwell
