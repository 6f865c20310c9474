// The PDF output road end to end: TIFFs made in code go through the copy and the PDF writer;
// every PDF passes qpdf and renders pixel for pixel as the TIFF it came from.

#include <gtest/gtest.h>

#include "pdfout/tiffio/messages.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"
#include "tiff_copy_pipeline.h"

namespace tarnwell {
namespace {

using test::TiffImage;

struct EndToEndCase {
  const char* name;
  int choice;  // 6 as for fax files, -1 as for TIFF sources
  std::vector<TiffImage> (*make)();
};

TiffImage fax(uint16_t compression, uint32_t length = 400, int seed = 0) {
  return test::bilevelImage(1728, length, compression, seed);
}

const EndToEndCase kCases[] = {
    {"fax_g3_2d", 6,
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX3);
       i.group3Options = GROUP3OPT_2DENCODING;
       return std::vector{i};
     }},
    {"fax_mh", 6, [] { return std::vector{fax(COMPRESSION_CCITTRLE)}; }},
    {"fax_g4_strips", 6,
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX4);
       i.rowsPerStrip = 50;
       return std::vector{i};
     }},
    {"fax_fillorder2", 6,
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX3);
       i.fillOrder = FILLORDER_LSB2MSB;
       return std::vector{i};
     }},
    {"fax_pages", 6,
     [] {
       return std::vector{fax(COMPRESSION_CCITTFAX4, 200, 1), fax(COMPRESSION_CCITTFAX3, 300, 2),
                          fax(COMPRESSION_NONE, 100, 3)};
     }},
    {"tiff_g4_kept", -1, [] { return std::vector{fax(COMPRESSION_CCITTFAX4)}; }},
    {"tiff_min_is_black", -1,
     [] {
       TiffImage i = fax(COMPRESSION_PACKBITS, 120);
       i.photometric = PHOTOMETRIC_MINISBLACK;
       return std::vector{i};
     }},
    {"tiff_orientation8", -1,
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX4, 160);
       i.orientation = ORIENTATION_LEFTBOT;
       return std::vector{i};
     }},
    {"tiff_orientation4", 6,
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX3, 160);
       i.orientation = ORIENTATION_BOTLEFT;
       return std::vector{i};
     }},
    {"tiff_tiled_edges", -1,
     [] {
       TiffImage i = test::bilevelImage(300, 200, COMPRESSION_CCITTFAX4);
       i.tileWidth = 256;
       i.tileLength = 128;
       return std::vector{i};
     }},
    {"tiff_gray8", -1,
     [] {
       TiffImage i;
       i.width = 120;
       i.length = 80;
       i.bitsPerSample = 8;
       i.photometric = PHOTOMETRIC_MINISBLACK;
       i.compression = COMPRESSION_LZW;
       i.pixels = test::samplePattern(120 * 80);
       return std::vector{i};
     }},
    {"tiff_gray4_min_is_white", -1,
     [] {
       TiffImage i;
       i.width = 90;
       i.length = 30;
       i.bitsPerSample = 4;
       i.photometric = PHOTOMETRIC_MINISWHITE;
       i.pixels = test::samplePattern(45 * 30, 4);
       return std::vector{i};
     }},
};

class TiffCopyEndToEnd : public ::testing::TestWithParam<EndToEndCase> {
 protected:
  void SetUp() override { silenceTiffMessages(); }
  test::TempTree dir;
};

TEST_P(TiffCopyEndToEnd, PdfRendersAsTheTiff) {
  const EndToEndCase& c = GetParam();
  const std::vector<TiffImage> images = c.make();
  const std::string source = dir.file("source.tif");
  ASSERT_TRUE(test::writeTiff(source, images));
  const copytest::PipelineResult result = copytest::convertAndCompare(source, c.choice, dir.path());
  EXPECT_EQ(result.copyResult, TiffCopyResult::kCopied);
  EXPECT_EQ(result.pdfResult, 0);
  EXPECT_EQ(result.pages, static_cast<int>(images.size()));
  EXPECT_EQ(result.problems, "");
}

INSTANTIATE_TEST_SUITE_P(Sources, TiffCopyEndToEnd, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
