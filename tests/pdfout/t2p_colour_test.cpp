// Colour spaces, palettes, ICC profiles, transfer functions and sample conversions as they
// appear in the written objects.

#include <gtest/gtest.h>
#include <tiffio.h>

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

TiffImage image(uint16_t photometric, uint16_t bits, uint16_t samples) {
  TiffImage s;
  s.width = 6;
  s.length = 4;
  s.bitsPerSample = bits;
  s.samplesPerPixel = samples;
  s.photometric = photometric;
  const uint64_t row = (uint64_t{s.width} * bits * samples + 7) / 8;
  s.pixels.resize(row * s.length);
  for (size_t i = 0; i < s.pixels.size(); ++i) s.pixels[i] = static_cast<uint8_t>(i * 29 + 3);
  return s;
}

std::vector<uint16_t> rampMap(uint16_t bits) {
  const size_t n = size_t{1} << bits;
  std::vector<uint16_t> map(3 * n);
  for (size_t i = 0; i < n; ++i) {
    map[i] = static_cast<uint16_t>(i * 0x0101 * (255 / (n - 1)));  // red ramp
    map[n + i] = static_cast<uint16_t>(0xFFFF - map[i]);            // green falls
    map[2 * n + i] = 0x1234;                                        // blue constant
  }
  return map;
}

class ColourTest : public ::testing::Test {
 protected:
  std::string convert(const std::vector<TiffImage>& images) {
    const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
    EXPECT_TRUE(test::writeTiff(tif, images));
    EXPECT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
    EXPECT_EQ(test::pdfProblems(pdf), "");
    return test::readText(pdf);
  }
  static std::string dictOf(const std::string& object) {
    return object.substr(0, object.find("stream\r\n"));
  }
  test::TempTree dir;
  test::TiffMessages messages;
};

TEST_F(ColourTest, DeviceSpacesAndDecodeArrays) {
  struct Case {
    TiffImage desc;
    const char* colourSpace;
    const char* procSet;
  };
  TiffImage cmyk = image(PHOTOMETRIC_SEPARATED, 8, 4);
  TiffImage rgb = image(PHOTOMETRIC_RGB, 8, 3);
  TiffImage gray = image(PHOTOMETRIC_MINISBLACK, 8, 1);
  for (const Case& c : {Case{cmyk, "/ColorSpace /DeviceCMYK \r >>\r", "/ImageC ]"},
                        Case{rgb, "/ColorSpace /DeviceRGB \r >>\r", "/ImageC ]"},
                        Case{gray, "/ColorSpace /DeviceGray \r >>\r", "/ImageB ]"}}) {
    const std::string pdf = convert({c.desc});
    EXPECT_NE(dictOf(test::objectText(pdf, 7)).find(c.colourSpace), std::string::npos);
    EXPECT_NE(test::objectText(pdf, 4).find(c.procSet), std::string::npos);
    // Uncompressed samples pass unchanged.
    EXPECT_EQ(test::streamOf(pdf, 7),
              std::string(c.desc.pixels.begin(), c.desc.pixels.end()));
  }
}

TEST_F(ColourTest, PalettesOfEightAndFourBits) {
  for (uint16_t bits : {uint16_t{8}, uint16_t{4}}) {
    TiffImage desc = image(PHOTOMETRIC_PALETTE, bits, 1);
    desc.colorMap = rampMap(bits);
    const std::string pdf = convert({desc});
    const size_t entries = size_t{1} << bits;
    EXPECT_NE(dictOf(test::objectText(pdf, 8))
                  .find("/ColorSpace [ /Indexed /DeviceRGB \r" + std::to_string(entries - 1) +
                        " 7 0 R ]\r"),
              std::string::npos);
    const std::string palette = test::streamOf(pdf, 7);
    ASSERT_EQ(palette.size(), 3 * entries);
    for (size_t i = 0; i < entries; ++i) {
      EXPECT_EQ(static_cast<uint8_t>(palette[3 * i]), desc.colorMap[i] >> 8);
      EXPECT_EQ(static_cast<uint8_t>(palette[3 * i + 1]), desc.colorMap[entries + i] >> 8);
      EXPECT_EQ(static_cast<uint8_t>(palette[3 * i + 2]), 0x12);
    }
    EXPECT_NE(test::objectText(pdf, 7).find("<< \r/Length " + std::to_string(3 * entries) +
                                                 "\r >>\rstream\r\n"),
              std::string::npos);
    EXPECT_NE(test::objectText(pdf, 4).find("/ProcSet [ /ImageC /ImageI ]"), std::string::npos);
  }
}

