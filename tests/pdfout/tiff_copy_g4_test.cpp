// Group 4 straight through: clean one-strip Group 4 pages keep their coded bytes in the
// PDF-ready TIFF and in the PDF; every page that does not qualify, or whose data libtiff cannot
// decode cleanly into all its rows, is decoded and encoded as before.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdfout/messages.h"
#include "pdfout/tiff_copy.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"
#include "tiff_copy_pipeline.h"

namespace tarnwell {
namespace {

using test::TiffImage;

constexpr uint32_t kWidth = 1728;

struct Closer {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using Handle = std::unique_ptr<TIFF, Closer>;

// The coded bytes of strip 0 of a directory, as stored.
std::vector<uint8_t> rawStrip(const std::string& path, uint32_t directory = 0) {
  std::vector<uint8_t> bytes;
  test::withDirectory(path, directory, [&](TIFF* t) {
    bytes.resize(static_cast<size_t>(TIFFGetStrileByteCount(t, 0)));
    if (TIFFReadRawStrip(t, 0, bytes.data(), static_cast<tmsize_t>(bytes.size())) !=
        static_cast<tmsize_t>(bytes.size()))
      bytes.clear();
  });
  return bytes;
}

// What the decode-and-encode road keeps of a page: libtiff's decoding of every strip into a
// zeroed buffer, whatever it reports.
std::vector<uint8_t> libtiffPixels(const std::string& path, uint32_t directory = 0) {
  std::vector<uint8_t> pixels;
  test::withDirectory(path, directory, [&](TIFF* t) {
    const tmsize_t strip = TIFFStripSize(t);
    pixels.assign(static_cast<size_t>(strip) * TIFFNumberOfStrips(t), 0);
    for (uint32_t s = 0; s < TIFFNumberOfStrips(t); ++s)
      (void)TIFFReadEncodedStrip(t, s, pixels.data() + s * strip, strip);
    uint32_t length = 0;
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &length);
    pixels.resize(static_cast<size_t>(TIFFScanlineSize(t)) * length);
  });
  return pixels;
}

// A one-strip Group 4 page whose strip is exactly `coded`, declared `length` rows tall.
struct RawPage {
  uint32_t length = 0;
  std::vector<uint8_t> coded;
  uint16_t fillOrder = FILLORDER_MSB2LSB;
  uint32_t group4Options = 0;
};

bool writeRawPages(const std::string& path, const std::vector<RawPage>& pages) {
  Handle t(TIFFOpen(path.c_str(), "w"));
  if (!t) return false;
  for (const RawPage& p : pages) {
    TIFFSetField(t.get(), TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t.get(), TIFFTAG_IMAGELENGTH, p.length);
    TIFFSetField(t.get(), TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t.get(), TIFFTAG_FILLORDER, p.fillOrder);
    TIFFSetField(t.get(), TIFFTAG_ROWSPERSTRIP, p.length);
    TIFFSetField(t.get(), TIFFTAG_GROUP4OPTIONS, p.group4Options);
    TIFFSetField(t.get(), TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(t.get(), TIFFTAG_YRESOLUTION, 196.0);
    if (TIFFWriteRawStrip(t.get(), 0, const_cast<uint8_t*>(p.coded.data()),
                          static_cast<tmsize_t>(p.coded.size())) < 0 ||
        !TIFFWriteDirectory(t.get()))
      return false;
  }
  return true;
}

std::vector<uint8_t> reversed(std::vector<uint8_t> bytes) {
  TIFFReverseBits(bytes.data(), static_cast<tmsize_t>(bytes.size()));
  return bytes;
}

class TiffCopyGroup4 : public ::testing::Test {
 protected:
  void SetUp() override { test::quietLibtiff(); }

  // libtiff's own Group 4 coding of a text page, most significant bit first, followed by a few
  // bytes past its end that no decoder reads: encoding the page again would drop them, so they
  // show which road a page took.
  std::vector<uint8_t> codedPage(uint32_t length, int seed) {
    const std::string path = dir.file("coded" + std::to_string(seed) + ".tif");
    EXPECT_TRUE(test::writeTiff(
        path, {test::bilevelImage(kWidth, length, COMPRESSION_CCITTFAX4, seed)}));
    std::vector<uint8_t> coded = rawStrip(path);
    coded.insert(coded.end(), {0x54, 0x52, 0x57, 0x00});
    return coded;
  }

  test::TempTree dir;
};

struct StraightCase {
  const char* name;
  int choice;                // 6 as for fax files, -1 as for TIFF sources
  uint16_t sourceFillOrder;  // of the source's bytes
  int32_t fillOrderOption;   // 0 keeps the source's
  uint16_t orientation;      // 0: no tag
};

class TiffCopyGroup4Straight : public TiffCopyGroup4,
                               public ::testing::WithParamInterface<StraightCase> {};

// The PDF-ready strip is the source's strip, bit-reversed only when the fill order changes;
// the PDF's image stream holds the source's coding most significant bit first, and the PDF
// renders as the source's pixels.
TEST_P(TiffCopyGroup4Straight, KeepsTheCodedBytes) {
  const StraightCase& c = GetParam();
  std::vector<uint8_t> coded = codedPage(500, 1);
  ASSERT_FALSE(coded.empty());
  if (c.sourceFillOrder == FILLORDER_LSB2MSB) coded = reversed(coded);
  const std::string source = dir.file("source.tif");
  ASSERT_TRUE(writeRawPages(source, {{500, coded, c.sourceFillOrder, 0}}));
  if (c.orientation != 0) {
    Handle t(TIFFOpen(source.c_str(), "r+"));
    TIFFSetField(t.get(), TIFFTAG_ORIENTATION, c.orientation);
    ASSERT_TRUE(TIFFRewriteDirectory(t.get()));
  }

  TiffCopyOptions options;
  options.compression = c.choice;
  options.fillOrder = c.fillOrderOption;
  const std::string ready = dir.file("ready.tif");
  ASSERT_EQ(tiff_copy_file(source, ready, options), 0);
  const uint16_t outFillOrder =
      c.fillOrderOption != 0 ? static_cast<uint16_t>(c.fillOrderOption) : c.sourceFillOrder;
  EXPECT_EQ(rawStrip(ready), outFillOrder == c.sourceFillOrder ? coded : reversed(coded));
  EXPECT_EQ(libtiffPixels(ready), libtiffPixels(source));

  if (c.fillOrderOption != 0) return;  // the PDF road always copies the fill order
  const copytest::PipelineResult result = copytest::convertAndCompare(source, c.choice, dir.path());
  EXPECT_EQ(result.copyResult, 0);
  EXPECT_EQ(result.pdfResult, 0);
  EXPECT_EQ(result.pages, 1);
  EXPECT_EQ(result.problems, "");
  const std::vector<uint8_t> msbFirst =
      c.sourceFillOrder == FILLORDER_LSB2MSB ? reversed(coded) : coded;
  const std::string pdf = test::readText(dir.file("out.pdf"));
  EXPECT_EQ(test::streamOf(pdf, 7), std::string(msbFirst.begin(), msbFirst.end()));
}

const StraightCase kStraight[] = {
    {"fax_road", 6, FILLORDER_MSB2LSB, 0, 0},
    {"tiff_source", -1, FILLORDER_MSB2LSB, 0, 0},
    {"least_bit_first", 6, FILLORDER_LSB2MSB, 0, 0},
    {"option_reverses", 6, FILLORDER_MSB2LSB, FILLORDER_LSB2MSB, 0},
    {"option_restores", -1, FILLORDER_LSB2MSB, FILLORDER_MSB2LSB, 0},
    {"orientation_tag_only", -1, FILLORDER_MSB2LSB, 0, ORIENTATION_RIGHTTOP},
};

INSTANTIATE_TEST_SUITE_P(Pages, TiffCopyGroup4Straight, ::testing::ValuesIn(kStraight),
                         [](const auto& info) { return std::string(info.param.name); });

struct SpoiltCase {
  const char* name;
  // Turns libtiff's clean coding of a 400-row page into the page to copy.
  RawPage (*spoil)(std::vector<uint8_t> coded);
};

const SpoiltCase kSpoilt[] = {
    // A run of invalid code words in the middle of the page.
    {"garbage_inside",
     [](std::vector<uint8_t> coded) {
       for (size_t i = coded.size() / 2; i < coded.size() / 2 + 16; ++i) coded[i] = 0x00;
       return RawPage{400, coded};
     }},
    // The coding stops half-way without an end-of-block.
    {"cut_short",
     [](std::vector<uint8_t> coded) {
       coded.resize(coded.size() / 2);
       return RawPage{400, coded};
     }},
    // A complete 400-row coding declared as 600 rows: the end-of-block comes early.
    {"ends_before_the_last_row", [](std::vector<uint8_t> coded) { return RawPage{600, coded}; }},
    // Uncompressed mode allowed: not a coding the PDF's fax filter is told about.
    {"uncompressed_mode",
     [](std::vector<uint8_t> coded) {
       return RawPage{400, coded, FILLORDER_MSB2LSB, GROUP4OPT_UNCOMPRESSED};
     }},
    // Bytes that are no coding at all.
    {"noise",
     [](std::vector<uint8_t> coded) {
       for (size_t i = 0; i < coded.size(); ++i) coded[i] = static_cast<uint8_t>(i * 37 + 11);
       return RawPage{400, coded};
     }},
};

class TiffCopyGroup4Spoilt : public TiffCopyGroup4,
                             public ::testing::WithParamInterface<SpoiltCase> {};

// Such a page is decoded and encoded again: the PDF-ready TIFF holds libtiff's reading of it,
// as it did before the straight road existed, and never the spoilt bytes.
TEST_P(TiffCopyGroup4Spoilt, IsDecodedAndEncodedAgain) {
  const RawPage page = GetParam().spoil(codedPage(400, 2));
  const std::string source = dir.file("source.tif");
  ASSERT_TRUE(writeRawPages(source, {page}));
  const std::string ready = dir.file("ready.tif");
  ASSERT_EQ(tiff_copy_file(source, ready, TiffCopyOptions{}), 0);
  EXPECT_NE(rawStrip(ready), page.coded);
  EXPECT_EQ(libtiffPixels(ready), libtiffPixels(source));
}

INSTANTIATE_TEST_SUITE_P(Pages, TiffCopyGroup4Spoilt, ::testing::ValuesIn(kSpoilt),
                         [](const auto& info) { return std::string(info.param.name); });

// Each page of a mixed file takes its own road: clean Group 4 pages straight through, a spoilt
// one and a Group 3 one through the codec, all in order.
TEST_F(TiffCopyGroup4, PagesOfOneFileChooseEachTheirRoad) {
  const std::vector<uint8_t> a = codedPage(300, 3), b = codedPage(300, 4);
  std::vector<uint8_t> spoilt = b;
  spoilt.resize(spoilt.size() / 3);
  const std::string clean = dir.file("clean.tif");
  ASSERT_TRUE(writeRawPages(clean, {{300, a}, {300, spoilt}, {300, b}}));
  const std::string ready = dir.file("ready.tif");
  ASSERT_EQ(tiff_copy_file(clean, ready, TiffCopyOptions{}), 0);
  EXPECT_EQ(rawStrip(ready, 0), a);
  EXPECT_NE(rawStrip(ready, 1), spoilt);
  EXPECT_EQ(rawStrip(ready, 2), b);
  for (uint32_t d = 0; d < 3; ++d) EXPECT_EQ(libtiffPixels(ready, d), libtiffPixels(clean, d));

  // A Group 3 page asked to become Group 4 is encoded; a Group 4 page asked to stay Group 4
  // in several strips is too.
  TiffImage g3 = test::bilevelImage(kWidth, 200, COMPRESSION_CCITTFAX3, 5);
  TiffImage strips = test::bilevelImage(kWidth, 200, COMPRESSION_CCITTFAX4, 6);
  strips.rowsPerStrip = 64;
  const std::string mixed = dir.file("mixed.tif");
  ASSERT_TRUE(test::writeTiff(mixed, {g3, strips}));
  ASSERT_EQ(tiff_copy_file(mixed, ready, TiffCopyOptions{}), 0);
  for (uint32_t d = 0; d < 2; ++d) EXPECT_EQ(libtiffPixels(ready, d), libtiffPixels(mixed, d));
}

}  // namespace
}  // namespace tarnwell
