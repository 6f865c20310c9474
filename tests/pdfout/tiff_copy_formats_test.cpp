// Copies of TIFFs in every layout and coding the copy meets: the output is read back with
// libtiff and compared with the source, tag by tag and pixel by pixel.

#include <gtest/gtest.h>

#include "pdfout/tiffio/messages.h"
#include "pdfout/copy/tiff_copy.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

constexpr TiffCopyResult kCopied = TiffCopyResult::kCopied;

using test::DecodedImage;
using test::TiffImage;

struct SourceCase {
  const char* name;
  TiffImage (*make)();
};

TiffImage fax(uint16_t compression, uint32_t g3 = 0) {
  TiffImage image = test::bilevelImage(1728, 300, compression);
  image.group3Options = g3;
  return image;
}

TiffImage gray(uint16_t bits, uint16_t samples, uint16_t photometric, uint16_t compression) {
  TiffImage image;
  image.width = 97;
  image.length = 45;
  image.bitsPerSample = bits;
  image.samplesPerPixel = samples;
  image.photometric = photometric;
  image.compression = compression;
  image.pixels = test::samplePattern(test::rowBytesOf(image) * image.length, bits);
  return image;
}

const SourceCase kSources[] = {
    {"G3_1D", [] { return fax(COMPRESSION_CCITTFAX3, 0); }},
    {"G3_1D_fill", [] { return fax(COMPRESSION_CCITTFAX3, GROUP3OPT_FILLBITS); }},
    {"G3_2D", [] { return fax(COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING); }},
    {"G3_2D_fill",
     [] { return fax(COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS); }},
    {"MH", [] { return fax(COMPRESSION_CCITTRLE); }},
    {"G4", [] { return fax(COMPRESSION_CCITTFAX4); }},
    {"G4_multistrip",
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX4);
       i.rowsPerStrip = 64;
       return i;
     }},
    {"G4_fillorder2",
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX4);
       i.fillOrder = FILLORDER_LSB2MSB;
       return i;
     }},
    {"G3_fillorder2",
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING);
       i.fillOrder = FILLORDER_LSB2MSB;
       return i;
     }},
    {"uncompressed", [] { return fax(COMPRESSION_NONE); }},
    {"packbits",
     [] {
       TiffImage i = fax(COMPRESSION_PACKBITS);
       i.rowsPerStrip = 100;
       return i;
     }},
    {"min_is_black",
     [] {
       TiffImage i = fax(COMPRESSION_CCITTFAX4);
       i.photometric = PHOTOMETRIC_MINISBLACK;
       return i;
     }},
    {"tiled_edges",
     [] {
       TiffImage i = test::bilevelImage(200, 90, COMPRESSION_NONE);
       i.tileWidth = 64;
       i.tileLength = 32;
       return i;
     }},
    {"tiled_packbits_gray",
     [] {
       TiffImage i = gray(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS);
       i.tileWidth = 16;
       i.tileLength = 16;
       return i;
     }},
    {"gray8_lzw", [] { return gray(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW); }},
    {"gray4", [] { return gray(4, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE); }},
    {"rgb",
     [] {
       TiffImage i = gray(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE);
       i.rowsPerStrip = 7;
       return i;
     }},
    {"rgb_separate",
     [] {
       TiffImage i = gray(8, 3, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS);
       i.planar = PLANARCONFIG_SEPARATE;
       i.pixels = test::samplePattern(test::rowBytesOf(i) * i.length * 3, 3);
       i.rowsPerStrip = 10;
       return i;
     }},
    {"palette4",
     [] {
       TiffImage i = gray(4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE);
       for (int c = 0; c < 3; ++c)
         for (int k = 0; k < 16; ++k)
           i.colorMap.push_back(static_cast<uint16_t>((k * 4096 + c * 999) & 0xFFFF));
       return i;
     }},
};

class TiffCopyFormats : public ::testing::TestWithParam<SourceCase> {
 protected:
  void SetUp() override { silenceTiffMessages(); }
  test::TempTree dir;
};