TEST_F(ColourTest, IndexedSeparatedGetsFourBytePalette) {
  TiffImage desc = image(PHOTOMETRIC_SEPARATED, 8, 1);
  desc.colorMap = rampMap(8);
  desc.extraTags = [](TIFF* tif) { TIFFSetField(tif, TIFFTAG_INDEXED, uint16_t{1}); };
  const std::string pdf = convert({desc});
  EXPECT_NE(test::objectText(pdf, 8).find("[ /Indexed /DeviceCMYK \r255 7 0 R ]\r"),
            std::string::npos);
  const std::string palette = test::streamOf(pdf, 7);
  ASSERT_EQ(palette.size(), 1024u);
  EXPECT_EQ(palette[3], 0);
}

TEST_F(ColourTest, IccProfileObjectAndReference) {
  TiffImage desc = image(PHOTOMETRIC_RGB, 8, 3);
  for (int i = 0; i < 200; ++i) desc.iccProfile.push_back(static_cast<uint8_t>(i));
  const std::string pdf = convert({desc});
  EXPECT_EQ(pdf.substr(0, 9), "%PDF-1.3 ");
  EXPECT_NE(test::objectText(pdf, 8).find("/ColorSpace [/ICCBased 7 0 R] \r"), std::string::npos);
  EXPECT_EQ(dictOf(test::objectText(pdf, 7)),
            "7 0 obj\r<< \r/N 3 \r/Alternate /DeviceRGB \r/Length 200\r >>\r");
  EXPECT_EQ(test::streamOf(pdf, 7), std::string(desc.iccProfile.begin(), desc.iccProfile.end()));
}

// Fault built soundly: a profile on a min-is-white Group 4 page must not invert it twice
// (decode parameters without BlackIs1 plus a Decode array).
TEST_F(ColourTest, IccProfileOnGroup4PageAddsNoDecodeArray) {
  TiffImage fax = image(PHOTOMETRIC_MINISWHITE, 1, 1);
  fax.width = 16;
  fax.compression = COMPRESSION_CCITTFAX4;
  fax.pixels = test::makePage(test::Pattern::kBands, 16, 4).bits;
  fax.iccProfile.assign(64, 1);
  const std::string pdf = convert({fax});
  const std::string dict = dictOf(test::objectText(pdf, 8));
  EXPECT_NE(dict.find("/ColorSpace [/ICCBased 7 0 R] \r"), std::string::npos);
  EXPECT_EQ(dict.find("/Decode ["), std::string::npos);
  EXPECT_NE(dict.find("/DecodeParms << /K -1 /Columns 16 /Rows 4>>\r"), std::string::npos);
}

TEST_F(ColourTest, CalibratedGrayAndRgb) {
  TiffImage gray = image(PHOTOMETRIC_MINISBLACK, 8, 1);
  gray.whitePoint = {0.3127f, 0.3290f};
  std::string pdf = convert({gray});
  EXPECT_NE(test::objectText(pdf, 7).find(
                "/ColorSpace [/CalGray << \r/WhitePoint [0.9505 1.0000 1.0891] \r/Gamma 2.2 \r>>] \r"),
            std::string::npos);
  EXPECT_NE(test::objectText(pdf, 4).find("/ProcSet [ /ImageC ]"), std::string::npos);

  TiffImage rgb = image(PHOTOMETRIC_RGB, 8, 3);
  rgb.whitePoint = {0.3127f, 0.3290f};
  rgb.primaries = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
  pdf = convert({rgb});
  // sRGB primaries with a D65 white give the familiar XYZ matrix.
  EXPECT_NE(test::objectText(pdf, 7).find(
                "[/CalRGB << \r/WhitePoint [0.9505 1.0000 1.0891] \r/Matrix [0.4124 0.2126 0.0193 "
                "0.3576 0.7152 0.1192 0.1805 0.0722 0.9505] \r/Gamma [2.2 2.2 2.2] \r>>] \r"),
            std::string::npos);
  // A white point without primaries cannot calibrate RGB.
  rgb.primaries.clear();
  pdf = convert({rgb});
  EXPECT_NE(test::objectText(pdf, 7).find("/ColorSpace /DeviceRGB \r"), std::string::npos);
}

