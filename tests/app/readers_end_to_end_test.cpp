// End-to-end for the PC Research, QLIIFAX, BIT FAX, MRV-FAX and FX containers: each container is
// built around pages coded by libtiff, converted by the built program, checked with qpdf, and
// every page rendered by Ghostscript must equal its source bitmap. Also the one-file-per-page
// option "/m=1", the recounted rows of "/relines" and a directory run.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ContainerBuilders.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/Raster.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;
namespace kit = tarnwell::test;

// The program on one file, its working files in the scratch directory; its report.
std::string convert(const TempTree& dir, const std::string& source, const std::string& pdf,
                    const std::string& options = "") {
  std::vector<std::string> arguments = {"/f"};
  if (!options.empty()) arguments.push_back(options);
  arguments.push_back(source);
  arguments.push_back(pdf);
  return kit::runProgram({"", "", dir.path()}, arguments).out;
}

// Pixels of page `page` (from 1), rendered at 200 dpi, that differ from the source bitmap.
std::size_t differingPixels(const std::string& pdf, int page, const Bitmap& source) {
  kit::Raster raster;
  if (!kit::renderPdfPage(pdf, page, 200, 200, raster)) return SIZE_MAX;
  return kit::differingPixels(kit::toBitmap(raster), source);
}

enum class Kind { kPcResearch, kQlii, kBitFax, kMrv, kFx };

struct ContainerCase {
  const char* name;
  Kind kind;
  const char* suffix;
  uint8_t coding;
  uint8_t fillOrder;
  uint32_t width;
};

std::vector<uint8_t> build(Kind kind, const std::vector<CodedPage>& pages, bool zeroGeometry = false) {
  switch (kind) {
    case Kind::kPcResearch: return buildPcResearch(pages);
    case Kind::kQlii: return buildQliiFax(pages);
    case Kind::kBitFax: return buildBitFax(pages);
    case Kind::kMrv: return buildMrv(pages, zeroGeometry);
    case Kind::kFx: return buildFx(pages, zeroGeometry);
  }
  return {};
}

class ContainerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kit::haveTool("qpdf") || !kit::haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
  }

  std::vector<CodedPage> codedPages(uint8_t coding, uint8_t fillOrder, uint32_t width) {
    std::vector<CodedPage> pages;
    for (uint32_t seed : {5u, 6u}) {
      pages.push_back(codePage(makePage(Pattern::kWords, width, 90 + 40 * seed, seed), coding, fillOrder));
    }
    return pages;
  }

  // Converts and checks the report, qpdf, the page count and every page's pixels.
  void expectPdf(const std::string& source, const std::vector<CodedPage>& pages,
                 const std::string& options = "") {
    const std::string pdf = dir_.file("out.pdf");
    std::filesystem::remove(pdf);
    const std::string report = convert(dir_, source, pdf, options);
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    ASSERT_TRUE(kit::qpdfCheck(pdf));
    ASSERT_EQ(kit::qpdfPageCount(pdf), static_cast<int>(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      EXPECT_EQ(differingPixels(pdf, static_cast<int>(i + 1), pages[i].bitmap), 0u);
    }
  }

  TempTree dir_;
};

class ContainerFiles : public ContainerEndToEnd,
                       public ::testing::WithParamInterface<ContainerCase> {};

TEST_P(ContainerFiles, EveryPageArrivesPixelForPixel) {
  const ContainerCase& c = GetParam();
  const std::vector<CodedPage> pages = codedPages(c.coding, c.fillOrder, c.width);
  const std::string source = dir_.file(std::string("fax.") + c.suffix);
  writeBytes(source, build(c.kind, pages));
  expectPdf(source, pages);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, ContainerFiles,
    ::testing::Values(
        ContainerCase{"PcResearchG3OneDMsb", Kind::kPcResearch, "g3f", 5, 1, 1728},
        ContainerCase{"PcResearchG3TwoDLsb", Kind::kPcResearch, "G3F", 6, 2, 1728},
        ContainerCase{"QliiG3OneDLsb2048", Kind::kQlii, "qfx", 5, 2, 2048},
        ContainerCase{"QliiG3TwoDMsb2048", Kind::kQlii, "QFX", 6, 1, 2048},
        ContainerCase{"QliiG4Msb", Kind::kQlii, "qfx", 7, 1, 1728},
        ContainerCase{"BitFaxG3OneDMsb", Kind::kBitFax, "bfx", 5, 1, 1728},
        ContainerCase{"BitFaxG4Lsb2048", Kind::kBitFax, "BFX", 7, 2, 2048},
        ContainerCase{"MrvG3TwoDLsb", Kind::kMrv, "mrv", 6, 2, 1728},
        ContainerCase{"MrvG4Msb2048", Kind::kMrv, "MRV", 7, 1, 2048},
        ContainerCase{"FxdG3OneD2048", Kind::kFx, "fxd", 5, 2, 2048},
        ContainerCase{"FxmG4", Kind::kFx, "fxm", 7, 2, 1728},
        ContainerCase{"FxrG3OneD", Kind::kFx, "FXR", 5, 2, 1728},
        ContainerCase{"FxsG4", Kind::kFx, "fxs", 7, 2, 2048}),
    [](const auto& info) { return std::string(info.param.name); });

