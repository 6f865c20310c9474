// The copy options (compression choice, fill order, tiling, append), orientation rules and the
// tags carried from source to output.

#include <gtest/gtest.h>

#include <cstring>

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

class TiffCopyOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { silenceTiffMessages(); }
  std::string writeSource(const std::vector<TiffImage>& images) {
    const std::string path = dir.file("in.tif");
    EXPECT_TRUE(test::writeTiff(path, images));
    return path;
  }
  test::TempTree dir;
};

TiffImage grayImage(uint16_t samples = 1) {
  TiffImage image;
  image.width = 64;
  image.length = 48;
  image.bitsPerSample = 8;
  image.samplesPerPixel = samples;
  image.photometric = samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  image.rowsPerStrip = 16;
  // Smooth content so that JPEG stays close to the source.
  image.pixels.resize(test::rowBytesOf(image) * image.length);
  for (size_t i = 0; i < image.pixels.size(); ++i)
    image.pixels[i] = static_cast<uint8_t>(64 + (i / samples) % 64);
  return image;
}

// The program asks for Group 4 (choice 6) or for each image's own compression (-1); any other
// choice keeps the image's compression as -1 does.
struct ChoiceCase {
  int choice;
  uint16_t sourceCompression;
  uint16_t compression;  // expected in the copy
  uint16_t samples;      // 0: a bilevel page, else a grey (1) or RGB (3) image
  int tolerance;         // largest sample difference allowed (JPEG is lossy)
};

class TiffCopyChoice : public TiffCopyOptionsTest,
                       public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(TiffCopyChoice, WritesTheChosenCoding) {
  const ChoiceCase c = GetParam();
  if (!TIFFIsCODECConfigured(c.sourceCompression) || !TIFFIsCODECConfigured(c.compression))
    GTEST_SKIP() << "codec not in this libtiff";
  TiffImage source;
  if (c.samples == 0) {
    source = test::bilevelImage(640, 120, c.sourceCompression);
  } else {
    source = grayImage(c.samples);
    source.compression = c.sourceCompression;
  }
  const std::string in = writeSource({source}), out = dir.file("out.tif");
  TiffCopyOptions options;
  options.compression = c.choice;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  DecodedImage copy;
  ASSERT_TRUE(test::readTiffImage(out, 0, copy));
  EXPECT_EQ(copy.compression, c.compression);
  DecodedImage original;
  ASSERT_TRUE(test::readTiffImage(in, 0, original));
  ASSERT_EQ(copy.pixels.size(), original.pixels.size());
  int worst = 0;
  for (size_t i = 0; i < original.pixels.size(); ++i)
    worst = std::max(worst, std::abs(copy.pixels[i] - original.pixels[i]));
  EXPECT_LE(worst, c.tolerance);
  test::withDirectory(out, 0, [&](TIFF* t) {
    uint32_t g3 = 99;
    if (c.compression == COMPRESSION_CCITTFAX3) {
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_GROUP3OPTIONS, &g3));
      EXPECT_EQ(g3, 0u);
    }
    uint16_t photometric = 0;
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    if (c.compression == COMPRESSION_JPEG && c.samples == 3) {
      EXPECT_EQ(photometric, PHOTOMETRIC_YCBCR);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Choices, TiffCopyChoice,
    ::testing::Values(ChoiceCase{6, COMPRESSION_CCITTFAX4, COMPRESSION_CCITTFAX4, 0, 0},
                      ChoiceCase{6, COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4, 0, 0},
                      ChoiceCase{6, COMPRESSION_NONE, COMPRESSION_CCITTFAX4, 0, 0},
                      ChoiceCase{6, COMPRESSION_PACKBITS, COMPRESSION_CCITTFAX4, 0, 0},
                      ChoiceCase{-1, COMPRESSION_CCITTFAX4, COMPRESSION_CCITTFAX4, 0, 0},
                      ChoiceCase{-1, COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX3, 0, 0},
                      ChoiceCase{-1, COMPRESSION_PACKBITS, COMPRESSION_PACKBITS, 0, 0},
                      ChoiceCase{-1, COMPRESSION_NONE, COMPRESSION_NONE, 1, 0},
                      ChoiceCase{-1, COMPRESSION_LZW, COMPRESSION_LZW, 1, 0},
                      ChoiceCase{-1, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_ADOBE_DEFLATE, 1, 0},
                      ChoiceCase{-1, COMPRESSION_JPEG, COMPRESSION_JPEG, 3, 12},
                      ChoiceCase{3, COMPRESSION_LZW, COMPRESSION_LZW, 1, 0},
                      ChoiceCase{0, COMPRESSION_CCITTFAX4, COMPRESSION_CCITTFAX4, 0, 0}),
    [](const auto& info) {
      const ChoiceCase& c = info.param;
      return (c.choice < 0 ? std::string("keep") : "choice" + std::to_string(c.choice)) +
             "_from" + std::to_string(c.sourceCompression) +
             (c.samples == 0 ? "_bilevel" : c.samples == 1 ? "_gray" : "_rgb");
    });

// A Group 3 source copied with its own compression gets Group 3 options 0, not its own.
TEST_F(TiffCopyOptionsTest, KeptGroup3StartsFromOptionsZero) {
  TiffImage source = test::bilevelImage(300, 40, COMPRESSION_CCITTFAX3);
  source.group3Options = GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS;
  const std::string in = writeSource({source}), out = dir.file("out.tif");
  TiffCopyOptions options;
  options.compression = -1;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  test::withDirectory(out, 0, [](TIFF* t) {
    uint32_t g3 = 99;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_GROUP3OPTIONS, &g3));
    EXPECT_EQ(g3, 0u);
  });
}