// Keeping the source's compression reproduces the image exactly, with its layout.
TEST_P(TiffCopyFormats, KeepsCompressionAndPixels) {
  const TiffImage source = GetParam().make();
  const std::string in = dir.file("in.tif"), out = dir.file("out.tif");
  ASSERT_TRUE(test::writeTiff(in, {source}));
  TiffCopyOptions options;
  options.compression = -1;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);

  DecodedImage copy;
  ASSERT_TRUE(test::readTiffImage(out, 0, copy));
  EXPECT_EQ(copy.width, source.width);
  EXPECT_EQ(copy.length, source.length);
  EXPECT_EQ(copy.bitsPerSample, source.bitsPerSample);
  EXPECT_EQ(copy.samplesPerPixel, source.samplesPerPixel);
  EXPECT_EQ(copy.planar, source.planar);
  EXPECT_EQ(copy.photometric, source.photometric);
  EXPECT_EQ(copy.compression, source.compression);
  EXPECT_EQ(copy.tiled, source.tileWidth != 0);
  EXPECT_TRUE(copy.pixels == test::normalisedPixels(source));
  test::withDirectory(out, 0, [&](TIFF* t) {
    uint16_t fill = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fill);
    EXPECT_EQ(fill, source.fillOrder == 0 ? FILLORDER_MSB2LSB : source.fillOrder);
    if (!source.colorMap.empty()) {
      uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b));
      EXPECT_TRUE(std::equal(r, r + 16, source.colorMap.begin()));
      EXPECT_TRUE(std::equal(b, b + 16, source.colorMap.begin() + 32));
    }
  });
}

// The fax road: every bilevel source becomes Group 4 with the same strips and pixels.
class TiffCopyFaxFormats : public TiffCopyFormats {};

TEST_P(TiffCopyFaxFormats, BilevelBecomesGroup4) {
  const TiffImage source = GetParam().make();
  const std::string in = dir.file("in.tif"), out = dir.file("out.tif");
  ASSERT_TRUE(test::writeTiff(in, {source}));
  ASSERT_EQ(tiff_copy_file({in, out, TiffCopyOptions{}}).result, kCopied);

  DecodedImage copy;
  ASSERT_TRUE(test::readTiffImage(out, 0, copy));
  EXPECT_EQ(copy.compression, COMPRESSION_CCITTFAX4);
  EXPECT_TRUE(copy.pixels == test::normalisedPixels(source));
  test::withDirectory(out, 0, [&](TIFF* t) {
    // Same strips as libtiff presents the source (it cuts a single uncompressed strip into
    // strips of about 8 KiB when reading).
    if (source.tileWidth == 0) {
      uint32_t sourceStrips = 0;
      test::withDirectory(dir.file("in.tif"), 0,
                              [&](TIFF* s) { sourceStrips = TIFFNumberOfStrips(s); });
      EXPECT_EQ(TIFFNumberOfStrips(t), sourceStrips);
      if (source.compression != COMPRESSION_NONE) {
        EXPECT_EQ(sourceStrips,
                  source.rowsPerStrip == 0
                      ? 1u
                      : (source.length + source.rowsPerStrip - 1) / source.rowsPerStrip);
      }
    }
    float xres = 0;
    char* software = nullptr;
    char* date = nullptr;
    if (source.extraTags) {
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres));
      EXPECT_FLOAT_EQ(xres, 204.0f);
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_SOFTWARE, &software));
      EXPECT_STREQ(software, "Morvane.");
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_DATETIME, &date));
      EXPECT_STREQ(date, "2008:03:14 09:05:07");
    }
  });
}

std::vector<SourceCase> bilevelSources() {
  std::vector<SourceCase> bilevel;
  for (const SourceCase& c : kSources) {
    const TiffImage image = c.make();
    if (image.bitsPerSample == 1 && image.samplesPerPixel == 1 && image.photometric != PHOTOMETRIC_PALETTE) {
      bilevel.push_back(c);
    }
  }
  return bilevel;
}

