// Page bitmaps for text recognition read back from fax TIFFs of every coding and bit sense the
// PDF-ready TIFF can have: the pixels must be the page's, with 1 bits white.

#include <gtest/gtest.h>

#include "pdfout/page_bitmaps.h"
#include "support/Bitmap.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct BitmapCase {
  const char* name;
  FaxTiffOptions options;
};

FaxTiffOptions with(uint16_t compression, uint16_t fillOrder, uint16_t photometric,
                    uint32_t rowsPerStrip = 0, uint32_t t4Options = 0) {
  FaxTiffOptions o;
  o.compression = compression;
  o.fillOrder = fillOrder;
  o.photometric = photometric;
  o.rowsPerStrip = rowsPerStrip;
  o.t4Options = t4Options;
  o.yResolution = 98;
  return o;
}

class PageBitmapsTest : public testing::TestWithParam<BitmapCase> {};

TEST_P(PageBitmapsTest, PixelsAreThePagesWithWhiteAsOne) {
  TempTree dir;
  const std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 300, 3),
                                     makePage(Pattern::kText, 1728, 200, 4)};
  const std::string path = dir.file("fax.tif");
  ASSERT_TRUE(writeFaxTiff(path, pages, GetParam().options));
  TiffPageBitmaps reader;
  ASSERT_TRUE(reader.open(path));
  ASSERT_EQ(reader.directoryCount(), pages.size());
  // Read out of order, as workers ask for pages.
  for (std::size_t d : {1u, 0u}) {
    ocr::PageBitmap bitmap;
    ASSERT_TRUE(reader.load(d, bitmap)) << d;
    ASSERT_EQ(bitmap.width, pages[d].width);
    ASSERT_EQ(bitmap.rows, pages[d].rows);
    EXPECT_FLOAT_EQ(bitmap.xResolution, 204.0f);
    EXPECT_FLOAT_EQ(bitmap.yResolution, 98.0f);
    std::size_t wrong = 0;
    for (uint32_t y = 0; y < bitmap.rows; ++y)
      for (uint32_t x = 0; x < bitmap.width; ++x) {
        const bool white = (bitmap.bits[std::size_t{y} * bitmap.bytesPerRow + x / 8] >>
                            (7 - x % 8)) & 1;
        wrong += white == pages[d].black(x, y) ? 1 : 0;
      }
    EXPECT_EQ(wrong, 0u) << "directory " << d;
  }
  ocr::PageBitmap none;
  EXPECT_FALSE(reader.load(2, none));
}

INSTANTIATE_TEST_SUITE_P(
    Codings, PageBitmapsTest,
    testing::Values(
        BitmapCase{"Group4", with(COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB, PHOTOMETRIC_MINISWHITE)},
        BitmapCase{"Group4LowBitFirst",
                   with(COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB, PHOTOMETRIC_MINISWHITE)},
        BitmapCase{"Group4MinIsBlack",
                   with(COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB, PHOTOMETRIC_MINISBLACK)},
        BitmapCase{"Group4ManyStrips",
                   with(COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB, PHOTOMETRIC_MINISWHITE, 64)},
        BitmapCase{"Group3TwoD", with(COMPRESSION_CCITTFAX3, FILLORDER_MSB2LSB,
                                      PHOTOMETRIC_MINISWHITE, 0, GROUP3OPT_2DENCODING)},
        BitmapCase{"Uncompressed",
                   with(COMPRESSION_NONE, FILLORDER_MSB2LSB, PHOTOMETRIC_MINISWHITE)}),
    [](const testing::TestParamInfo<BitmapCase>& info) { return std::string(info.param.name); });

TEST(PageBitmapsFileTest, FileThatIsNoTiffDoesNotOpen) {
  TempTree dir;
  TiffPageBitmaps reader;
  EXPECT_FALSE(reader.open(dir.write("x.tif", std::string("not a tiff at all"))));
  EXPECT_EQ(reader.directoryCount(), 0u);
  ocr::PageBitmap bitmap;
  EXPECT_FALSE(reader.load(0, bitmap));
}

}  // namespace
}  // namespace tarnwell
