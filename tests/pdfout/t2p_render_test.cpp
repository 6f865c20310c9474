// Bilevel and gray pages rendered by Ghostscript at the image's own resolution must show
// exactly the pixels libtiff decodes from the TIFF.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <functional>

#include "pdfout/pdf/t2p.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using test::TiffImage;

// How the image data is expected to reach the PDF.
enum class Stream { RawStrip, Group4, Uncompressed };

struct RenderCase {
  const char* name;
  std::function<TiffImage()> build;
  Stream stream;
};

TiffImage bilevel(uint16_t compression, uint16_t photometric = PHOTOMETRIC_MINISWHITE) {
  TiffImage s;
  s.width = 136;  // 48 points at 204 pixels per inch
  s.length = 98;  // 36 points at 196 pixels per inch
  s.compression = compression;
  s.photometric = photometric;
  s.xres = 204;
  s.yres = 196;
  s.resolutionUnit = RESUNIT_INCH;
  s.pixels = test::makePage(test::Pattern::kBands, s.width, s.length, 1).bits;
  return s;
}

TiffImage gray(uint16_t bits, uint16_t photometric = PHOTOMETRIC_MINISBLACK) {
  TiffImage s;
  s.width = 100;
  s.length = 50;
  s.bitsPerSample = bits;
  s.photometric = photometric;
  s.xres = 200;
  s.yres = 100;
  s.resolutionUnit = RESUNIT_INCH;
  const uint64_t row = (uint64_t{s.width} * bits + 7) / 8;
  s.pixels.resize(row * s.length);
  for (size_t i = 0; i < s.pixels.size(); ++i) {
    s.pixels[i] = static_cast<uint8_t>((i * 37 + i / row * 11) & 0xFF);
  }
  return s;
}

template <typename F>
std::function<TiffImage()> with(std::function<TiffImage()> base, F change) {
  return [base, change] {
    TiffImage s = base();
    change(s);
    return s;
  };
}

std::function<TiffImage()> oriented(uint16_t orientation) {
  return [orientation] {
    TiffImage s = bilevel(COMPRESSION_CCITTFAX4);
    s.width = 72;  // 36 by 20 points at 144 pixels per inch both ways
    s.length = 40;
    s.xres = s.yres = 144;
    s.pixels = test::makePage(test::Pattern::kBands, s.width, s.length, 2).bits;
    s.orientation = orientation;
    return s;
  };
}

const RenderCase kCases[] = {
    {"G4OneStrip", [] { return bilevel(COMPRESSION_CCITTFAX4); }, Stream::RawStrip},
    {"G4OneStripFillOrder2",
     with([] { return bilevel(COMPRESSION_CCITTFAX4); }, [](TiffImage& s) { s.fillOrder = FILLORDER_LSB2MSB; }),
     Stream::RawStrip},
    {"G4OneStripMinIsBlack",
     [] { return bilevel(COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISBLACK); }, Stream::RawStrip},
    {"G4SeveralStrips",
     with([] { return bilevel(COMPRESSION_CCITTFAX4); }, [](TiffImage& s) { s.rowsPerStrip = 30; }),
     Stream::Group4},
    {"G3OneDimensional", [] { return bilevel(COMPRESSION_CCITTFAX3); }, Stream::Group4},
    {"G3TwoDimensional",
     with([] { return bilevel(COMPRESSION_CCITTFAX3); }, [](TiffImage& s) { s.group3Options = GROUP3OPT_2DENCODING; }),
     Stream::Group4},
    {"G3FillBitsFillOrder2",
     with([] { return bilevel(COMPRESSION_CCITTFAX3); },
          [](TiffImage& s) {
            s.group3Options = GROUP3OPT_FILLBITS | GROUP3OPT_2DENCODING;
            s.fillOrder = FILLORDER_LSB2MSB;
            s.rowsPerStrip = 16;
          }),
     Stream::Group4},
    {"ModifiedHuffman", [] { return bilevel(COMPRESSION_CCITTRLE); }, Stream::Group4},
    {"UncompressedMinIsWhite", [] { return bilevel(COMPRESSION_NONE); }, Stream::Group4},
    {"UncompressedMinIsBlack", [] { return bilevel(COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK); }, Stream::Group4},
    {"UncompressedFillOrder2",
     with([] { return bilevel(COMPRESSION_NONE); }, [](TiffImage& s) { s.fillOrder = FILLORDER_LSB2MSB; }),
     Stream::Group4},
    {"PackBits", [] { return bilevel(COMPRESSION_PACKBITS); }, Stream::Group4},
    {"TiledG4WithEdgeTiles",
     with([] { return bilevel(COMPRESSION_CCITTFAX4); },
          [](TiffImage& s) { s.tileWidth = 48; s.tileLength = 32; }),
     Stream::Group4},
    {"TiledMinIsBlackUncompressed",
     with([] { return bilevel(COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK); },
          [](TiffImage& s) { s.tileWidth = 64; s.tileLength = 48; }),
     Stream::Group4},
    {"Orientation1", oriented(1), Stream::RawStrip},
    {"Orientation2", oriented(2), Stream::RawStrip},
    {"Orientation3", oriented(3), Stream::RawStrip},
    {"Orientation4", oriented(4), Stream::RawStrip},
    {"Orientation5", oriented(5), Stream::RawStrip},
    {"Orientation6", oriented(6), Stream::RawStrip},
    {"Orientation7", oriented(7), Stream::RawStrip},
    {"Orientation8", oriented(8), Stream::RawStrip},
    {"TiledOrientation3",
     with(oriented(3), [](TiffImage& s) { s.tileWidth = 32; s.tileLength = 16; }), Stream::Group4},
    {"TiledOrientation6",
     with(oriented(6), [](TiffImage& s) { s.tileWidth = 32; s.tileLength = 16; }), Stream::Group4},
    {"TiledOrientation8",
     with(oriented(8), [](TiffImage& s) { s.tileWidth = 32; s.tileLength = 16; }), Stream::Group4},
    {"Gray8MinIsBlack", [] { return gray(8); }, Stream::Uncompressed},
    {"Gray8MinIsWhite", [] { return gray(8, PHOTOMETRIC_MINISWHITE); }, Stream::Uncompressed},
    {"Gray4", [] { return gray(4); }, Stream::Uncompressed},
    {"Gray2MinIsWhite", [] { return gray(2, PHOTOMETRIC_MINISWHITE); }, Stream::Uncompressed},
    {"Gray8Lzw", with([] { return gray(8); }, [](TiffImage& s) { s.compression = COMPRESSION_LZW; s.rowsPerStrip = 7; }),
     Stream::Uncompressed},
    {"Gray8PackBitsCentimetres",
     with([] { return gray(8); },
          [](TiffImage& s) {
            s.compression = COMPRESSION_PACKBITS;
            s.resolutionUnit = RESUNIT_CENTIMETER;
            s.xres = 200 / 2.54f;
            s.yres = 100 / 2.54f;
          }),
     Stream::Uncompressed},
    {"Gray8TiledEdges",
     with([] { return gray(8); }, [](TiffImage& s) { s.tileWidth = 32; s.tileLength = 16; }),
     Stream::Uncompressed},
};

