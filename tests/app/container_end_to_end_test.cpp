// End-to-end for the APF, DCX, CALS, ED and BMP containers: each sample file converted by the
// program, the PDF checked by qpdf, every page rendered by Ghostscript at the page's resolution and
// compared pixel for pixel; the real BMP and DCX files of the shared corpus; bad input.

#include <gtest/gtest.h>

#include <cstdio>

#include "support/ContainerBuilders.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"
#include "support/Ghostscript.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/Raster.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;
using test::haveTool;
using test::shellQuote;

// Converts with the program, its working files in the scratch directory; returns its report.
std::string convert(const TempTree& dir, const std::vector<std::string>& arguments) {
  test::ProgramRun how;
  how.tmpDir = dir.path();
  return test::runProgram(how, arguments).out;
}
std::string convert(const TempTree& dir, const std::string& source, const std::string& pdf,
                    const std::string& option = "") {
  std::vector<std::string> arguments{"/f", source, pdf};
  if (!option.empty()) arguments.insert(arguments.begin(), option);
  return convert(dir, arguments);
}

// Page `page` (from 1) rendered at the given resolution, as a bilevel page.
bool render(const std::string& pdf, int page, double xdpi, double ydpi, test::Bitmap& out) {
  test::Raster raster;
  if (!test::renderPdfPage(pdf, page, static_cast<float>(xdpi), static_cast<float>(ydpi), raster)) {
    return false;
  }
  out = test::toBitmap(raster);
  return true;
}

// The first page's size in points, from pdfinfo; false when it cannot be read.
bool pageSize(const std::string& pdf, double& width, double& height) {
  const test::CommandResult r = test::runCommand("pdfinfo " + shellQuote(pdf));
  const std::size_t at = r.out.find("Page size:");
  if (r.exitCode != 0 || at == std::string::npos) return false;
  return std::sscanf(r.out.c_str() + at, "Page size: %lf x %lf", &width, &height) == 2;
}

// Converts sample files with the program and judges the PDFs; skipped without the tools.
class ContainerFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
  }

  // Converts and checks report, qpdf, page count and every page's pixels.
  void expectPdf(const std::string& source, const std::vector<Bitmap>& pages, double xdpi,
                 double ydpi) {
    const std::string pdf = dir_.file("out.pdf");
    std::filesystem::remove(pdf);
    const std::string report = convert(dir_, source, pdf);
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    ASSERT_TRUE(test::qpdfCheck(pdf));
    ASSERT_EQ(test::qpdfPageCount(pdf), static_cast<int>(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      test::Bitmap rendered;
      ASSERT_TRUE(render(pdf, static_cast<int>(i + 1), xdpi, ydpi, rendered));
      EXPECT_EQ(differingPixels(rendered, pages[i]), 0u) << rendered.width << "x" << rendered.rows;
    }
  }

  TempTree dir_;
};

constexpr double kCentimetresPerInch = 2.54;

class ContainerEndToEndTest : public ContainerFilesTest,
                              public ::testing::WithParamInterface<ContainerSample> {};