INSTANTIATE_TEST_SUITE_P(Sources, TiffCopyFormats, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Sources, TiffCopyFaxFormats, ::testing::ValuesIn(bilevelSources()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// Tiles of the sizes TIFF allows (multiples of 16) are reassembled, the last column and row
// partly outside the image; tiles 13, 20 and 91 pixels wide or 8 rows long (libtiff writes only
// multiples of 16, so the files are made by hand) are refused, as unreadable pages are.
TEST(TiffCopyOddTiles, ReassemblesTilesOfTiffSizesAndRefusesOthers) {
  silenceTiffMessages();
  struct Case {
    uint32_t width, length;
    bool copies;
  };
  for (const Case& c : {Case{16, 16, true}, Case{32, 16, true}, Case{20, 8, false},
                        Case{13, 8, false}, Case{91, 8, false}, Case{16, 8, false}}) {
    const uint32_t kTw = c.width, kTl = c.length;
    SCOPED_TRACE(std::to_string(kTw) + " x " + std::to_string(kTl));
    const uint32_t kW = 2 * kTw + 4, kL = 20, kAcross = 3, kDown = (kL + kTl - 1) / kTl;
    TiffImage image = test::bilevelImage(kW, kL, COMPRESSION_NONE, 9);
    const size_t rowBytes = test::rowBytesOf(image), tileRow = (kTw + 7) / 8,
                 tileBytes = tileRow * kTl;
    std::string data(tileBytes * kAcross * kDown, '\0');
    for (uint32_t t = 0; t < kAcross * kDown; ++t) {
      const uint32_t x0 = (t % kAcross) * kTw, y0 = (t / kAcross) * kTl;
      for (uint32_t r = 0; r < kTl && y0 + r < kL; ++r)
        for (uint32_t c = 0; c < kTw && x0 + c < kW; ++c)
          if (image.pixels[(y0 + r) * rowBytes + (x0 + c) / 8] & (0x80 >> ((x0 + c) % 8)))
            data[t * tileBytes + r * tileRow + c / 8] |= static_cast<char>(0x80 >> (c % 8));
    }
    const uint32_t dataAt = 512, offsetsAt = 400, countsAt = 448;
    std::string tables(dataAt - offsetsAt, '\0');
    for (uint32_t t = 0; t < kAcross * kDown; ++t) {
      const uint32_t offset = dataAt + static_cast<uint32_t>(t * tileBytes),
                     count = static_cast<uint32_t>(tileBytes);
      for (int b = 0; b < 4; ++b) {
        tables[t * 4 + b] = static_cast<char>(offset >> (8 * b));
        tables[countsAt - offsetsAt + t * 4 + b] = static_cast<char>(count >> (8 * b));
      }
    }
    const std::vector<test::RawEntry> entries = {{256, 4, 1, kW},
                                                     {257, 4, 1, kL},
                                                     {258, 3, 1, 1},
                                                     {259, 3, 1, 1},
                                                     {262, 3, 1, 0},
                                                     {277, 3, 1, 1},
                                                     {322, 4, 1, kTw},
                                                     {323, 4, 1, kTl},
                                                     {324, 4, kAcross * kDown, offsetsAt},
                                                     {325, 4, kAcross * kDown, countsAt}};
    test::TempTree dir;
    const std::string in = dir.file("odd.tif"), out = dir.file("out.tif");
    ASSERT_TRUE(test::writeText(in, test::rawTiff({entries}, tables + data, offsetsAt)));
    for (int tiling : {-1, 0}) {
      TiffCopyOptions options;
      options.compression = -1;
      options.tiling = tiling;
      if (!c.copies) {
        EXPECT_NE(tiff_copy_file({in, out, options}).result, kCopied);
        continue;
      }
      ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
      DecodedImage copy;
      ASSERT_TRUE(test::readTiffImage(out, 0, copy));
      EXPECT_EQ(copy.tiled, tiling == -1);
      EXPECT_TRUE(copy.pixels == test::normalisedPixels(image)) << "tiling " << tiling;
    }
  }
}

}  // namespace
}  // namespace tarnwell