TEST_F(TiffCopyOptionsTest, FillOrderOptionOverridesTheSource) {
  const TiffImage source = test::bilevelImage(300, 40, COMPRESSION_CCITTFAX4);
  const std::string in = writeSource({source}), out = dir.file("out.tif");
  TiffCopyOptions options;
  options.fillOrder = FILLORDER_LSB2MSB;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  DecodedImage copy;
  ASSERT_TRUE(test::readTiffImage(out, 0, copy));
  EXPECT_TRUE(copy.pixels == test::normalisedPixels(source));
  test::withDirectory(out, 0, [](TIFF* t) {
    uint16_t fill = 0;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_FILLORDER, &fill));
    EXPECT_EQ(fill, FILLORDER_LSB2MSB);
  });
}

struct TilingCase {
  const char* name;
  int option;
  bool firstTiled, secondTiled;
  bool expectTiled;
};

class TiffCopyTiling : public TiffCopyOptionsTest,
                       public ::testing::WithParamInterface<TilingCase> {};

// Layout changes go through the whole-image copy; edge tiles and partial strips survive it.
TEST_P(TiffCopyTiling, LayoutFollowsTheOptionAndTheFirstImage) {
  const TilingCase c = GetParam();
  TiffImage first = test::bilevelImage(200, 90, COMPRESSION_PACKBITS, 1);
  TiffImage second = test::bilevelImage(136, 50, COMPRESSION_CCITTFAX4, 2);
  second.rowsPerStrip = 16;
  if (c.firstTiled) {
    first.tileWidth = 48;
    first.tileLength = 32;
  }
  if (c.secondTiled) {
    second.tileWidth = 64;
    second.tileLength = 16;
    second.rowsPerStrip = 0;
  }
  const std::string in = writeSource({first, second}), out = dir.file("out.tif");
  TiffCopyOptions options;
  options.compression = -1;
  options.tiling = c.option;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  for (uint32_t d = 0; d < 2; ++d) {
    DecodedImage copy;
    ASSERT_TRUE(test::readTiffImage(out, d, copy));
    EXPECT_EQ(copy.tiled, c.expectTiled) << "image " << d;
    EXPECT_TRUE(copy.pixels == test::normalisedPixels(d == 0 ? first : second))
        << "image " << d;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TiffCopyTiling,
                         ::testing::Values(TilingCase{"auto_stripped", -1, false, true, false},
                                           TilingCase{"auto_tiled", -1, true, false, true},
                                           TilingCase{"forced_strips", 0, true, true, false},
                                           TilingCase{"forced_tiles", 1, false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TiffCopyOptionsTest, AppendAddsImagesToAnExistingFile) {
  const std::string in = writeSource({test::bilevelImage(100, 20, COMPRESSION_CCITTFAX4, 1),
                                      test::bilevelImage(120, 30, COMPRESSION_CCITTFAX4, 2)});
  const std::string out = dir.file("out.tif");
  TiffCopyOptions options;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  options.append = 1;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  ASSERT_EQ(test::countDirectories(out), 4);
  DecodedImage last;
  ASSERT_TRUE(test::readTiffImage(out, 3, last));
  EXPECT_EQ(last.width, 120u);
  // Without append the output is created anew.
  options.append = 0;
  ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
  EXPECT_EQ(test::countDirectories(out), 2);
}

struct OrientationCase {
  uint16_t source, output;
  const char* warning;  // nullptr: none
};

class TiffCopyOrientation : public TiffCopyOptionsTest,
                            public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(TiffCopyOrientation, MapsToASupportedOrientation) {
  const OrientationCase c = GetParam();
  TiffImage source = test::bilevelImage(64, 16, COMPRESSION_CCITTFAX4);
  source.orientation = c.source;
  const std::string in = writeSource({source}), out = dir.file("out.tif");
  test::TiffMessages log;
  ASSERT_EQ(tiff_copy_file({in, out, TiffCopyOptions{}}).result, kCopied);
  if (c.warning != nullptr) {
    EXPECT_TRUE(log.has(std::string("trnw2pdf: ") + c.warning));
  } else {
    EXPECT_FALSE(log.has("orientation"));
  }
  test::withDirectory(out, 0, [&](TIFF* t) {
    uint16_t orientation = 0;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_ORIENTATION, &orientation));
    EXPECT_EQ(orientation, c.output);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Values, TiffCopyOrientation,
    ::testing::Values(OrientationCase{0, 1, nullptr}, OrientationCase{1, 1, nullptr},
                      OrientationCase{2, 1, "using top-left orientation"},
                      OrientationCase{3, 4, "using bottom-left orientation"},
                      OrientationCase{4, 4, nullptr}, OrientationCase{5, 5, nullptr},
                      OrientationCase{6, 1, "using top-left orientation"},
                      OrientationCase{7, 4, "using bottom-left orientation"},
                      OrientationCase{8, 8, nullptr}),
    [](const auto& info) { return "orientation" + std::to_string(info.param.source); });

// Every tag of the copied set arrives unchanged; the rights notice does not.
TEST_F(TiffCopyOptionsTest, CarriesTheTagSet) {
  TiffImage source = grayImage(4);
  source.photometric = PHOTOMETRIC_RGB;
  static const uint16_t kExtra[] = {EXTRASAMPLE_UNASSALPHA};
  static const float kWhite[] = {0.3127f, 0.329f};
  static const float kPrimaries[] = {0.64f, 0.33f, 0.3f, 0.6f, 0.15f, 0.06f};
  static const uint8_t kIcc[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  source.extraTags = [](TIFF* t) {
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kExtra);
    TIFFSetField(t, TIFFTAG_DOCUMENTNAME, "doc");
    TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, "desc");
    TIFFSetField(t, TIFFTAG_MAKE, "make");
    TIFFSetField(t, TIFFTAG_MODEL, "model");
    TIFFSetField(t, TIFFTAG_PAGENAME, "page");
    TIFFSetField(t, TIFFTAG_ARTIST, "artist");
    TIFFSetField(t, TIFFTAG_HOSTCOMPUTER, "host");
    TIFFSetField(t, TIFFTAG_TARGETPRINTER, "printer");
    TIFFSetField(t, TIFFTAG_COPYRIGHT, "rights");
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 80.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 77.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
    TIFFSetField(t, TIFFTAG_XPOSITION, 1.5);
    TIFFSetField(t, TIFFTAG_WHITEPOINT, kWhite);
    TIFFSetField(t, TIFFTAG_PRIMARYCHROMATICITIES, kPrimaries);
    TIFFSetField(t, TIFFTAG_HALFTONEHINTS, 3, 250);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_PAGENUMBER, 2, 5);
    TIFFSetField(t, TIFFTAG_ICCPROFILE, 9, kIcc);
    TIFFSetField(t, TIFFTAG_STONITS, 2.25);
  };
  const std::string in = writeSource({source}), out = dir.file("out.tif");
  ASSERT_EQ(tiff_copy_file({in, out, TiffCopyOptions{.compression = -1}}).result, kCopied);
  test::withDirectory(out, 0, [&](TIFF* t) {
    for (auto [tag, text] : {std::pair{TIFFTAG_DOCUMENTNAME, "doc"},
                             {TIFFTAG_IMAGEDESCRIPTION, "desc"},
                             {TIFFTAG_MAKE, "make"},
                             {TIFFTAG_MODEL, "model"},
                             {TIFFTAG_PAGENAME, "page"},
                             {TIFFTAG_ARTIST, "artist"},
                             {TIFFTAG_HOSTCOMPUTER, "host"},
                             {TIFFTAG_TARGETPRINTER, "printer"}}) {
      char* value = nullptr;
      ASSERT_TRUE(TIFFGetField(t, tag, &value)) << tag;
      EXPECT_STREQ(value, text);
    }
    char* rights = nullptr;
    EXPECT_FALSE(TIFFGetField(t, TIFFTAG_COPYRIGHT, &rights));
    float x = 0, y = 0, pos = 0;
    uint16_t unit = 0, h1 = 0, h2 = 0, page = 0, pages = 0, extraCount = 0;
    uint16_t* extra = nullptr;
    float* white = nullptr;
    float* primaries = nullptr;
    uint32_t subfile = 0, iccLength = 0;
    void* icc = nullptr;
    double nits = 0;
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_XRESOLUTION, &x) && x == 80.0f);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_YRESOLUTION, &y) && y == 77.0f);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &unit) && unit == RESUNIT_CENTIMETER);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_XPOSITION, &pos) && pos == 1.5f);
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_WHITEPOINT, &white));
    EXPECT_FLOAT_EQ(white[1], 0.329f);
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_PRIMARYCHROMATICITIES, &primaries));
    EXPECT_FLOAT_EQ(primaries[5], 0.06f);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_HALFTONEHINTS, &h1, &h2) && h1 == 3 && h2 == 250);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_SUBFILETYPE, &subfile) && subfile == FILETYPE_PAGE);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_PAGENUMBER, &page, &pages) && page == 2 && pages == 5);
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extra));
    EXPECT_EQ(extraCount, 1);
    EXPECT_EQ(extra[0], EXTRASAMPLE_UNASSALPHA);
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_ICCPROFILE, &iccLength, &icc));
    ASSERT_EQ(iccLength, 9u);
    EXPECT_EQ(std::memcmp(icc, kIcc, 9), 0);
    EXPECT_TRUE(TIFFGetField(t, TIFFTAG_STONITS, &nits) && nits == 2.25);
  });
}