TEST_P(ContainerEndToEndTest, EveryPageArrivesPixelForPixel) {
  const ContainerSample& c = GetParam();
  std::vector<Bitmap> pages;
  const std::string source = dir_.file(c.fileName);
  writeBytes(source, c.build(dir_, pages));
  const double unit = c.centimetres ? kCentimetresPerInch : 1.0;
  const double xdpi = c.xResolution * unit;
  const double ydpi = c.yResolution * unit;
  if (c.format == FaxFormat::kApf && pages.size() > 1) {
    // Pages of different vertical resolution: each one rendered at its own.
    const std::string pdf = dir_.file("out.pdf");
    EXPECT_NE(convert(dir_, source, pdf).find("Success !"), std::string::npos);
    ASSERT_TRUE(test::qpdfCheck(pdf));
    ASSERT_EQ(test::qpdfPageCount(pdf), 2);
    for (int i = 0; i < 2; ++i) {
      test::Bitmap rendered;
      ASSERT_TRUE(render(pdf, i + 1, 200, i == 0 ? 100 : 200, rendered));
      EXPECT_EQ(differingPixels(rendered, pages[static_cast<std::size_t>(i)]), 0u) << i;
    }
    return;
  }
  expectPdf(source, pages, xdpi, ydpi);
  // The page is as large as its pixels at the file's resolution.
  double width = 0, height = 0;
  ASSERT_TRUE(pageSize(dir_.file("out.pdf"), width, height));
  EXPECT_NEAR(width, pages[0].width * 72.0 / xdpi, 0.05);
  EXPECT_NEAR(height, pages[0].rows * 72.0 / ydpi, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Containers, ContainerEndToEndTest,
                         ::testing::ValuesIn(containerSamples()),
                         [](const auto& info) { return std::string(info.param.name); });

// "/m=1": every page goes through a page file of its own; the PDF still holds all pages in
// order, and no page file is left behind.
TEST_F(ContainerFilesTest, OneFilePerPageForApfAndDcx) {
  for (const ContainerSample& c : containerSamples()) {
    if (std::string(c.name) != "ApfNormalAndFine" && std::string(c.name) != "DcxThreePages") {
      continue;
    }
    SCOPED_TRACE(c.name);
    std::vector<Bitmap> pages;
    const std::string source = dir_.file(c.fileName);
    writeBytes(source, c.build(dir_, pages));
    const std::string pdf = dir_.file("out.pdf");
    EXPECT_NE(convert(dir_, source, pdf, "/m=1").find("Success !"), std::string::npos);
    ASSERT_TRUE(test::qpdfCheck(pdf));
    ASSERT_EQ(test::qpdfPageCount(pdf), static_cast<int>(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
      // The APF sample's first page is of normal resolution, the others fine.
      const bool normal = c.format == FaxFormat::kApf && i == 0;
      test::Bitmap rendered;
      ASSERT_TRUE(render(pdf, static_cast<int>(i + 1), c.xResolution, normal ? 100 : 200, rendered));
      EXPECT_EQ(differingPixels(rendered, pages[i]), 0u) << i;
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
      EXPECT_FALSE(fileExists(dir_.file("trwintif" + std::to_string(1001 + i) + ".tif")));
    }
  }
}

// A directory holding one sample of every container, converted with "/d".
TEST_F(ContainerFilesTest, DirectoryOfContainers) {
  const std::string source = dir_.file("in");
  const std::string destination = dir_.file("out");
  std::filesystem::create_directories(source);
  std::vector<std::pair<std::string, std::size_t>> expected;
  for (const ContainerSample& c : containerSamples()) {
    std::vector<Bitmap> pages;
    writeBytes(source + "/" + c.fileName, c.build(dir_, pages));
    std::string stem = std::filesystem::path(c.fileName).stem().string();
    expected.push_back({destination + "/" + stem + ".pdf", pages.size()});
  }
  const std::string report = convert(dir_, {"/d", source, destination});
  EXPECT_NE(report.find("Total converted FAX files: " + std::to_string(expected.size())),
            std::string::npos)
      << report;
  for (const auto& [pdf, pages] : expected) {
    SCOPED_TRACE(pdf);
    ASSERT_TRUE(test::qpdfCheck(pdf));
    EXPECT_EQ(test::qpdfPageCount(pdf), static_cast<int>(pages));
  }
}

// Every cut of every sample, random bytes behind each signature, absurd sizes: " - Not Fax",
// " - Error Fax" or a PDF that qpdf accepts.
TEST_F(ContainerFilesTest, BadContainersEndCleanly) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
  for (const ContainerSample& c : containerSamples()) {
    std::vector<Bitmap> pages;
    const std::vector<uint8_t> file = c.build(dir_, pages);
    for (std::size_t n : {std::size_t{0}, std::size_t{3}, file.size() / 4, file.size() / 2,
                          file.size() - 1}) {
      inputs.push_back({std::string("cut") + std::to_string(n) + "_" + c.fileName,
                        std::vector<uint8_t>(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n))});
    }
  }
  uint32_t state = 5;
  std::vector<uint8_t> noise(3000);
  for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  auto behind = [&](std::vector<uint8_t> head) {
    head.insert(head.end(), noise.begin(), noise.end());
    return head;
  };
  inputs.push_back({"noise.apf", behind({'A', 'P', 'F', '1', '0'})});
  inputs.push_back({"noise.dcx", behind({0xB1, 0x68, 0xDE, 0x3A})});
  inputs.push_back({"noise.ed", behind({0xFF, 0xFF, 0x00, 0x01})});
  inputs.push_back({"noise.bmp", behind({'B', 'M'})});
  inputs.push_back({"huge.cal", buildCals(noise, "999999999,999999999", "200")});
  inputs.push_back({"huge.ed", buildEd(noise, 0xFFFFFFFF, 0xFFFFFFFF, 300)});
  for (const auto& [name, content] : inputs) {
    SCOPED_TRACE(name);
    writeBytes(dir_.file(name), content);
    const std::string pdf = dir_.file("bad.pdf");
    std::filesystem::remove(pdf);
    const std::string report = convert(dir_, dir_.file(name), pdf);
    const bool failed = report.find(" - Not Fax") != std::string::npos ||
                        report.find(" - Error Fax") != std::string::npos;
    if (!failed) {
      EXPECT_NE(report.find("Success !"), std::string::npos) << report;
      EXPECT_TRUE(test::qpdfCheck(pdf));
    }
  }
}

