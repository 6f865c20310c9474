// The PDF writer reads a bilevel fax page without a PhotometricInterpretation tag as min-is-white.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "pdfout/pdf/t2p.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

class NoPhotometricPdfTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(NoPhotometricPdfTest, FaxPageRendersMinIsWhite) {
  TempTree dir;
  TiffMessages messages;
  TiffImage page = bilevelImage(200, 120, GetParam(), 3);
  page.extraTags = nullptr;
  page.xres = page.yres = 200;
  page.resolutionUnit = RESUNIT_INCH;
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(writeTiff(tif, {page}));
  Raster expected, rendered;
  ASSERT_TRUE(decodeTiffDirectory(tif, 0, expected));

  std::vector<uint8_t> bytes = readBytes(tif);
  ASSERT_TRUE(dropPhotometric(bytes));
  ASSERT_TRUE(writeBytes(tif, bytes));
  ASSERT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
  ASSERT_EQ(pdfProblems(pdf), "");
  ASSERT_TRUE(renderPdfPage(pdf, 1, page.xres, page.yres, rendered));
  EXPECT_EQ(countDifferences(expected, rendered), 0);
}

INSTANTIATE_TEST_SUITE_P(Codings, NoPhotometricPdfTest,
                         ::testing::Values(COMPRESSION_CCITTRLE, COMPRESSION_CCITTFAX3,
                                           COMPRESSION_CCITTFAX4),
                         [](const auto& info) { return "Compression" + std::to_string(info.param); });

}  // namespace
}  // namespace tarnwell