// Fault built soundly: the Lab dictionary holds only keyed entries.
TEST_F(ColourTest, LabDictionaryConformsAndSamplesBecomeUnsigned) {
  TiffImage lab = image(PHOTOMETRIC_CIELAB, 8, 3);
  const std::string pdf = convert({lab});
  EXPECT_NE(test::objectText(pdf, 7).find(
                "/ColorSpace [/Lab << \r/WhitePoint [0.9643 1.0000 0.8251] \r"
                "/Range [-127 127 -127 127] \r>>] \r"),
            std::string::npos);
  const std::string data = test::streamOf(pdf, 7);
  ASSERT_EQ(data.size(), lab.pixels.size());
  for (size_t i = 0; i < data.size(); ++i) {
    const uint8_t in = lab.pixels[i];
    const uint8_t expected = i % 3 == 0 ? in : static_cast<uint8_t>(in ^ 0x80);
    EXPECT_EQ(static_cast<uint8_t>(data[i]), expected) << i;
  }
  TiffImage iccLab = image(PHOTOMETRIC_ICCLAB, 8, 3);
  const std::string pdf2 = convert({iccLab});
  EXPECT_NE(test::objectText(pdf2, 7).find("/Range [0 255 0 255] \r"), std::string::npos);
  EXPECT_EQ(test::streamOf(pdf2, 7), std::string(iccLab.pixels.begin(), iccLab.pixels.end()));
}

TEST_F(ColourTest, TransferFunctionsBuildExtGState) {
  TiffImage rgb = image(PHOTOMETRIC_RGB, 8, 3);
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 256; ++i) rgb.transfer.push_back(static_cast<uint16_t>(i * 256 + t));
  }
  const std::string pdf = convert({rgb});
  EXPECT_EQ(pdf.substr(0, 9), "%PDF-1.2 ");
  EXPECT_NE(test::objectText(pdf, 4).find("/XObject <<\r/Im1 11 0 R >>\r/ExtGState <</GS1 7 0 R >> \r"),
            std::string::npos);
  EXPECT_EQ(test::streamOf(pdf, 5).substr(0, 11), "q /GS1 gs  ");
  EXPECT_EQ(test::objectText(pdf, 7),
            "7 0 obj\r<< /Type /ExtGState \r/TR [ 8 0 R 9 0 R 10 0 R /Identity ]  >> \rendobj\r");
  for (int t = 0; t < 3; ++t) {
    const std::string function = test::objectText(pdf, 8 + t);
    EXPECT_NE(function.find("<< \r/FunctionType 0 \r/Domain [0.0 1.0] \r/Range [0.0 1.0] \r"
                            "/Size [256] \r/BitsPerSample 16 \r/Length 512\r >>\r"),
              std::string::npos);
    const std::string table = test::streamOf(pdf, 8 + t);
    ASSERT_EQ(table.size(), 512u);
    EXPECT_EQ(static_cast<uint8_t>(table[2 * 200]), 200);
    EXPECT_EQ(static_cast<uint8_t>(table[2 * 200 + 1]), t);
  }
  // One table for a gray image: a single function.
  TiffImage gray = image(PHOTOMETRIC_MINISBLACK, 8, 1);
  for (int i = 0; i < 256; ++i) gray.transfer.push_back(static_cast<uint16_t>(65535 - i * 257));
  const std::string pdf2 = convert({gray});
  EXPECT_EQ(test::objectText(pdf2, 7),
            "7 0 obj\r<< /Type /ExtGState \r/TR 8 0 R  >> \rendobj\r");
  EXPECT_NE(test::objectText(pdf2, 9).find("/Subtype /Image"), std::string::npos);
}

