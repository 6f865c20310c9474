// The loadable modules of the program (text recognition and the window): where they are looked
// for, and what the program does with a module that is there, in the installed layout, missing,
// not a shared object at all, or a shared object without the expected entry. Each case runs a
// copy of the built program in a tree of its own with the modules laid out for the case.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/ProgramModules.h"
#include "app/WindowModule.h"
#include "ocr/Module.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"
#include "support/TextPage.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace tarnwell::test;

// Where the modules come from is the program's own path and nothing else: a path that is not
// absolute (no /proc, a program found by a relative name) gives no directory at all rather
// than one relative to the current directory.
TEST(ModuleDirectoriesTest, ComeFromTheProgramsAbsolutePathOnly) {
  const std::vector<std::string> installed = moduleDirectories("/opt/fax/bin/tarnwell");
  ASSERT_EQ(installed.size(), 2u);
  EXPECT_EQ(installed[0], "/opt/fax/bin");
  EXPECT_TRUE(installed[1].starts_with("/opt/fax/bin/")) << installed[1];
  EXPECT_TRUE(installed[1].ends_with("/tarnwell")) << installed[1];
  for (const char* path : {"", "tarnwell", "bin/tarnwell", "./tarnwell"})
    EXPECT_TRUE(moduleDirectories(path).empty()) << path;
}

enum class Layout {
  kBeside,           // both modules beside the program, as in the build tree
  kInstalled,        // both in the installed module directory relative to the program
  kMissing,          // no module anywhere
  kNotSharedObject,  // files of the modules' names that hold text
  kWithoutEntry      // each module's name on the other module's file
};

struct LayoutCase {
  const char* name;
  Layout layout;
};

class ModuleLayoutTest : public testing::TestWithParam<LayoutCase> {
 protected:
  void SetUp() override {
    const std::string built = TARNWELL_BINARY_DIR;
    ocrModule_ = built + "/" + ocr::kModuleFile;
    windowModule_ = built + "/" + kWindowModuleFile;
    program_ = tree_.mkdir("bin") + "/tarnwell";
    fs::copy_file(TARNWELL_PROGRAM, program_);
    const std::vector<std::string> directories = moduleDirectories(program_);
    ASSERT_EQ(directories.size(), 2u);
    const std::string into = GetParam().layout == Layout::kInstalled ? directories[1]
                                                                     : directories[0];
    fs::create_directories(into);
    switch (GetParam().layout) {
      case Layout::kBeside:
      case Layout::kInstalled:
        place(ocrModule_, into + "/" + ocr::kModuleFile);
        place(windowModule_, into + "/" + kWindowModuleFile);
        break;
      case Layout::kMissing:
        break;
      case Layout::kNotSharedObject:
        tree_.write("bin/" + std::string(ocr::kModuleFile), "not a shared object\n");
        tree_.write("bin/" + std::string(kWindowModuleFile), "not a shared object\n");
        break;
      case Layout::kWithoutEntry:
        place(windowModule_, into + "/" + ocr::kModuleFile);
        place(ocrModule_, into + "/" + kWindowModuleFile);
        break;
    }
  }
  static void place(const std::string& module, const std::string& at) {
    if (fs::exists(module)) fs::create_symlink(module, at);
  }
  bool present() const {
    return GetParam().layout == Layout::kBeside || GetParam().layout == Layout::kInstalled;
  }
  // The program run with a display it cannot reach: the window road goes as far as Qt, which
  // finds only its invisible platform.
  CommandResult run(const std::vector<std::string>& arguments) {
    return runProgram({program_, tree_.path(), tree_.mkdir("tmp"), {"QT_QPA_PLATFORM=offscreen"}, ""},
                      arguments);
  }

  TempTree tree_;
  std::string ocrModule_, windowModule_, program_;
};

// A present module gives the text layer; any other layout gives the PDF without text, one line
// on standard error naming the module, and success.
TEST_P(ModuleLayoutTest, SearchableTextOrThePdfWithoutText) {
  if (!haveTool("gs") || !haveTool("pdftotext") || !haveTool("qpdf"))
    GTEST_SKIP() << "Ghostscript, pdftotext or qpdf missing";
  TextPageLayout layout;
  layout.lines = {"Tarnwell modules load", "when they are needed"};
  layout.pointSize = 20;
  TextPage page;
  ASSERT_TRUE(renderTextPage(layout, page));
  FaxTiffOptions options;
  options.xResolution = 204;
  options.yResolution = 196;
  ASSERT_TRUE(writeFaxTiff(tree_.file("page.tif"), {page.bitmap}, options));

  const CommandResult r = run({"/q", "/ocr", "/f", "page.tif", "page.pdf"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string pdf = tree_.file("page.pdf");
  EXPECT_EQ(pdfProblems(pdf), "");
  const std::vector<std::string> words =
      normalisedWords(runCommand("pdftotext " + shellQuote(pdf) + " -").out);
  if (present()) {
    EXPECT_EQ(r.err, "");
    EXPECT_GE(wordRecall(normalisedWords("Tarnwell modules load when they are needed"), words),
              0.8);
  } else {
    EXPECT_TRUE(words.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(ocr::kModuleFile), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("is written without text"), std::string::npos) << r.err;
  }
}

// The window road and the results box: a present module reaches Qt, which finds no display it
// can show anything on; without a loadable module the window road says why and gives the
// status of a missing display, and the report is printed.
TEST_P(ModuleLayoutTest, WindowOrTheNoWindowStatus) {
  if (!fs::exists(windowModule_)) GTEST_SKIP() << "built without the window";
  const CommandResult window = run({});
  EXPECT_EQ(window.exitCode, 2);
  EXPECT_EQ(window.out, "");
  EXPECT_NE(window.err.find("the window cannot be created"), std::string::npos) << window.err;
  EXPECT_EQ(window.err.find(kWindowModuleFile) == std::string::npos, present()) << window.err;
  if (present()) {
    EXPECT_NE(window.err.find("no display available"), std::string::npos) << window.err;
  }

  fs::copy_file(std::string(TARNWELL_SOURCE_DIR) + "/samples/memo.g3", tree_.file("memo.g3"));
  const CommandResult report = run({"/f", "memo.g3", "memo.pdf"});
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_NE(report.out.find("memo.g3 --> memo.pdf : Success"), std::string::npos) << report.out;
  EXPECT_EQ(report.err.find(kWindowModuleFile) == std::string::npos, present()) << report.err;
  EXPECT_EQ(pdfProblems(tree_.file("memo.pdf")), "");
}

INSTANTIATE_TEST_SUITE_P(Layouts, ModuleLayoutTest,
                         testing::Values(LayoutCase{"Beside", Layout::kBeside},
                                         LayoutCase{"Installed", Layout::kInstalled},
                                         LayoutCase{"Missing", Layout::kMissing},
                                         LayoutCase{"NotSharedObject", Layout::kNotSharedObject},
                                         LayoutCase{"WithoutEntry", Layout::kWithoutEntry}),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tarnwell
