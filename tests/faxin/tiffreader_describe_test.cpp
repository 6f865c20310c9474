// Page descriptions of the engine's TIFF reader: rows cut at ImageLength, the record's fields
// taken from the first strip and the tags.

#include <gtest/gtest.h>

#include "engine_settings.h"
#include "faxin/readers/TiffFaxReader.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TestNames.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// Rewrites every ImageLength entry (LONG or SHORT, little-endian file) to `rows`.
void patchLength(std::vector<uint8_t>& bytes, uint32_t rows) {
  TiffView view(bytes);
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  for (uint32_t dir : view.walkChain(header.firstDirectory)) {
    uint16_t count = static_cast<uint16_t>(bytes[dir] | (bytes[dir + 1] << 8));
    for (uint16_t i = 0; i < count; ++i) {
      size_t at = dir + 2 + 12 * size_t{i};
      if (bytes[at] == 0x01 && bytes[at + 1] == 0x01) {
        for (int k = 0; k < 4; ++k) bytes[at + 8 + k] = static_cast<uint8_t>(rows >> (8 * k));
      }
    }
  }
}

struct CutCase {
  uint16_t compression;
  uint32_t t4Options;
  uint32_t rowsPerStrip;
};

class DescribeCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(DescribeCutTest, RowsBeyondImageLengthAreCut) {
  TempTree dir;
  const CutCase& c = GetParam();
  Bitmap page = makePage(Pattern::kWords, 2432, 90, 21);
  FaxTiffOptions o;
  o.compression = c.compression;
  o.t4Options = c.t4Options;
  o.rowsPerStrip = c.rowsPerStrip;
  o.fillOrder = FILLORDER_LSB2MSB;
  const std::string path = dir.file("cut.G3N");
  ASSERT_TRUE(writeFaxTiff(path, {page}, o));
  std::vector<uint8_t> bytes = readBytes(path);
  patchLength(bytes, 57);
  writeBytes(path, bytes);

  TiffFaxReader reader;
  ASSERT_TRUE(reader.open(path));
  ASSERT_EQ(reader.checkHeader(), 0);
  ASSERT_EQ(reader.countPages(), 1);
  FaxPage record;
  ASSERT_EQ(reader.describePage(0, record), 0);
  EXPECT_EQ(record.width, 2432);
  EXPECT_EQ(record.rows, 57);
  EXPECT_EQ(record.bytesPerRow, 304);
  EXPECT_EQ(record.pageSize, 3);
  EXPECT_EQ(record.fillOrder, 2);
  EXPECT_EQ(record.resolutionUnit, 2);
  ASSERT_EQ(record.bitmap.size(), size_t{57} * 304);
  for (size_t i = 0; i < record.bitmap.size(); ++i) {
    ASSERT_EQ(static_cast<uint8_t>(~record.bitmap[i]), page.bits[i]) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Codings, DescribeCutTest,
                         ::testing::Values(CutCase{COMPRESSION_CCITTFAX4, 0, 0},
                                           CutCase{COMPRESSION_CCITTFAX4, 0, 20},
                                           CutCase{COMPRESSION_CCITTFAX3, 1, 0},
                                           CutCase{COMPRESSION_CCITTFAX3, 0, 25},
                                           CutCase{COMPRESSION_CCITTRLE, 0, 30}),
    [](const auto& info) { return "Compression" + std::to_string(info.param.compression) + "_Options" + std::to_string(info.param.t4Options) + "_Rows" + std::to_string(info.param.rowsPerStrip); });

TEST(DescribeTest, RecordTakesCodingFromTheTagsAndResolutionFromTheRationals) {
  TempTree dir;
  const std::string path = dir.file("res.FMF");
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX3;
  o.t4Options = 5;
  o.xResolution = 204;
  o.yResolution = 98;
  ASSERT_TRUE(writeFaxTiff(path, {makePage(Pattern::kWords, 1728, 40, 2)}, o));
  TiffFaxReader reader;
  ASSERT_TRUE(reader.open(path));
  ASSERT_EQ(reader.checkHeader(), 0);
  ASSERT_EQ(reader.countPages(), 1);
  FaxPage record;
  ASSERT_EQ(reader.describePage(0, record), 0);
  EXPECT_EQ(record.coding, static_cast<uint8_t>(FaxCoding::kT4TwoD));
  EXPECT_EQ(record.xResolution, 204);
  EXPECT_EQ(record.yResolution, 98);
  EXPECT_EQ(record.rows, 40);
  EXPECT_EQ(record.pageSize, 1);
  // Asking for a page that does not exist leaves the record as it was.
  EXPECT_NE(reader.describePage(1, record), 0);
  EXPECT_EQ(record.rows, 40);
}

TEST(DescribeTest, PackBitsRowsAreExpandedWithinTheirStrip) {
  // Two rows of 16 pixels: a run of 0xFF twice, then a literal; a third row claimed but missing.
  TiffBytes t(false);
  uint32_t data = t.append({0xFF, 0xFF, 0x01, 0x12, 0x34});
  uint32_t res = t.appendRational(200, 1);
  uint32_t d = t.directory(test::faxPageEntries(16, 3, 32773, data, 5, res));
  t.link(0, d);
  TempTree dir;
  writeBytes(dir.file("pb.FMF"), t.bytes());
  TiffFaxReader reader;
  ASSERT_TRUE(reader.open(dir.file("pb.FMF")));
  ASSERT_EQ(reader.checkHeader(), 0);
  ASSERT_EQ(reader.countPages(), 1);
  FaxPage record;
  ASSERT_EQ(reader.describePage(0, record), 0);
  EXPECT_EQ(record.rows, 2);
  EXPECT_EQ(record.bitmap, (std::vector<uint8_t>{0xFF, 0xFF, 0x12, 0x34}));
}

}  // namespace
}  // namespace tarnwell