TEST_F(ColourTest, AlphaIsDroppedOrComposedOnWhite) {
  for (uint16_t extra : {uint16_t{EXTRASAMPLE_UNASSALPHA}, uint16_t{EXTRASAMPLE_ASSOCALPHA},
                         uint16_t{EXTRASAMPLE_UNSPECIFIED}}) {
    TiffImage rgba = image(PHOTOMETRIC_RGB, 8, 4);
    rgba.extraSamples = {extra};
    const std::string pdf = convert({rgba});
    const std::string data = test::streamOf(pdf, 7);
    ASSERT_EQ(data.size(), 6u * 4 * 3);
    for (size_t p = 0; p < 24; ++p) {
      const uint8_t a = rgba.pixels[4 * p + 3];
      for (size_t c = 0; c < 3; ++c) {
        uint8_t expected = rgba.pixels[4 * p + c];
        if (extra == EXTRASAMPLE_ASSOCALPHA) expected = static_cast<uint8_t>(expected + 255 - a);
        EXPECT_EQ(static_cast<uint8_t>(data[3 * p + c]), expected);
      }
    }
    EXPECT_EQ(messages.hasWarning("has 4 samples per pixel, assuming RGBA"),
              extra == EXTRASAMPLE_UNSPECIFIED);
  }
}

TEST_F(ColourTest, FourSampleRgbWithoutExtraSamplesIsInverseCmyk) {
  const std::string pdf = convert({image(PHOTOMETRIC_RGB, 8, 4)});
  EXPECT_NE(test::objectText(pdf, 7).find("/DeviceCMYK \r/Decode [ 1 0 1 0 1 0 1 0 ]\r"),
            std::string::npos);
  EXPECT_TRUE(messages.hasWarning("has 4 samples per pixel, assuming inverse CMYK"));
}

TEST_F(ColourTest, SeparatePlanesAreInterleaved) {
  TiffImage planar = image(PHOTOMETRIC_RGB, 8, 3);
  planar.planar = PLANARCONFIG_SEPARATE;
  planar.rowsPerStrip = 3;  // two strip rows, the second shorter
  const std::string pdf = convert({planar});
  const std::string data = test::streamOf(pdf, 7);
  ASSERT_EQ(data.size(), planar.pixels.size());
  const size_t plane = 6 * 4;
  for (size_t j = 0; j < plane; ++j) {
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(static_cast<uint8_t>(data[3 * j + k]), planar.pixels[k * plane + j]);
    }
  }
}

TEST_F(ColourTest, TiledSeparatePlanesKeepPageTreeConsistent) {
  TiffImage planar = image(PHOTOMETRIC_RGB, 8, 3);
  planar.width = 40;
  planar.length = 20;
  planar.pixels = test::grayPattern(40, 20, 3);
  planar.planar = PLANARCONFIG_SEPARATE;
  planar.tileWidth = 16;
  planar.tileLength = 16;
  TiffImage second = image(PHOTOMETRIC_MINISBLACK, 8, 1);
  const std::string pdf = convert({planar, second});
  // 3 x 2 tiles: six image pairs, so the second page is object 4 + 3 + 12.
  EXPECT_NE(pdf.find("/Kids [ 4 0 R 19 0 R ] "), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 7).find("/Name /Im1_1\r/Width 16\r/Height 16\r"), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 11).find("/Name /Im1_3\r/Width 8\r/Height 16\r"), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 17).find("/Name /Im1_6\r/Width 8\r/Height 4\r"), std::string::npos);
  const std::string tile3 = test::streamOf(pdf, 11);
  ASSERT_EQ(tile3.size(), 8u * 16 * 3);
  EXPECT_EQ(static_cast<uint8_t>(tile3[3 * 1 + 2]), planar.pixels[2 * 800 + 33]);
}

TEST_F(ColourTest, YCbCrIsReadThroughTheRgbaRaster) {
  TiffImage ycc = image(PHOTOMETRIC_YCBCR, 8, 3);
  ycc.extraTags = [](TIFF* tif) {
    TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, uint16_t{1}, uint16_t{1});
  };
  for (size_t p = 0; p < 24; ++p) {
    ycc.pixels[3 * p] = static_cast<uint8_t>(p * 10);
    ycc.pixels[3 * p + 1] = 128;  // no chroma: gray
    ycc.pixels[3 * p + 2] = 128;
  }
  const std::string pdf = convert({ycc});
  EXPECT_NE(test::objectText(pdf, 7).find("/ColorSpace /DeviceRGB \r"), std::string::npos);
  const std::string data = test::streamOf(pdf, 7);
  ASSERT_EQ(data.size(), 72u);
  for (size_t p = 0; p < 24; ++p) {
    EXPECT_NEAR(static_cast<uint8_t>(data[3 * p]), p * 10, 2);
    EXPECT_EQ(data[3 * p], data[3 * p + 1]);
  }
}

}  // namespace
}  // namespace tarnwell