class RenderTest : public ::testing::TestWithParam<RenderCase> {
 protected:
  test::TempTree dir;
  test::TiffMessages messages;
};

TEST_P(RenderTest, RenderedPageMatchesDecodedTiff) {
  const TiffImage desc = GetParam().build();
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(test::writeTiff(tif, {desc}));
  ASSERT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
  ASSERT_EQ(test::pdfProblems(pdf), "");

  const std::string bytes = test::readText(pdf);
  const std::string image = test::objectText(bytes, 7);
  const bool bilevelImage = desc.bitsPerSample == 1;
  switch (GetParam().stream) {
    case Stream::RawStrip: {
      // The stream is the TIFF's strip, bit-reversed when stored least significant bit first.
      const test::TiffHandle in = test::openTiff(tif);
      ASSERT_TRUE(in);
      std::vector<uint8_t> raw(static_cast<size_t>(TIFFRawStripSize(in.get(), 0)));
      ASSERT_EQ(TIFFReadRawStrip(in.get(), 0, raw.data(), static_cast<tmsize_t>(raw.size())),
                static_cast<tmsize_t>(raw.size()));
      if (desc.fillOrder == FILLORDER_LSB2MSB) TIFFReverseBits(raw.data(), static_cast<tmsize_t>(raw.size()));
      EXPECT_EQ(test::streamOf(bytes, 7), std::string(raw.begin(), raw.end()));
      EXPECT_EQ(test::objectText(bytes, 8), "8 0 obj\r" + std::to_string(raw.size()) + "\rendobj\r");
      break;
    }
    case Stream::Group4:
      EXPECT_NE(image.find("/Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns "), std::string::npos);
      break;
    case Stream::Uncompressed:
      EXPECT_EQ(image.find("/Filter"), std::string::npos);
      break;
  }
  if (bilevelImage) {
    EXPECT_EQ(image.find("/Decode ["), std::string::npos);
    const bool blackIs1 = desc.photometric == PHOTOMETRIC_MINISBLACK;
    EXPECT_EQ(image.find(" /BlackIs1 true >>\r") != std::string::npos, blackIs1);
  } else {
    const bool inverted = desc.photometric == PHOTOMETRIC_MINISWHITE;
    EXPECT_EQ(image.find("/Decode [ 1 0 ]\r") != std::string::npos, inverted);
  }

  test::Raster expected, rendered;
  ASSERT_TRUE(test::decodeTiffDirectory(tif, 0, expected));
  const float xdpi = desc.resolutionUnit == RESUNIT_CENTIMETER ? desc.xres * 2.54f : desc.xres;
  const float ydpi = desc.resolutionUnit == RESUNIT_CENTIMETER ? desc.yres * 2.54f : desc.yres;
  ASSERT_TRUE(test::renderPdfPage(pdf, 1, xdpi, ydpi, rendered));
  EXPECT_EQ(test::countDifferences(expected, rendered), 0)
      << "expected " << expected.width << "x" << expected.height << ", rendered "
      << rendered.width << "x" << rendered.height;
}

INSTANTIATE_TEST_SUITE_P(Pages, RenderTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RenderCase>& info) {
                           return std::string(info.param.name);
                         });

// Several pages of different kinds in one document render page by page.
TEST(RenderDocumentTest, MixedPagesRenderEachAtItsOwnResolution) {
  test::TempTree dir;
  test::TiffMessages messages;
  std::vector<TiffImage> pages = {bilevel(COMPRESSION_CCITTFAX4), gray(8),
                                      bilevel(COMPRESSION_CCITTFAX3), gray(4)};
  pages[2].rowsPerStrip = 20;
  const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
  ASSERT_TRUE(test::writeTiff(tif, pages));
  ASSERT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
  ASSERT_EQ(test::pdfProblems(pdf), "");
  for (uint16_t i = 0; i < pages.size(); ++i) {
    test::Raster expected, rendered;
    ASSERT_TRUE(test::decodeTiffDirectory(tif, i, expected));
    ASSERT_TRUE(test::renderPdfPage(pdf, i + 1, pages[i].xres, pages[i].yres, rendered));
    EXPECT_EQ(test::countDifferences(expected, rendered), 0) << "page " << i + 1;
  }
}

}  // namespace
}  // namespace tarnwell