// ---- the real BMP and DCX files of the shared corpus ----

const std::string kCorpus = std::string(TARNWELL_SOURCE_DIR) + "/../shared/corpus/";

// A PBM or PPM file as a bilevel bitmap: a pixel is black when it is darker than middle grey.
bool readPnm(const std::string& path, Bitmap& out) {
  const std::vector<uint8_t> bytes = readBytes(path);
  if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '4' && bytes[1] != '6')) return false;
  const bool pixmap = bytes[1] == '6';
  std::size_t pos = 2;
  auto number = [&]() -> uint32_t {
    while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
    uint32_t v = 0;
    while (pos < bytes.size() && std::isdigit(bytes[pos])) v = v * 10 + (bytes[pos++] - '0');
    return v;
  };
  const uint32_t w = number(), h = number();
  if (pixmap) number();
  ++pos;
  out = Bitmap{w, h, std::vector<uint8_t>(std::size_t{(w + 7) / 8} * h)};
  const std::size_t need = pixmap ? std::size_t{3} * w * h : out.bits.size();
  if (pos > bytes.size() || bytes.size() - pos < need) return false;
  if (!pixmap) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(pos), need, out.bits.begin());
  } else {
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* p = &bytes[pos + 3 * (std::size_t{y} * w + x)];
        if (299 * p[0] + 587 * p[1] + 114 * p[2] < 128000) {
          out.bits[std::size_t{y} * out.bytesPerRow() + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
    }
  }
  // Only the pixels inside the width count.
  if (w % 8) {
    for (uint32_t y = 0; y < h; ++y) {
      out.bits[std::size_t{y} * out.bytesPerRow() + out.bytesPerRow() - 1] &=
          static_cast<uint8_t>(0xFF << (8 - w % 8));
    }
  }
  return true;
}

struct CorpusCase {
  const char* name;
  const char* path;
  // The file whose picture is expected (decoded by netpbm's bmptopnm); nullptr: " - Not Fax".
  const char* picture;
  uint32_t heldBytes = 0;  // a truncated bottom-up file: the pixel bytes it holds
  double dpi = 0;            // the resolution to render at
};

void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.path; }

class CorpusContainerTest : public ContainerFilesTest,
                            public ::testing::WithParamInterface<CorpusCase> {};