// "/m=1": one intermediate TIFF per page, numbered from 1001 beside the intermediate TIFF, each
// holding that page's own coded bytes.
// "/m=1": every page goes through a page file of its own; the PDF still holds all pages in
// order, and no page file is left behind.
TEST_F(ContainerEndToEnd, OneFilePerPage) {
  const std::vector<CodedPage> pages = codedPages(7, 1, 1728);
  struct Source {
    Kind kind;
    const char* name;
  };
  for (Source s : {Source{Kind::kPcResearch, "fax.g3f"}, Source{Kind::kQlii, "fax.qfx"},
                   Source{Kind::kBitFax, "fax.bfx"}, Source{Kind::kMrv, "fax.mrv"},
                   Source{Kind::kFx, "fax.fxd"}}) {
    SCOPED_TRACE(s.name);
    // PC Research pages are Group 3; FX data is least significant bit first.
    const std::vector<CodedPage> used =
        s.kind == Kind::kPcResearch ? codedPages(5, 1, 1728)
        : s.kind == Kind::kFx       ? codedPages(7, 2, 1728)
                                    : pages;
    const std::string source = dir_.file(s.name);
    writeBytes(source, build(s.kind, used));
    expectPdf(source, used, "/m=1");
    for (std::size_t i = 0; i < used.size(); ++i) {
      EXPECT_FALSE(fileExists(dir_.file("trwintif" + std::to_string(1001 + i) + ".tif")));
    }
  }
}

// MRV-FAX and FX pages whose headers give no width and rows: "/relines" writes the rows that
// decode, so the pages arrive exactly; without it the header defaults stand.
TEST_F(ContainerEndToEnd, RecountedRows) {
  for (Kind kind : {Kind::kMrv, Kind::kFx}) {
    SCOPED_TRACE(kind == Kind::kMrv ? "MRV-FAX" : "FX");
    const std::vector<CodedPage> pages = codedPages(kind == Kind::kMrv ? 6 : 7, 2, 1728);
    const std::string source = dir_.file(kind == Kind::kMrv ? "rows.mrv" : "rows.fxs");
    writeBytes(source, build(kind, pages, true));
    expectPdf(source, pages, "/relines");

    // Without "/relines" the page image is as tall as the header's default rows (the working
    // files are gone after the run; the image's height is in the PDF).
    (void)convert(dir_, source, dir_.file("header-rows.pdf"));
    const std::string pdf = readText(dir_.file("header-rows.pdf"));
    EXPECT_NE(pdf.find(kind == Kind::kMrv ? "/Height 4576" : "/Height 3432"), std::string::npos);
  }
}

TEST_F(ContainerEndToEnd, DirectoryOfContainers) {
  const std::string in = dir_.file("in");
  const std::string out = dir_.file("out");
  std::filesystem::create_directories(in);
  writeBytes(in + "/a.qfx", buildQliiFax(codedPages(6, 1, 1728)));
  writeBytes(in + "/b.mrv", buildMrv(codedPages(7, 2, 2048)));
  writeBytes(in + "/c.fxr", buildFx(codedPages(5, 2, 1728)));
  writeBytes(in + "/d.bfx", std::vector<uint8_t>{'B', 'I', 'T', ' ', ' ', 'F', 'A', 'X'});
  const std::string report = kit::runProgram({"", "", dir_.path()}, {"/d", in, out}).out;
  for (const char* name : {"a.pdf", "b.pdf", "c.pdf"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(kit::qpdfCheck(out + "/" + name)) << report;
    EXPECT_EQ(kit::qpdfPageCount(out + "/" + name), 2);
  }
  // A BIT FAX file cut inside its header is not a fax.
  EXPECT_NE(report.find("d.bfx - Not Fax"), std::string::npos) << report;
  EXPECT_FALSE(std::filesystem::exists(out + "/d.pdf"));
}

}  // namespace
}  // namespace tarnwell