TEST_F(TiffCopyOptionsTest, CarriesTransferFunctionAndInkNames) {
  TiffImage gray = grayImage(1);
  static std::vector<uint16_t> table(256);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(i * 257);
  gray.extraTags = [](TIFF* t) { TIFFSetField(t, TIFFTAG_TRANSFERFUNCTION, table.data()); };
  TiffImage cmyk = grayImage(4);
  cmyk.photometric = PHOTOMETRIC_SEPARATED;
  cmyk.extraTags = [](TIFF* t) {
    TIFFSetField(t, TIFFTAG_INKSET, INKSET_MULTIINK);
    TIFFSetField(t, TIFFTAG_INKNAMES, 16, "cyan\0mag\0yel\0bk");
  };
  // Gray with alpha has one table, but the output asks for three while its ExtraSamples is
  // still unset; the copy must not hand libtiff stray pointers.
  TiffImage grayAlpha = grayImage(2);
  grayAlpha.extraTags = [](TIFF* t) {
    static const uint16_t kAlpha[] = {EXTRASAMPLE_ASSOCALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kAlpha);
    TIFFSetField(t, TIFFTAG_TRANSFERFUNCTION, table.data());
  };
  const std::string in = writeSource({gray, cmyk, grayAlpha}), out = dir.file("out.tif");
  ASSERT_EQ(tiff_copy_file({in, out, TiffCopyOptions{.compression = -1}}).result, kCopied);
  test::withDirectory(out, 2, [&](TIFF* t) {
    uint16_t *copied = nullptr, *green = nullptr, *blue = nullptr;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_TRANSFERFUNCTION, &copied, &green, &blue));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), copied));
  });
  test::withDirectory(out, 0, [&](TIFF* t) {
    uint16_t *copied = nullptr, *green = nullptr, *blue = nullptr;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_TRANSFERFUNCTION, &copied, &green, &blue));
    EXPECT_TRUE(std::equal(table.begin(), table.end(), copied));
  });
  test::withDirectory(out, 1, [&](TIFF* t) {
    char* names = nullptr;
    uint16_t inks = 0;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_INKNAMES, &names));
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_NUMBEROFINKS, &inks));
    EXPECT_EQ(inks, 4);
    EXPECT_EQ(std::memcmp(names, "cyan\0mag\0yel\0bk", 16), 0);
  });
}