TEST_P(CorpusContainerTest, ConvertsToTheRightPictureOrIsNotFax) {
  const CorpusCase& c = GetParam();
  const std::string source = kCorpus + c.path;
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "corpus file missing";
  const std::string pdf = dir_.file("corpus.pdf");
  const std::string report = convert(dir_, source, pdf);
  if (c.picture == nullptr) {
    EXPECT_NE(report.find(" - Not Fax"), std::string::npos) << report;
    EXPECT_FALSE(std::filesystem::exists(pdf));
    return;
  }
  if (!haveTool("bmptopnm")) GTEST_SKIP() << "netpbm missing";
  const std::string pnm = dir_.file("expected.pnm");
  ASSERT_EQ(test::runCommand("(bmptopnm " + shellQuote(kCorpus + c.picture) + " >" + shellQuote(pnm) +
                             " 2>/dev/null)")
                .exitCode,
            0);
  Bitmap expected;
  ASSERT_TRUE(readPnm(pnm, expected));
  if (c.heldBytes > 0) {
    // Rows the file does not hold are not invented: the page is the bottom rows the file
    // holds, the topmost of them, held in part, white past the bytes it holds.
    const uint32_t stride = (expected.width + 31) / 32 * 4;
    const uint32_t held = (c.heldBytes + stride - 1) / stride;
    const uint32_t partial = c.heldBytes % stride;
    expected = expected.rowsOf(expected.rows - held, held);
    for (uint32_t i = partial; partial > 0 && i < expected.bytesPerRow(); ++i) expected.bits[i] = 0;
  }
  EXPECT_NE(report.find("Success !"), std::string::npos) << report;
  ASSERT_TRUE(test::qpdfCheck(pdf));
  test::Bitmap rendered;
  ASSERT_TRUE(render(pdf, 1, c.dpi, c.dpi, rendered));
  EXPECT_EQ(differingPixels(rendered, expected), 0u) << rendered.width << "x" << rendered.rows;
}

// 2834 or 2835 pixels per metre: 28 per centimetre; files that carry none get 200 per inch.
constexpr double k28PerCm = 28 * kCentimetresPerInch;

INSTANTIATE_TEST_SUITE_P(
    Corpus, CorpusContainerTest,
    ::testing::Values(
        CorpusCase{"BlackFirst", "pillow/pal1.bmp", "pillow/pal1.bmp", 0, k28PerCm},
        CorpusCase{"BlueGreen", "pillow/pal1bg.bmp", "pillow/pal1bg.bmp", 0, k28PerCm},
        CorpusCase{"WhiteFirst", "pillow/pal1wb.bmp", "pillow/pal1wb.bmp", 0, k28PerCm},
        CorpusCase{"OneColour", "pillow/pal1p1.bmp", "pillow/pal1p1.bmp", 0, k28PerCm},
        CorpusCase{"NegativeWidth", "pillow/badwidth.bmp", nullptr},
        // The first 273 bytes of pal1.bmp: 211 bytes of rows, from the bottom row up.
        CorpusCase{"Truncated", "pillow/shortfile.bmp", "pillow/pal1.bmp", 211, k28PerCm},
        CorpusCase{"V4Header", "pillow/1.bmp", "pillow/1.bmp", 0, 200},
        CorpusCase{"GoBottomUp", "go-image/bmp_1bpp.bmp", "go-image/bmp_1bpp.bmp", 0, 200},
        CorpusCase{"TopDown", "image-rs/Info_1_Bit_Top_Down.bmp",
                   "image-rs/Info_1_Bit_Top_Down.bmp", 0, k28PerCm},
        CorpusCase{"BottomUp", "image-rs/Info_1_Bit.bmp", "image-rs/Info_1_Bit.bmp", 0, k28PerCm},
        CorpusCase{"Os2Header", "image-rs/Core_1_Bit.bmp", "image-rs/Core_1_Bit.bmp", 0, 200},
        CorpusCase{"ColourDcx", "pillow/hopper.dcx", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
