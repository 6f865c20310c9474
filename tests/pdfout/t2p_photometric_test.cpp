// The PDF writer reads a bilevel fax page without a PhotometricInterpretation tag as min-is-white.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "faxin/engine_test_util.h"
#include "pdf_test_util.h"
#include "pdfout/t2p.h"

namespace tarnwell {
namespace {

class NoPhotometricPdfTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(NoPhotometricPdfTest, FaxPageRendersMinIsWhite) {
  testutil::TempDir dir;
  testutil::TiffMessages messages;
  testutil::TiffImageSpec page;
  page.width = 200;
  page.length = 120;
  page.compression = GetParam();
  page.photometric = PHOTOMETRIC_MINISWHITE;
  page.xres = page.yres = 200;
  page.resolutionUnit = RESUNIT_INCH;
  page.pixels = testutil::bilevelPattern(page.width, page.length, 3);
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(testutil::writeTiff(tif, {page}));
  testutil::Raster expected, rendered;
  ASSERT_TRUE(testutil::decodeTiffDirectory(tif, 0, expected));

  std::vector<uint8_t> bytes = testing::readFile(tif);
  ASSERT_TRUE(testing::dropPhotometric(bytes));
  testing::writeFile(tif, bytes);
  ASSERT_EQ(t2p_convert_file(tif, pdf, 0), 0);
  ASSERT_EQ(testutil::pdfProblems(pdf), "");
  ASSERT_TRUE(testutil::renderPdfPage(pdf, 1, page.xres, page.yres, rendered));
  EXPECT_EQ(testutil::countDifferences(expected, rendered), 0);
}

INSTANTIATE_TEST_SUITE_P(Codings, NoPhotometricPdfTest,
                         ::testing::Values(COMPRESSION_CCITTRLE, COMPRESSION_CCITTFAX3,
                                           COMPRESSION_CCITTFAX4),
                         [](const auto& info) { return "Compression" + std::to_string(info.param); });

}  // namespace
}  // namespace tarnwell
