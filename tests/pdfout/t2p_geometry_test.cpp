// Page sizes, media boxes, placement matrices and tile layout as written into the PDF, and the
// in-place sample converters.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "pdfout/pdf/t2p.h"
#include "pdfout/pdf/t2p_samples.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using test::TiffImage;

TiffImage fax(uint32_t width, uint32_t length, float xres, float yres, uint16_t unit) {
  TiffImage s;
  s.width = width;
  s.length = length;
  s.compression = COMPRESSION_CCITTFAX4;
  s.xres = xres;
  s.yres = yres;
  s.resolutionUnit = unit;
  s.pixels = test::makePage(test::Pattern::kBands, width, length).bits;
  return s;
}

struct GeometryCase {
  const char* name;
  TiffImage desc;
  const char* mediaBox;
  const char* content;
};

class GeometryTest : public ::testing::TestWithParam<GeometryCase> {
 protected:
  test::TempTree dir;
  test::TiffMessages messages;
};

TEST_P(GeometryTest, MediaBoxAndPlacement) {
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(test::writeTiff(tif, {GetParam().desc}));
  ASSERT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
  ASSERT_EQ(test::pdfProblems(pdf), "");
  const std::string bytes = test::readText(pdf);
  EXPECT_NE(test::objectText(bytes, 4).find(std::string("/MediaBox [") + GetParam().mediaBox + "] \r"),
            std::string::npos)
      << test::objectText(bytes, 4);
  EXPECT_EQ(test::streamOf(bytes, 5), GetParam().content);
}

TiffImage rotated(uint16_t orientation) {
  TiffImage s = fax(72, 144, 72, 72, RESUNIT_INCH);
  s.orientation = orientation;
  return s;
}

TiffImage tiled(uint32_t width, uint32_t length, uint32_t tile) {
  TiffImage s = fax(width, length, 72, 72, RESUNIT_INCH);
  s.tileWidth = s.tileLength = tile;
  return s;
}

const GeometryCase kGeometry[] = {
    {"Fax204x196", fax(1728, 2200, 204, 196, RESUNIT_INCH), "0.0000 0.0000 609.8823 808.1633",
     "q  609.8823 0.0000 0.0000 808.1633 0.0000 0.0000 cm /Im1 Do Q\r"},
    {"Centimetres", fax(1016, 978, 80, 77, RESUNIT_CENTIMETER), "0.0000 0.0000 360.0000 360.0368",
     "q  360.0000 0.0000 0.0000 360.0368 0.0000 0.0000 cm /Im1 Do Q\r"},
    {"NoResolution", fax(2550, 3300, 0, 0, 0), "0.0000 0.0000 612.0000 792.0000",
     "q  612.0000 0.0000 0.0000 792.0000 0.0000 0.0000 cm /Im1 Do Q\r"},
    {"Orientation6", rotated(6), "0.0000 0.0000 144.0000 72.0000",
     "q  0.0000 -72.0000 144.0000 0.0000 0.0000 72.0000 cm /Im1 Do Q\r"},
    {"Orientation3", rotated(3), "0.0000 0.0000 72.0000 144.0000",
     "q  -72.0000 0.0000 0.0000 -144.0000 72.0000 144.0000 cm /Im1 Do Q\r"},
    {"TwoByTwoTiles", tiled(64, 64, 32), "0.0000 0.0000 64.0000 64.0000",
     "q  32.0000 0.0000 0.0000 32.0000 0.0000 32.0000 cm /Im1_1 Do Q\r"
     "q  32.0000 0.0000 0.0000 32.0000 32.0000 32.0000 cm /Im1_2 Do Q\r"
     "q  32.0000 0.0000 0.0000 32.0000 0.0000 0.0000 cm /Im1_3 Do Q\r"
     "q  32.0000 0.0000 0.0000 32.0000 32.0000 0.0000 cm /Im1_4 Do Q\r"},
};

INSTANTIATE_TEST_SUITE_P(Pages, GeometryTest, ::testing::ValuesIn(kGeometry),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TileTest, EdgeTilesAreNarrowedAndReencodedInnerTilesCopied) {
  test::TempTree dir;
  test::TiffMessages messages;
  const TiffImage desc = tiled(300, 256, 256);
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(test::writeTiff(tif, {desc}));
  ASSERT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
  ASSERT_EQ(test::pdfProblems(pdf), "");
  const std::string bytes = test::readText(pdf);
  EXPECT_NE(test::objectText(bytes, 4).find("/XObject <<\r/Im1_1 7 0 R /Im1_2 9 0 R >>\r"),
            std::string::npos);
  EXPECT_NE(test::objectText(bytes, 7).find("/Width 256\r/Height 256\r"), std::string::npos);
  EXPECT_NE(test::objectText(bytes, 9).find("/Width 44\r/Height 256\r"), std::string::npos);
  EXPECT_NE(test::objectText(bytes, 9).find("/Columns 44 /Rows 256>>"), std::string::npos);
  // The inner tile is the TIFF's tile unchanged.
  const test::TiffHandle in = test::openTiff(tif);
  uint64_t* counts = nullptr;
  ASSERT_TRUE(TIFFGetField(in.get(), TIFFTAG_TILEBYTECOUNTS, &counts));
  std::vector<uint8_t> raw(static_cast<size_t>(counts[0]));
  ASSERT_GT(TIFFReadRawTile(in.get(), 0, raw.data(), static_cast<tmsize_t>(raw.size())), 0);
  EXPECT_EQ(test::streamOf(bytes, 7), std::string(raw.begin(), raw.end()));
  test::Raster expected, rendered;
  ASSERT_TRUE(test::decodeTiffDirectory(tif, 0, expected));
  ASSERT_TRUE(test::renderPdfPage(pdf, 1, 72, 72, rendered));
  EXPECT_EQ(test::countDifferences(expected, rendered), 0);
}

TEST(SampleTest, SignedLabAndPremultipliedAlphaWrap) {
  std::vector<uint8_t> lab = {50, 0x00, 0x7F, 60, 0x80, 0xFF};
  EXPECT_EQ(t2p_sample_lab_signed_to_unsigned(lab, 2), 6u);
  EXPECT_EQ(lab, (std::vector<uint8_t>{50, 0x80, 0xFF, 60, 0x00, 0x7F}));
  std::vector<uint8_t> rgba = {10, 200, 0, 100, 1, 2, 3, 255};
  EXPECT_EQ(t2p_sample_rgbaa_to_rgb(rgba, 2), 6u);
  EXPECT_EQ(std::vector<uint8_t>(rgba.begin(), rgba.begin() + 6),
            (std::vector<uint8_t>{165, 99, 155, 1, 2, 3}));
  // Converters never pass the end of a short buffer.
  std::vector<uint8_t> shortBuffer(7, 1);
  EXPECT_EQ(t2p_sample_rgba_to_rgb(shortBuffer, 1000), 3u);
  EXPECT_EQ(t2p_sample_lab_signed_to_unsigned(shortBuffer, 1000), 6u);
}

}  // namespace
}  // namespace tarnwell
