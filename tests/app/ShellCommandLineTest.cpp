// The program run as a process the way a shell or a cron job runs it: arguments with blanks,
// the exit status, --help and --version, and where the logs go. Every run has its own
// temporary tree, TMPDIR, HOME and XDG_STATE_HOME.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "Usage: tarnwell [/l /q] /f [/b=0] source-file dest-pdf-file\n"
    "or\n"
    "Usage: tarnwell [/l /q] /d [/b=0] source-directory dest-directory [filter]\n";

const std::string kSamples = TARNWELL_SOURCE_DIR "/samples";

class ShellRun : public testing::Test {
 protected:
  void SetUp() override {
    how.tmpDir = tree.mkdir("tmp");
    how.workingDir = tree.path();
    how.environment = {"HOME=" + tree.mkdir("home"), "XDG_STATE_HOME=" + tree.path("state")};
  }
  test::CommandResult run(const std::vector<std::string>& arguments) {
    return test::runProgram(how, arguments);
  }
  // A copy of a bundled sample under another name.
  void copySample(const std::string& sample, const std::string& relative) {
    tree.write(relative, test::readText(kSamples + "/" + sample));
  }

  test::TempTree tree;
  test::ProgramRun how;
};

TEST_F(ShellRun, QuotedPathsWithBlanksConvert) {
  copySample("memo.g3", "in box/Fax 0815.g3");
  test::CommandResult r = run({"/q", "/f", "in box/Fax 0815.g3", "out dir/Fax 0815.pdf"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(test::pdfProblems(tree.path("out dir/Fax 0815.pdf")), "");

  // In directory mode the source, the destination and the filter may all hold blanks.
  copySample("letter.tif", "in box/Fax 0816.tif");
  copySample("memo.g3", "in box/other.g3");
  r = run({"/d", "in box", "pdf files", "Fax *"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("in box/Fax 0816.tif --> pdf files/Fax 0816.pdf : Success !\r\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("other.g3"), std::string::npos);
  EXPECT_TRUE(r.out.ends_with("Total converted FAX files: 2\r\n")) << r.out;
  EXPECT_EQ(test::pdfProblems(tree.path("pdf files/Fax 0815.pdf")), "");
  EXPECT_FALSE(fs::exists(tree.path("pdf files/other.pdf")));
}

TEST_F(ShellRun, SeveralArgumentsAfterTheDestinationFormOneFilter) {
  copySample("memo.g3", "in/a.g3");
  copySample("memo.g3", "in/b.fax");
  copySample("memo.g3", "in/c.raw");
  // As before: the filter is the rest of the command line joined with blanks, so the two
  // patterns make one pattern with a blank that no name here matches.
  test::CommandResult r = run({"/q", "/d", "in", "out", "*.g3", "*.fax"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(fs::exists(tree.path("out/a.pdf")));
  r = run({"/q", "/d", "in", "out", "*.fax"});
  EXPECT_TRUE(fs::exists(tree.path("out/b.pdf")));
  EXPECT_FALSE(fs::exists(tree.path("out/c.pdf")));
}

struct StatusCase {
  const char* name;
  std::vector<std::string> arguments;
  int status;
};

class ExitStatus : public ShellRun, public testing::WithParamInterface<StatusCase> {
 protected:
  void SetUp() override {
    ShellRun::SetUp();
    copySample("memo.g3", "good/memo.g3");
    tree.write("good/old.pdf", "%PDF-1.4\n");
    copySample("letter.tif", "mixed/letter.tif");
    tree.write("mixed/broken.g3", "no fax at all");
    tree.mkdir("empty");
  }
};

TEST_P(ExitStatus, TellsScriptsHowTheRunWent) {
  test::CommandResult r = run(GetParam().arguments);
  EXPECT_EQ(r.exitCode, GetParam().status) << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ExitStatus,
    testing::Values(
        StatusCase{"FileConverted", {"/q", "/f", "good/memo.g3", "a.pdf"}, 0},
        StatusCase{"FileFailed", {"/q", "/f", "mixed/broken.g3", "b.pdf"}, 1},
        StatusCase{"MissingFileFailed", {"/q", "/f", "nowhere.g3", "c.pdf"}, 1},
        StatusCase{"DirectoryConvertedOrAlreadyPdf", {"/q", "/d", "good", "out"}, 0},
        StatusCase{"DirectoryWithOneFailure", {"/q", "/d", "mixed", "out"}, 1},
        StatusCase{"DirectoryWithNothingToDo", {"/q", "/d", "empty", "out"}, 0},
        StatusCase{"IncompleteRequest", {"/f", "only-one"}, 2},
        StatusCase{"UnknownOption", {"/m=3", "/f", "a", "b"}, 2},
        StatusCase{"NoArgumentsAndNoDisplay", {}, 2}),
    [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

struct InfoCase {
  const char* name;
  std::vector<std::string> arguments;
  bool version;
};

class InfoOption : public ShellRun, public testing::WithParamInterface<InfoCase> {};

TEST_P(InfoOption, PrintsAndExitsWithoutConvertingOrWindow) {
  copySample("memo.g3", "in/a.g3");
  test::CommandResult r = run(GetParam().arguments);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");  // no window attempt, no complaint
  if (GetParam().version) {
    EXPECT_EQ(r.out, std::string("tarnwell ") + TARNWELL_VERSION + "\n");
  } else {
    EXPECT_TRUE(r.out.starts_with(kUsage)) << r.out;
    EXPECT_NE(r.out.find("--version"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(tree.path("out")));
  EXPECT_FALSE(fs::exists(tree.path("state")));  // nothing was logged
}

INSTANTIATE_TEST_SUITE_P(
    Options, InfoOption,
    testing::Values(InfoCase{"Help", {"--help"}, false}, InfoCase{"ShortHelp", {"-h"}, false},
                    InfoCase{"Version", {"--version"}, true},
                    InfoCase{"HelpAfterACompleteRequest", {"/d", "in", "out", "-h"}, false},
                    InfoCase{"VersionAmongOptions", {"/q", "--version", "/f", "in/a.g3", "x.pdf"},
                             true},
                    InfoCase{"FirstOneWins", {"--version", "--help"}, true}),
    [](const testing::TestParamInfo<InfoCase>& info) { return std::string(info.param.name); });

// A word the program does not know is named on standard error with the usage, and the window
// never opens for it, even with a display.
TEST_F(ShellRun, UnknownOptionIsNamedAndOpensNoWindow) {
  how.environment.push_back("QT_QPA_PLATFORM=offscreen");
  for (const char* word : {"/bogus", "/j2"}) {
    test::CommandResult r = run({word, "/f", "a.tif", "a.pdf"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "tarnwell: unknown option '" + std::string(word) + "'\n" + kUsage);
    EXPECT_EQ(r.out, "");
  }
}

// A program whose directory has no "log" beside it, as when it is installed.
class LogPlace : public ShellRun {
 protected:
  void SetUp() override {
    ShellRun::SetUp();
    how.program = tree.mkdir("bin") + "/tarnwell";
    fs::copy_file(TARNWELL_PROGRAM, how.program);
    copySample("memo.g3", "in/a.g3");
  }
  static bool isPrivateDirectory(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700;
  }
};

TEST_F(LogPlace, WithoutLogBesideTheProgramLogsGoToTheStateDirectory) {
  EXPECT_EQ(run({"/q", "/f", "in/a.g3", "a.pdf"}).exitCode, 0);
  const std::string log = test::readText(tree.path("state/tarnwell/fileconv.log"));
  EXPECT_NE(log.find("in/a.g3 --> a.pdf : Success !\r\r\n"), std::string::npos) << log;
  EXPECT_TRUE(isPrivateDirectory(tree.path("state")));
  EXPECT_TRUE(isPrivateDirectory(tree.path("state/tarnwell")));

  // With XDG_STATE_HOME empty (as good as unset) the default under the home directory is used.
  how.environment = {"HOME=" + tree.path("home"), "XDG_STATE_HOME="};
  run({"/q", "/d", "in", "out"});
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(tree.path("home/.local/state/tarnwell")))
    names.push_back(e.path().filename());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names[0].ends_with(".log")) << names[0];
}

TEST_F(LogPlace, LogBesideTheProgramWins) {
  tree.mkdir("bin/log");
  run({"/q", "/f", "in/a.g3", "a.pdf"});
  EXPECT_TRUE(fs::exists(tree.path("bin/log/fileconv.log")));
  EXPECT_FALSE(fs::exists(tree.path("state")));
}

TEST_F(LogPlace, UnusableStateDirectoryLosesOnlyTheLog) {
  tree.write("state", "a file where the directory should be");
  test::CommandResult r = run({"/q", "/f", "in/a.g3", "a.pdf"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(test::pdfProblems(tree.path("a.pdf")), "");
  EXPECT_EQ(test::readText(tree.path("state")), "a file where the directory should be");
}

}  // namespace
}  // namespace tarnwell