// A multi-page file keeps its pages, their order and their SubfileType.
TEST_F(TiffCopyOptionsTest, MultiPageKeepsOrderAndSubfileTypes) {
  std::vector<TiffImage> pages;
  for (int i = 0; i < 4; ++i) {
    TiffImage page = test::bilevelImage(
        200 + 8 * i, 30, i % 2 ? COMPRESSION_CCITTFAX3 : COMPRESSION_CCITTFAX4, i);
    page.subfileType = i == 1 ? FILETYPE_REDUCEDIMAGE : FILETYPE_PAGE;
    page.pageNumber = i;
    pages.push_back(page);
  }
  const std::string in = writeSource(pages), out = dir.file("out.tif");
  ASSERT_EQ(tiff_copy_file({in, out, TiffCopyOptions{}}).result, kCopied);
  ASSERT_EQ(test::countDirectories(out), 4);
  for (uint32_t d = 0; d < 4; ++d) {
    DecodedImage copy;
    ASSERT_TRUE(test::readTiffImage(out, d, copy));
    EXPECT_EQ(copy.width, pages[d].width);
    EXPECT_TRUE(copy.pixels == test::normalisedPixels(pages[d]));
    test::withDirectory(out, d, [&](TIFF* t) {
      uint32_t subfile = 0;
      ASSERT_TRUE(TIFFGetField(t, TIFFTAG_SUBFILETYPE, &subfile));
      EXPECT_EQ(subfile, static_cast<uint32_t>(pages[d].subfileType));
    });
  }
}

}  // namespace
}  // namespace tarnwell
