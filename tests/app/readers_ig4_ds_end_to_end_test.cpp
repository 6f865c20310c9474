// End-to-end: IG4 and DS files converted by the built program ("/f" and "/d"), the PDFs checked
// with qpdf and their pages rendered by Ghostscript compared pixel for pixel with the pages the
// files were made from.

#include <gtest/gtest.h>

#include "support/Ghostscript.h"
#include "support/Ig4DsFiles.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

class Ig4DsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
  }

  std::string run(const std::vector<std::string>& arguments) {
    const CommandResult r = runProgram(ProgramRun{"", "", dir_.mkdir("tmp")}, arguments);
    return r.out + r.err;
  }

  // Converts with "/f" and checks the report, qpdf, the page count and every page's pixels.
  void expectPdf(const std::string& source, const std::vector<Bitmap>& pages, float dpi) {
    const std::string pdf = dir_.file("out.pdf");
    const std::string report = run({"/f", source, pdf});
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    EXPECT_EQ(pdfProblems(pdf), "");
    ASSERT_EQ(qpdfPageCount(pdf), static_cast<int>(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      Raster rendered;
      ASSERT_TRUE(renderPdfPage(pdf, static_cast<int>(i + 1), dpi, dpi, rendered));
      EXPECT_EQ(differingPixels(toBitmap(rendered), pages[i]), 0u);
    }
  }

  std::vector<uint8_t> tiffOf(const std::vector<Bitmap>& pages, const std::string& name) {
    FaxTiffOptions o;
    o.xResolution = 200;
    o.yResolution = 200;
    EXPECT_TRUE(writeFaxTiff(dir_.file(name), pages, o));
    return readBytes(dir_.file(name));
  }

  TempTree dir_;
};

// The strips hold the page bottom row first and are marked with Orientation 7; the PDF page
// shows the page upright.
TEST_F(Ig4DsEndToEndTest, Ig4ThreeStripsShowThePageUpright) {
  const Bitmap page = makePage(Pattern::kText, 1728, 3 * 50, 11);
  const std::string source =
      dir_.write("page.ig4", buildIg4(t6Strips(flippedRows(page), 3), 1728, 150, 50).bytes);
  expectPdf(source, {page}, 300);
}

TEST_F(Ig4DsEndToEndTest, DsRecordsBecomeOnePdfInRecordOrder) {
  const std::vector<Bitmap> pages = {makePage(Pattern::kText, 1728, 90, 12),
                                     makePage(Pattern::kWords, 1728, 70, 13),
                                     makePage(Pattern::kShortText, 1728, 80, 14)};
  const std::string source = dir_.write(
      "fax.xds", buildDs("DOC", {dsPage("P1", tiffOf({pages[0], pages[1]}, "a.tif"), 20),
                                 DsRecord{"NOTE", std::vector<uint8_t>(64, 0x20)},
                                 dsPage("P2", tiffOf({pages[2]}, "b.tif"), 0)}));
  expectPdf(source, pages, 200);
}

TEST_F(Ig4DsEndToEndTest, DirectoryRunConvertsIg4AndDsFiles) {
  const Bitmap page = makePage(Pattern::kText, 1728, 60, 15);
  dir_.write("in/scan.ig4", buildIg4(t6Strips(flippedRows(page), 2), 1728, 60, 30).bytes);
  dir_.write("in/fax.ds", buildDs("DOC", {dsPage("P1", tiffOf({page}, "p.tif"), 0)}));
  const std::string report = run({"/q", "/d", dir_.path("in"), dir_.path("out")});
  for (const char* pdf : {"out/scan.pdf", "out/fax.pdf"}) {
    SCOPED_TRACE(pdf);
    EXPECT_EQ(pdfProblems(dir_.path(pdf)), "") << report;
    EXPECT_EQ(qpdfPageCount(dir_.path(pdf)), 1);
  }
}

}  // namespace
}  // namespace tarnwell
