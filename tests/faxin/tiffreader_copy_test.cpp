// Pages copied by the engine's TIFF reader (writeAll) and by repackTiff keep their coded bytes and
// coding: libtiff, as an independent decoder, reads the same pixels back from the copy.

#include <gtest/gtest.h>

#include "engine_settings.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxin/tiff/RepackTiff.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct CopyCase {
  uint16_t compression;
  uint32_t t4Options;
  bool bigEndian;
  uint16_t fillOrder;
  uint32_t rowsPerStrip;
};

std::string caseName(const ::testing::TestParamInfo<CopyCase>& info) {
  const CopyCase& c = info.param;
  return "C" + std::to_string(c.compression) + "_T" + std::to_string(c.t4Options) +
         (c.bigEndian ? "_MM" : "_II") + "_F" + std::to_string(c.fillOrder) + "_R" +
         std::to_string(c.rowsPerStrip);
}

std::vector<Bitmap> samplePages() {
  return {makePage(Pattern::kWords, 1728, 61, 1), makePage(Pattern::kWords, 2048, 40, 2), makePage(Pattern::kWords, 1728, 13, 3)};
}

void expectSamePages(const std::vector<TiffPage>& got, const std::vector<Bitmap>& want,
                     const CopyCase& c) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i));
    EXPECT_EQ(got[i].bitmap, want[i]);
    EXPECT_EQ(got[i].compression, c.compression);
    if (c.compression == COMPRESSION_CCITTFAX3) {
      EXPECT_EQ(got[i].t4Options & 1, c.t4Options & 1);
    }
    EXPECT_EQ(got[i].fillOrder, c.fillOrder);
    EXPECT_EQ(got[i].pageIndex, i);
    EXPECT_EQ(got[i].pageCount, want.size());
    EXPECT_FLOAT_EQ(got[i].xResolution, 204.0f);
    EXPECT_FLOAT_EQ(got[i].yResolution, 196.0f);
  }
}

class TiffCopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  void SetUp() override {
    const CopyCase& c = GetParam();
    FaxTiffOptions o;
    o.compression = c.compression;
    o.t4Options = c.t4Options;
    o.bigEndian = c.bigEndian;
    o.fillOrder = c.fillOrder;
    o.rowsPerStrip = c.rowsPerStrip;
    o.xResolution = 204.0f;
    o.yResolution = 196.0f;
    pages_ = samplePages();
    source_ = dir_.file("source.G3N");
    ASSERT_TRUE(writeFaxTiff(source_, pages_, o));
  }

  TempTree dir_;
  std::vector<Bitmap> pages_;
  std::string source_;
};

TEST_P(TiffCopyTest, WriteAllKeepsEveryPageAndItsCoding) {
  TiffFaxReader reader;
  ASSERT_TRUE(reader.open(source_));
  ASSERT_EQ(reader.checkHeader(), 0);
  ASSERT_EQ(reader.countPages(), pages_.size());
  const std::string out = dir_.file("trwintif.tmp");
  ASSERT_EQ(reader.writeAll(out, reader.pageCount()), 0);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  expectSamePages(got, pages_, GetParam());
}

TEST_P(TiffCopyTest, RepackKeepsEveryPageAndAppends) {
  const std::string out = dir_.file("trwintif.tmp");
  ASSERT_EQ(repackTiff(source_, out, false), 0);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  expectSamePages(got, pages_, GetParam());
  // Appending the same source again doubles the pages, all still readable.
  ASSERT_EQ(repackTiff(source_, out, true), 0);
  ASSERT_TRUE(readTiffPages(out, got));
  ASSERT_EQ(got.size(), 2 * pages_.size());
  EXPECT_EQ(got[pages_.size()].bitmap, pages_[0]);
}

std::vector<CopyCase> copyCases() {
  std::vector<CopyCase> cases;
  // libtiff does not read back its own word-aligned modified Huffman (32771), so it is no
  // independent reference for that coding; it is left out here.
  const std::pair<uint16_t, uint32_t> codings[] = {
      {COMPRESSION_NONE, 0},     {COMPRESSION_CCITTRLE, 0},
      {COMPRESSION_CCITTFAX3, 0}, {COMPRESSION_CCITTFAX3, 4}, {COMPRESSION_CCITTFAX3, 1},
      {COMPRESSION_CCITTFAX3, 5}, {COMPRESSION_CCITTFAX4, 0}, {COMPRESSION_PACKBITS, 0}};
  for (auto [compression, options] : codings) {
    for (bool big : {false, true}) {
      for (uint16_t fill : {FILLORDER_MSB2LSB, FILLORDER_LSB2MSB}) {
        for (uint32_t rps : {0u, 16u}) cases.push_back({compression, options, big, fill, rps});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Codings, TiffCopyTest, ::testing::ValuesIn(copyCases()), caseName);

TEST(TiffCopyMarkTest, FfMarkedFileIsReadAsLittleEndian) {
  TempTree dir;
  const std::string source = dir.file("ff.FMF");
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 30, 9)};
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  std::vector<uint8_t> bytes = readBytes(source);
  bytes[0] = bytes[1] = 'F';
  writeBytes(source, bytes);
  const std::string out = dir.file("out.tif");
  ASSERT_EQ(repackTiff(source, out, false), 0);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bitmap, pages[0]);
}

TEST(TiffCopyMarkTest, BlackIsZeroPageKeepsItsColours) {
  TempTree dir;
  const std::string source = dir.file("inv.G3N");
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 30, 4)};
  FaxTiffOptions o;
  o.photometric = PHOTOMETRIC_MINISBLACK;
  ASSERT_TRUE(writeFaxTiff(source, pages, o));
  const std::string out = dir.file("out.tif");
  ASSERT_EQ(repackTiff(source, out, false), 0);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(out, got));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].photometric, PHOTOMETRIC_MINISBLACK);
  EXPECT_EQ(got[0].bitmap, pages[0]);
}

TEST(RepackTest, ResultCodes) {
  TempTree dir;
  const std::string out = dir.file("out.tif");
  EXPECT_EQ(repackTiff(dir.file("missing.tif"), out, false), -1);
  writeBytes(dir.file("text.tif"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  EXPECT_EQ(repackTiff(dir.file("text.tif"), out, false), -2);
  // A TIFF header whose first directory is 0: no pages.
  writeBytes(dir.file("nopage.tif"), {'I', 'I', 42, 0, 0, 0, 0, 0});
  EXPECT_EQ(repackTiff(dir.file("nopage.tif"), out, false), -2);
  // A header pointing past the end: the page is counted, its directory cannot be read.
  writeBytes(dir.file("bad.tif"), {'I', 'I', 42, 0, 0x40, 0, 0, 0, 0, 0});
  EXPECT_EQ(repackTiff(dir.file("bad.tif"), out, false), -3);
}

}  // namespace
}  // namespace tarnwell
