// IG4 reader: files built around T.6 strips coded by libtiff; the description (mirrored rows) and
// the several-strip TIFF page read back with libtiff; damaged strip tables and hostile sizes.

#include <gtest/gtest.h>

#include "faxin/readers/ReaderFactory.h"
#include "faxin/tiff/TiffPageDescriber.h"
#include "support/Ig4DsFiles.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

class Ig4ReaderTest : public ::testing::Test {
 protected:
  // Opens, checks and counts; the header check's result.
  int openFile(const std::vector<uint8_t>& bytes) {
    EXPECT_TRUE(writeBytes(path_, bytes));
    reader_ = makeFaxReader(FaxFormat::kIg4);
    if (!reader_ || !reader_->open(path_)) return INT32_MIN;
    const int checked = reader_->checkHeader();
    if (checked == 0) {
      EXPECT_EQ(reader_->countPages(), 1);
    }
    return checked;
  }

  // The one page of the written TIFF, as libtiff reads it.
  TiffPage written() {
    std::vector<TiffPage> pages;
    EXPECT_TRUE(readTiffPages(output_, pages));
    EXPECT_EQ(pages.size(), 1u);
    return pages.empty() ? TiffPage{} : pages[0];
  }

  TempTree dir_;
  std::string path_ = dir_.file("page.ig4");
  std::string output_ = dir_.file("out.tif");
  std::unique_ptr<FaxReader> reader_;
};

class Ig4WidthTest : public Ig4ReaderTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(Ig4WidthTest, ThreeStripsDescribeMirroredAndCopyAsSeveralStrips) {
  const uint16_t width = GetParam();
  const Bitmap stored = makePage(Pattern::kText, width, 3 * 40, 5);
  ASSERT_EQ(openFile(buildIg4(t6Strips(stored, 3), width, 120, 40).bytes), 0);

