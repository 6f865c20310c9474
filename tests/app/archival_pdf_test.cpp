// The /pdfa road through the whole program: a directory run with two workers writes PDF/A-1b
// files that Preflight accepts and that render to the plain PDFs' pixels.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Ghostscript.h"
#include "support/PdfCheck.h"
#include "support/Preflight.h"
#include "support/Process.h"
#include "support/Raster.h"
#include "support/TempTree.h"

namespace tarnwell::test {
namespace {

namespace fs = std::filesystem;

TEST(ArchivalRun, SamplesBecomePdfaWithThePlainPixels) {
  if (!havePreflight() || !haveTool("gs")) GTEST_SKIP() << "Preflight or Ghostscript missing";
  TempTree tree;
  tree.mkdir("in");
  for (const auto& e : fs::directory_iterator(TARNWELL_SOURCE_DIR "/samples"))
    fs::copy_file(e.path(), tree.path("in/" + e.path().filename().string()));
  const ProgramRun how{"", tree.path(), tree.mkdir("tmp")};
  ASSERT_EQ(runProgram(how, {"/q", "/d", "in", "plain"}).exitCode, 0);
  const CommandResult archival = runProgram(how, {"/q", "/PDFA", "/j=2", "/d", "in", "pdfa"});
  ASSERT_EQ(archival.exitCode, 0) << archival.err;

  std::vector<std::string> pdfs;
  for (const auto& e : fs::directory_iterator(tree.path("pdfa"))) pdfs.push_back(e.path());
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_EQ(preflightProblems(pdfs), "");
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    SCOPED_TRACE(pdfs[i]);
    EXPECT_TRUE(qpdfCheck(pdfs[i]));
    const std::string plain = tree.path("plain/" + fs::path(pdfs[i]).filename().string());
    for (int page = 1; page <= qpdfPageCount(plain); ++page) {
      Raster a, b;
      ASSERT_TRUE(renderPdfPage(plain, page, 100, 100, a));
      ASSERT_TRUE(renderPdfPage(pdfs[i], page, 100, 100, b));
      EXPECT_TRUE(a == b) << "page " << page;
    }
  }
}

}  // namespace
}  // namespace tarnwell::test