  FaxPage page;
  ASSERT_EQ(reader_->describePage(0, page), 0);
  EXPECT_EQ(page.width, width);
  EXPECT_EQ(page.rows, 120);
  EXPECT_EQ(page.xResolution, 300);
  EXPECT_EQ(page.yResolution, 300);
  EXPECT_EQ(page.fillOrder, 2);
  EXPECT_EQ(page.coding, 7);
  // The description is the stored page mirrored left to right (a 1 bit is white).
  ASSERT_EQ(page.bitmap.size(), std::size_t{stored.bytesPerRow()} * 120);
  const Bitmap described(width, 120, page.bitmap);
  std::size_t differing = 0;
  for (uint32_t y = 0; y < 120; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (described.black(width - 1 - x, y) == stored.black(x, y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0u);

  ASSERT_EQ(reader_->writeAll(output_, 1), 0);
  const TiffPage t = written();
  EXPECT_EQ(t.rawStrips.size(), 3u);
  EXPECT_EQ(t.rowsPerStrip, 40u);
  EXPECT_EQ(t.width, width);
  EXPECT_EQ(t.length, 120u);
  EXPECT_EQ(t.compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(t.fillOrder, FILLORDER_LSB2MSB);
  EXPECT_EQ(t.orientation, 7);
  EXPECT_EQ(t.xResolution, 300.0f);
  EXPECT_EQ(t.yResolution, 300.0f);
  // libtiff decodes the copied strips into the stored rows.
  EXPECT_EQ(t.bitmap, stored);
}

INSTANTIATE_TEST_SUITE_P(Widths, Ig4WidthTest, ::testing::Values(1728, 203),
                         [](const auto& info) { return "Width" + std::to_string(info.param); });

// A damaged strip table: the strips that remain, and the rows the page then has.
struct StripTableCase {
  const char* name;
  uint16_t declaredCount;    // strip count written in the table
  std::size_t damagedIndex;  // strip position replaced ...
  int64_t damagedValue;      // ... by this (-1: keep; -2: one past the file; -3: the one before)
  uint32_t expectedStrips;
};

class Ig4StripTableTest : public Ig4ReaderTest,
                          public ::testing::WithParamInterface<StripTableCase> {};

TEST_P(Ig4StripTableTest, StripsEndWhereTheTableStopsMakingSense) {
  const StripTableCase& c = GetParam();
  const Bitmap stored = makePage(Pattern::kWords, 1728, 90, 6);
  Ig4File f = buildIg4(t6Strips(stored, 3), 1728, 90, 30);
  putLe(f.bytes, f.tablePosition, c.declaredCount, 2);
  if (c.damagedValue != -1) {
    const uint32_t value = c.damagedValue == -2   ? static_cast<uint32_t>(f.bytes.size())
                           : c.damagedValue == -3 ? f.stripPositions[c.damagedIndex - 1]
                                                  : static_cast<uint32_t>(c.damagedValue);
    putLe(f.bytes, f.stripPositionOffset(c.damagedIndex), value, 4);
  }
  ASSERT_EQ(openFile(f.bytes), 0);
  FaxPage page;
  ASSERT_EQ(reader_->describePage(0, page), 0);
  EXPECT_GE(page.rows, static_cast<int32_t>(30 * c.expectedStrips));
  ASSERT_EQ(reader_->writeAll(output_, 1), 0);
  // Only the strips that were loaded are written, with the rows they hold.
  const TiffPage t = written();
  EXPECT_EQ(t.rawStrips.size(), c.expectedStrips);
  EXPECT_EQ(t.length, 30 * c.expectedStrips);
  EXPECT_EQ(t.bitmap, stored.rowsOf(0, 30 * c.expectedStrips));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Ig4StripTableTest,
    ::testing::Values(StripTableCase{"Intact", 3, 0, -1, 3},
                      StripTableCase{"CountPastTableLimitedTo66", 1000, 0, -1, 3},
                      StripTableCase{"SecondPositionZero", 3, 1, 0, 1},
                      StripTableCase{"ThirdPositionPastFile", 3, 2, -2, 2},
                      StripTableCase{"ThirdPositionRepeatsSecond", 3, 2, -3, 2},
                      StripTableCase{"FewerDeclaredThanStored", 2, 0, -1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Ig4ReaderTest, DamagedTrailerAndBlocksAreRejected) {
  const Ig4File good = buildIg4(t6Strips(makePage(Pattern::kText, 1728, 20, 7), 1), 1728, 20, 20);
  const std::size_t trailer = good.trailerOffset();
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
  };
  std::vector<Case> cases;
  cases.push_back({"ShorterThanTrailer", {good.bytes.end() - 335, good.bytes.end()}, -2});
  auto noMark = good.bytes;
  noMark[trailer + 1] = 0x1B;
  cases.push_back({"NoMark", noMark, -3});
  auto description = good.bytes;
  putLe(description, trailer + 40, static_cast<uint32_t>(good.bytes.size() - 100), 4);
  cases.push_back({"DescriptionPastFile", description, -4});
  auto table = good.bytes;
  putLe(table, trailer + 56, 0xFFFFFF00u, 4);
  cases.push_back({"StripTablePastFile", table, -5});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(openFile(c.bytes), c.result);
    EXPECT_FALSE(reader_->isOpen());
  }
}

TEST_F(Ig4ReaderTest, HugeRowCountsStayWithinTheBitmapLimit) {
  // Rows and width at their largest: 66 strips of 65535 rows would need gigabytes.
  Ig4File f = buildIg4(t6Strips(makePage(Pattern::kText, 1728, 20, 8), 1), 65535, 65535, 65535);
  putLe(f.bytes, f.tablePosition, 66, 2);
  ASSERT_EQ(openFile(f.bytes), 0);
  FaxPage page;
  (void)reader_->describePage(0, page);
  EXPECT_LE(page.bitmap.size(), DescribeLimits{}.maxBitmapBytes);
  EXPECT_EQ(page.bitmap.size(), std::size_t(std::max(page.rows, 0)) * page.bytesPerRow);
  (void)reader_->writeAll(output_, 1);
}

TEST_F(Ig4ReaderTest, TruncatedFilesNeverCrash) {
  const Ig4File good = buildIg4(t6Strips(makePage(Pattern::kText, 1728, 60, 9), 3), 1728, 60, 20);
  for (std::size_t cut = 0; cut < good.bytes.size(); cut += 7) {
    // Cut the data but keep a trailer, so the blocks point outside the shorter file.
    std::vector<uint8_t> bytes(good.bytes.begin(), good.bytes.begin() + std::ptrdiff_t(cut));
    bytes.insert(bytes.end(), good.bytes.end() - 336, good.bytes.end());
    if (openFile(bytes) != 0) continue;
    FaxPage page;
    (void)reader_->describePage(0, page);
    EXPECT_EQ(page.bitmap.size(), std::size_t(std::max(page.rows, 0)) * page.bytesPerRow);
    (void)reader_->writeAll(output_, 1);
  }
}

}  // namespace
}  // namespace tarnwell
