// The raw fax reader end to end: bare streams cut out of libtiff-encoded TIFF strips and made by
// pbmtog3 are analysed, written into the intermediate TIFF with writeAll and read back with
// libtiff, then compared page by page and pixel by pixel with the source bitmaps.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "faxin/EngineSettings.h"
#include "codec/FaxPage.h"
#include "faxin/raw/RawFaxFiles.h"
#include "faxin/raw/RawFaxPages.h"
#include "faxin/raw/RawFaxReader.h"
#include "codec/decoder_support.h"
#include "raw_test_support.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

using rawtest::Bitmap;
using rawtest::Coding;

// Everything one run of the raw path produces.
struct RawRun {
  int analysis = -99;
  FaxPage header;
  int pageCount = 0;
  FaxPage first;
  int writeResult = -99;
  RawSegmentIndex index;
  std::vector<test::TiffPage> tiff;
  std::vector<std::vector<uint8_t>> described;  // bitmaps of the first eight pages described
  uint64_t workFileSize = 0;
};

EngineSetup setupFor(const std::string& name) {
  EngineSetup s;
  s.files.workFilePath = rawtest::tempPath(name + ".work");
  s.files.segmentFilePath = rawtest::tempPath(name + ".seg");
  return s;
}

// Drives the reader the way the engine does.
RawRun runRaw(const std::vector<uint8_t>& stream, const EngineSetup& s, const std::string& name,
              uint64_t workFileBytes = kRawWorkFileBytes) {
  RawRun run;
  const std::string source = rawtest::tempPath(name + ".raw");
  test::writeBytes(source, stream);
  RawFaxReader reader(s, {.workFileBytes = workFileBytes});
  if (!reader.open(source)) return run;
  run.analysis = reader.analyse(s.settings.bitOrder, s.settings.nonStandardWidth);
  if (run.analysis < 0) return run;
  EXPECT_EQ(reader.readWorkHeader(run.header), 0);
  if (s.settings.verticalResolution > 0) run.header.yResolution = s.settings.verticalResolution;
  reader.setPageLength(run.header.pageSize, run.header.yResolution);
  run.pageCount = reader.countWorkPages();
  EXPECT_EQ(reader.describePage(0, run.first), 0);
  for (int i = 0; i < std::min(run.pageCount, 8); ++i) {
    FaxPage page;
    EXPECT_EQ(reader.describePage(i, page), 0);
    run.described.push_back(std::move(page.bitmap));
  }
  run.workFileSize = test::readBytes(s.files.workFilePath).size();
  const std::string tiff = rawtest::tempPath(name + ".tif");
  run.writeResult = reader.writeSlices(tiff, run.first);
  loadSegmentIndex(s.files.segmentFilePath, run.index);
  run.tiff = test::readTiffPages(tiff);
  return run;
}

std::vector<uint8_t> strip(const Bitmap& page, Coding coding, int fillOrder) {
  return rawtest::encodeStrip(page, coding, fillOrder);
}

// The bitmap with 1 bits white and the padding bits of every row clear, as decoded rows are kept.
std::vector<uint8_t> whiteOnes(const Bitmap& b) {
  std::vector<uint8_t> out(b.bits.size());
  const std::size_t bpr = static_cast<std::size_t>(b.bytesPerRow());
  const uint8_t lastMask = b.width % 8 ? static_cast<uint8_t>(0xFF00 >> (b.width % 8)) : 0xFF;
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<uint8_t>(~b.bits[i]) & (i % bpr + 1 == bpr ? lastMask : 0xFF);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Two pages with a damaged row between them, junk in front, every coding, both bit orders and
// several widths.

struct StreamCase {
  Coding coding;
  int fillOrder;
  int width;
};

std::string codingName(Coding coding) {
  return coding == Coding::kG3OneD ? "G3OneD" : coding == Coding::kG3TwoD ? "G3TwoD" : "G4";
}

std::string caseName(const ::testing::TestParamInfo<StreamCase>& info) {
  return codingName(info.param.coding) + "_Order" + std::to_string(info.param.fillOrder) + "_W" +
         std::to_string(info.param.width);
}

class RawStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(RawStreamTest, TwoPagesSurviveJunkAndADamagedRow) {
  const StreamCase c = GetParam();
  const std::string name = "stream_" + caseName({c, 0});
  // Long enough that two pages never fit the page length of their paper class.
  const int rows = static_cast<int>(rowsPerPageFor(static_cast<uint8_t>(c.width <= 1728 ? 1 : c.width <= 2048 ? 2 : 3), 100)) / 2 + 40;
  const Bitmap page1 = rawtest::makePage(c.width, rows, 1);
  const Bitmap page2 = rawtest::makePage(c.width, rows - 17, 2);

  std::vector<uint8_t> stream = rawtest::junk(41, 3);
  if (c.coding == Coding::kG4) {
    const std::vector<uint8_t> flag = {0xFF, 0xFF, 0xFF};
    rawtest::append(stream, flag);
    rawtest::append(stream, strip(page1, c.coding, c.fillOrder));
    rawtest::append(stream, flag);
    rawtest::append(stream, {0x02, 0x02, 0x02});  // the extension code: a damaged row
    rawtest::append(stream, flag);
    rawtest::append(stream, strip(page2, c.coding, c.fillOrder));
  } else {
    const bool twoD = c.coding == Coding::kG3TwoD;
    rawtest::append(stream, strip(page1, c.coding, c.fillOrder));
    rawtest::append(stream, rawtest::rtc(twoD, c.fillOrder));
    rawtest::append(stream, rawtest::corruptedRow(twoD, c.fillOrder));
    rawtest::append(stream, strip(page2, c.coding, c.fillOrder));
    rawtest::append(stream, rawtest::rtc(twoD, c.fillOrder));
  }

  EngineSetup s = setupFor(name);
  if (c.coding == Coding::kG4) s.settings.minWidth = static_cast<uint16_t>(c.width);
  const RawRun run = runRaw(stream, s, name);
  ASSERT_GE(run.analysis, 0);
  const uint8_t coding = c.coding == Coding::kG3OneD ? 5 : c.coding == Coding::kG3TwoD ? 6 : 7;
  EXPECT_EQ(run.header.coding, coding);
  EXPECT_EQ(run.header.fillOrder, c.fillOrder);
  EXPECT_EQ(run.header.width, c.width);
  EXPECT_EQ(run.header.rows, page1.rows + page2.rows);
  EXPECT_EQ(run.index.segments.size(), 2u);
  EXPECT_EQ(run.pageCount, 2);
  EXPECT_EQ(run.writeResult, 0);
  ASSERT_EQ(run.tiff.size(), 2u);
  EXPECT_EQ(run.tiff[0].bitmap, page1);
  EXPECT_EQ(run.tiff[1].bitmap, page2);
  // Every page reaches the intermediate TIFF as Group 4: a Group 4 page as its own bytes, a
  // Group 3 page coded anew from its decoded rows, highest bit first.
  EXPECT_EQ(run.tiff[0].compression, 4);
  EXPECT_EQ(run.tiff[0].fillOrder, c.coding == Coding::kG4 ? c.fillOrder : 1);

  // The first page's description is cut by the page length, not by segments: it holds the first
  // rows of the stream, 1 bits white.
  ASSERT_EQ(run.first.rows, std::min<int>(page1.rows + page2.rows,
                                          static_cast<int>(rowsPerPageFor(run.header.pageSize, 100))));
  ASSERT_GE(run.first.bitmap.size(), page1.bits.size());
  const std::vector<uint8_t> described(run.first.bitmap.begin(),
                                       run.first.bitmap.begin() + static_cast<std::ptrdiff_t>(page1.bits.size()));
  EXPECT_EQ(described, whiteOnes(page1));
}

INSTANTIATE_TEST_SUITE_P(
    Codings, RawStreamTest,
    ::testing::Values(StreamCase{Coding::kG3OneD, 1, 1728}, StreamCase{Coding::kG3OneD, 2, 1728},
                      StreamCase{Coding::kG3OneD, 2, 2048}, StreamCase{Coding::kG3OneD, 1, 2432},
                      StreamCase{Coding::kG3OneD, 2, 1800}, StreamCase{Coding::kG3TwoD, 1, 1728},
                      StreamCase{Coding::kG3TwoD, 2, 1728}, StreamCase{Coding::kG3TwoD, 1, 2048},
                      StreamCase{Coding::kG3TwoD, 2, 2432}, StreamCase{Coding::kG3TwoD, 1, 1800},
                      StreamCase{Coding::kG4, 1, 1728}, StreamCase{Coding::kG4, 2, 1728},
                      StreamCase{Coding::kG4, 2, 2048}, StreamCase{Coding::kG4, 1, 2432},
                      StreamCase{Coding::kG4, 2, 1800}),
    caseName);

// Two short runs of rows land on one page, which is written from the decoded rows of both.
class RawJoinTest : public ::testing::TestWithParam<std::tuple<Coding, int>> {};

TEST_P(RawJoinTest, SegmentsOfOnePageAreJoined) {
  const auto [coding, order] = GetParam();
  const std::string name = "join" + std::to_string(static_cast<int>(coding)) + std::to_string(order);
  const Bitmap p1 = rawtest::makePage(2048, 300, 51);
  const Bitmap p2 = rawtest::makePage(2048, 280, 52);
  std::vector<uint8_t> stream;
  if (coding == Coding::kG4) {
    rawtest::append(stream, {0xFF, 0xFF, 0xFF});
    rawtest::append(stream, strip(p1, coding, order));
    rawtest::append(stream, {0xFF, 0xFF, 0xFF, 0x02, 0x02, 0xFF, 0xFF, 0xFF});
    rawtest::append(stream, strip(p2, coding, order));
  } else {
    rawtest::append(stream, strip(p1, coding, order));
    rawtest::append(stream, rawtest::corruptedRow(coding == Coding::kG3TwoD, order));
    rawtest::append(stream, strip(p2, coding, order));
  }
  const RawRun run = runRaw(stream, setupFor(name), name);
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.index.segments.size(), 2u);
  ASSERT_EQ(run.tiff.size(), 1u);
  Bitmap both = p1;
  both.rows += p2.rows;
  both.bits.insert(both.bits.end(), p2.bits.begin(), p2.bits.end());
  EXPECT_EQ(run.tiff[0].bitmap, both);
  EXPECT_EQ(run.tiff[0].compression, 4);
}

INSTANTIATE_TEST_SUITE_P(Codings, RawJoinTest,
                         ::testing::Combine(::testing::Values(Coding::kG3OneD, Coding::kG3TwoD, Coding::kG4),
                                            ::testing::Values(1, 2)),
    [](const ::testing::TestParamInfo<std::tuple<Coding, int>>& info) {
      return codingName(std::get<0>(info.param)) + "_Order" + std::to_string(std::get<1>(info.param));
    });

// ---------------------------------------------------------------------------------------------
// pbmtog3 as a second, independent encoder.

class RawPbmtog3Test : public ::testing::TestWithParam<bool> {};

TEST_P(RawPbmtog3Test, StreamDecodesToTheSourcePage) {
  const bool reverse = GetParam();
  const std::string name = std::string("pbmtog3_") + (reverse ? "lsb" : "msb");
  const Bitmap page = rawtest::makePage(1728, 300, 5);
  const std::vector<uint8_t> stream = rawtest::pbmtog3Stream(page, reverse, rawtest::tempPath(name));
  if (stream.empty()) GTEST_SKIP() << "pbmtog3 not available";
  const RawRun run = runRaw(stream, setupFor(name), name);
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.coding, 5);
  EXPECT_EQ(run.header.fillOrder, reverse ? 2 : 1);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap, page);
}

INSTANTIATE_TEST_SUITE_P(BitOrders, RawPbmtog3Test, ::testing::Bool(),
    [](const auto& info) { return std::string(info.param ? "Reversed" : "HighBitFirst"); });

// ---------------------------------------------------------------------------------------------
// The documented behaviours of the analysis.

std::vector<uint8_t> oneDStream(int width, int rows, int fillOrder) {
  return strip(rawtest::makePage(width, rows, 9), Coding::kG3OneD, fillOrder);
}

TEST(RawAnalysis, TwoHundredRowsLeastBitFirst) {
  const RawRun run = runRaw(oneDStream(1728, 200, 2), setupFor("r200"), "r200");
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.coding, 5);
  EXPECT_EQ(run.header.fillOrder, 2);
  EXPECT_EQ(run.header.width, 1728);
  EXPECT_EQ(run.header.yResolution, 100);
  ASSERT_EQ(run.index.segments.size(), 1u);
  EXPECT_EQ(run.index.segments[0].rows, 200u);
  EXPECT_EQ(run.index.header.longestSegment, 200u);
  EXPECT_EQ(run.index.header.verticalResolution, 100);
  EXPECT_EQ(run.index.header.pageTable[0], 1u);
  EXPECT_EQ(run.pageCount, 1);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap.rows, 200);
  EXPECT_FLOAT_EQ(run.tiff[0].xResolution, 200.0f);
  EXPECT_FLOAT_EQ(run.tiff[0].yResolution, 100.0f);
}

// Under describe limits smaller than a page, a raw page keeps its first rows and no more: the
// rows counted and the bitmap agree, and the kept rows are the ones an unlimited reader gives.
TEST(RawAnalysis, DescribeLimitsCutThePageBitmap) {
  const std::vector<uint8_t> stream = oneDStream(1728, 200, 2);
  const EngineSetup s = setupFor("rlimit");
  test::writeBytes(rawtest::tempPath("rlimit.raw"), stream);
  FaxPage pages[2];
  for (int limited = 0; limited < 2; ++limited) {
    EngineSetup setup = s;
    if (limited == 1) setup.limits = DescribeLimits{1u << 16, 216 * 64};
    RawFaxReader reader(setup);
    ASSERT_TRUE(reader.open(rawtest::tempPath("rlimit.raw")));
    ASSERT_GE(reader.analyse(s.settings.bitOrder, s.settings.nonStandardWidth), 0);
    FaxPage header;
    ASSERT_EQ(reader.readWorkHeader(header), 0);
    reader.setPageLength(header.pageSize, header.yResolution);
    ASSERT_EQ(reader.describePage(0, pages[limited]), 0);
  }
  EXPECT_EQ(pages[0].rows, 200);
  EXPECT_EQ(pages[1].rows, 64);
  ASSERT_EQ(pages[1].bitmap.size(), std::size_t{64} * 216);
  EXPECT_TRUE(std::equal(pages[1].bitmap.begin(), pages[1].bitmap.end(), pages[0].bitmap.begin()));
}

TEST(RawAnalysis, BitOrderOptionRestrictsTheSearch) {
  const std::vector<uint8_t> stream = oneDStream(1728, 200, 2);
  EngineSetup s = setupFor("order");
  s.settings.bitOrder = 1;  // the stream is least significant bit first: nothing else decodes
  EXPECT_LT(runRaw(stream, s, "order1").analysis, 0);
  s.settings.bitOrder = 2;
  const RawRun run = runRaw(stream, s, "order2");
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.fillOrder, 2);
  // Highest bit first data is found by the automatic search after its first order failed.
  s.settings.bitOrder = 0;
  const RawRun msb = runRaw(oneDStream(1728, 200, 1), s, "order0");
  ASSERT_GE(msb.analysis, 0);
  EXPECT_EQ(msb.header.fillOrder, 1);
}

TEST(RawAnalysis, NonStandardWidthNeedsItsOption) {
  const std::vector<uint8_t> stream = oneDStream(1800, 120, 2);
  EngineSetup s = setupFor("w1800");
  s.settings.nonStandardWidth = 0;
  EXPECT_LT(runRaw(stream, s, "w1800a").analysis, 0);
  s.settings.nonStandardWidth = 1;
  s.settings.minWidth = 1900;
  EXPECT_LT(runRaw(stream, s, "w1800b").analysis, 0);
  s.settings.minWidth = 1728;
  const RawRun run = runRaw(stream, s, "w1800c");
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.width, 1800);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap.width, 1800);
}

TEST(RawAnalysis, FewerRowsThanThresholdAreRejected) {
  const std::vector<uint8_t> stream = oneDStream(1728, 40, 2);
  EngineSetup s = setupFor("few");
  EXPECT_LT(runRaw(stream, s, "few50").analysis, 0);
  s.settings.threshold = 30;
  EXPECT_GE(runRaw(stream, s, "few30").analysis, 0);
}

TEST(RawAnalysis, DamagedRowSplitsTwoPagesOf1100And1000Rows) {
  const Bitmap p1 = rawtest::makePage(1728, 1100, 11);
  const Bitmap p2 = rawtest::makePage(1728, 1000, 12);
  std::vector<uint8_t> stream = strip(p1, Coding::kG3OneD, 2);
  rawtest::append(stream, rawtest::corruptedRow(false, 2));
  rawtest::append(stream, strip(p2, Coding::kG3OneD, 2));
  const RawRun run = runRaw(stream, setupFor("split"), "split");
  ASSERT_GE(run.analysis, 0);
  ASSERT_EQ(run.index.segments.size(), 2u);
  EXPECT_EQ(run.index.segments[0].rows, 1100u);
  EXPECT_EQ(run.index.segments[1].rows, 1000u);
  EXPECT_EQ(run.index.header.pageTable[0], 1u);
  EXPECT_EQ(run.index.header.pageTable[1], 1u);
  ASSERT_EQ(run.tiff.size(), 2u);
  EXPECT_EQ(run.tiff[0].bitmap, p1);
  EXPECT_EQ(run.tiff[1].bitmap, p2);
}

TEST(RawAnalysis, VerticalResolutionOptionSetsPageLength) {
  const Bitmap p1 = rawtest::makePage(1728, 1100, 21);
  const Bitmap p2 = rawtest::makePage(1728, 1000, 22);
  std::vector<uint8_t> stream = strip(p1, Coding::kG3OneD, 1);
  rawtest::append(stream, rawtest::corruptedRow(false, 1));
  rawtest::append(stream, strip(p2, Coding::kG3OneD, 1));
  EngineSetup s = setupFor("vres");
  s.settings.verticalResolution = 200;
  const RawRun run = runRaw(stream, s, "vres");
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.index.header.verticalResolution, 100);  // the estimate is kept in the index
  EXPECT_EQ(run.first.yResolution, 200);
  EXPECT_EQ(run.pageCount, 1);
  // Both segments fit one page of 2288 rows.
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap.rows, 2100);
  EXPECT_FLOAT_EQ(run.tiff[0].yResolution, 200.0f);
}

// A resolution chosen by the user is the resolution of every page, at A4, B4 and A3 widths alike,
// whatever the estimate from the stream says.
class RawVerticalOptionTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RawVerticalOptionTest, ChosenResolutionHoldsAtEveryWidth) {
  const auto [width, resolution] = GetParam();
  const std::string name = "vopt" + std::to_string(width) + "_" + std::to_string(resolution);
  const Bitmap page = rawtest::makePage(width, 120, 23);
  EngineSetup s = setupFor(name);
  s.settings.verticalResolution = static_cast<uint16_t>(resolution);
  const RawRun run = runRaw(strip(page, Coding::kG3OneD, 2), s, name);
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.width, width);
  EXPECT_EQ(run.first.yResolution, resolution);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_FLOAT_EQ(run.tiff[0].yResolution, static_cast<float>(resolution));
  EXPECT_EQ(run.tiff[0].bitmap, page);
}

INSTANTIATE_TEST_SUITE_P(WidthsAndResolutions, RawVerticalOptionTest,
                         ::testing::Combine(::testing::Values(1728, 2048, 2432),
                                            ::testing::Values(100, 200, 300, 400)),
                         [](const auto& info) {
                           return "W" + std::to_string(std::get<0>(info.param)) + "_V" +
                                  std::to_string(std::get<1>(info.param));
                         });

// No page is longer than the longest page of the paper class (400 lines per inch): an unbroken
// run of good rows is cut into segments of at most that length. One-dimensional rows start a new
// segment at once; Group 4 rows, each coded against the row before, are dropped until decoding
// starts afresh, so a megabyte of 0xFF behind a page cannot become millions of rows.
TEST(RawAnalysis, LongRunsOfRowsAreCutAtTheLongestPage) {
  const int longest = static_cast<int>(rowsPerPageFor(1, 400));
  const Bitmap tall = rawtest::makePage(1728, 2 * longest + 300, 61);
  const RawRun oneD = runRaw(strip(tall, Coding::kG3OneD, 2), setupFor("tall1d"), "tall1d");
  ASSERT_GE(oneD.analysis, 0);
  EXPECT_EQ(oneD.header.rows, tall.rows);
  ASSERT_EQ(oneD.index.segments.size(), 3u);
  EXPECT_EQ(oneD.index.segments[0].rows, static_cast<uint32_t>(longest));
  ASSERT_EQ(oneD.tiff.size(), 3u);
  EXPECT_EQ(oneD.tiff[0].bitmap, rawtest::rowsOf(tall, 0, longest));
  EXPECT_EQ(oneD.tiff[2].bitmap, rawtest::rowsOf(tall, 2 * longest, 300));

  // Group 4 at 1728 pixels, highest bit first: 100 pairs of a row with a black tail (VL3, V0)
  // against a blank row and a blank row (pass) against it, then 8 blank rows per 0xFF byte.
  test::BitWriter w;
  for (int i = 0; i < 100; ++i) w.put("0000010 1 0001");
  std::vector<uint8_t> stream = w.bytes();
  stream.insert(stream.end(), 4000, 0xFF);
  EngineSetup s = setupFor("g4tail");
  s.settings.rawFax = 1;
  const RawRun g4 = runRaw(stream, s, "g4tail");
  ASSERT_GE(g4.analysis, 0);
  EXPECT_EQ(g4.header.coding, 7);
  EXPECT_EQ(g4.header.rows, longest);
  ASSERT_EQ(g4.tiff.size(), 1u);
  EXPECT_EQ(g4.tiff[0].bitmap.rows, longest);
}

// Rows are recorded up to what 1024 pages of the page length in use hold: the chosen resolution's
// length, or the estimate's from the longest run so far. 1200 runs of 1000 Group 4 rows, each
// begun by an EOL: estimated at 100 lines per inch the stream stops at 1024 pages of 1144 rows;
// at a chosen 400 lines per inch every row fits, unless a row limit stops it earlier.
TEST(RawAnalysis, RowsStopAtWhat1024PagesOfTheLengthInUseHold) {
  test::BitWriter w;
  const std::string blankRows(940, '1');
  for (int run = 0; run < 1200; ++run) {
    w.put("000000000001");
    for (int i = 0; i < 30; ++i) w.put("0000010 1 0001");
    w.put(blankRows);
  }
  const std::vector<uint8_t> stream = w.bytes();
  const std::string source = rawtest::tempPath("runs.raw");
  test::writeBytes(source, stream);
  struct Case {
    uint16_t resolution;
    uint32_t rowLimit;
    int rows;
  };
  for (const Case& c : {Case{0, kRawNoRowLimit, 1024 * 1144}, Case{400, kRawNoRowLimit, 1200 * 1000},
                        Case{400, 2500, 2500}}) {
    SCOPED_TRACE(c.rowLimit);
    EngineSetup s = setupFor("runs" + std::to_string(c.resolution));
    s.settings.rawFax = 1;
    s.settings.verticalResolution = c.resolution;
    // The work file keeps one longest page.
    RawFaxReader reader(s, {.workFileBytes = 1, .rowLimit = c.rowLimit});
    ASSERT_TRUE(reader.open(source));
    ASSERT_GE(reader.analyse(s.settings.bitOrder, s.settings.nonStandardWidth), 0);
    FaxPage header;
    ASSERT_EQ(reader.readWorkHeader(header), 0);
    const int rows = c.rows;
    EXPECT_EQ(header.rows, rows);
    const std::size_t stored = std::min<std::size_t>(rows, rowsPerPageFor(1, 400));
    EXPECT_EQ(test::readBytes(s.files.workFilePath).size(), kRawWorkHeaderSize + stored * 216u);
    RawSegmentIndex index;
    ASSERT_EQ(loadSegmentIndex(s.files.segmentFilePath, index), 0);
    EXPECT_EQ(index.header.longestSegment, 1000u);
    EXPECT_EQ(index.segments.size(), static_cast<std::size_t>((rows + 999) / 1000));
  }
}

TEST(RawAnalysis, GroupFourWithoutFlagsNeedsRawFax) {
  const Bitmap page = rawtest::makePage(1728, 150, 31);
  const std::vector<uint8_t> stream = strip(page, Coding::kG4, 1);
  EngineSetup s = setupFor("g4raw");
  EXPECT_LT(runRaw(stream, s, "g4raw0").analysis, 0);
  s.settings.rawFax = 1;
  const RawRun run = runRaw(stream, s, "g4raw1");
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.coding, 7);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap, page);
}

TEST(RawAnalysis, WorkFilesThatCannotBeCreatedFailTheAnalysis) {
  EngineSetup s = setupFor("nodir");
  s.files.workFilePath = rawtest::tempPath("no/such/dir/work.tmp");
  EXPECT_LT(runRaw(oneDStream(1728, 100, 2), s, "nodir").analysis, 0);
}

TEST(RawAnalysis, StreamCutMidPageKeepsItsWholeRows) {
  const Bitmap p1 = rawtest::makePage(1728, 800, 41);
  const Bitmap p2 = rawtest::makePage(1728, 800, 42);
  std::vector<uint8_t> stream = strip(p1, Coding::kG3OneD, 2);
  rawtest::append(stream, rawtest::rtc(false, 2));
  const std::vector<uint8_t> second = strip(p2, Coding::kG3OneD, 2);
  stream.insert(stream.end(), second.begin(), second.begin() + static_cast<std::ptrdiff_t>(second.size() / 2));
  const RawRun run = runRaw(stream, setupFor("cut"), "cut");
  ASSERT_GE(run.analysis, 0);
  ASSERT_EQ(run.tiff.size(), 2u);
  EXPECT_EQ(run.tiff[0].bitmap, p1);
  const int kept = run.tiff[1].bitmap.rows;
  EXPECT_GT(kept, 350);
  EXPECT_LT(kept, 800);
  EXPECT_EQ(run.tiff[1].bitmap, p2.rowsOf(0, kept));
}

// The work file stores rows up to its byte bound (never less than one longest page); the rows past
// it are counted and indexed, and decoded again from the source when a page needs them. Pages
// described and written are the same whatever the bound. The stream: 4000 rows, then two short
// runs that share the second page and straddle the bound of 4576 rows (one longest A4 page).
class RawWorkFileLimitTest : public ::testing::TestWithParam<std::tuple<Coding, int>> {};

TEST_P(RawWorkFileLimitTest, RowsPastTheBoundAreDecodedAgain) {
  const auto [coding, order] = GetParam();
  const std::string name = "limit" + std::to_string(static_cast<int>(coding)) + std::to_string(order);
  const Bitmap p1 = rawtest::makePage(1728, 4000, 71);
  const Bitmap p2 = rawtest::makePage(1728, 600, 72);
  const Bitmap p3 = rawtest::makePage(1728, 500, 73);
  const bool twoD = coding == Coding::kG3TwoD;
  std::vector<uint8_t> stream;
  for (const Bitmap* page : {&p1, &p2, &p3}) {
    if (coding == Coding::kG4) {
      rawtest::append(stream, {0xFF, 0xFF, 0xFF});
      rawtest::append(stream, strip(*page, coding, order));
      rawtest::append(stream, {0xFF, 0xFF, 0xFF, 0x02, 0x02});
    } else {
      rawtest::append(stream, strip(*page, coding, order));
      rawtest::append(stream, rawtest::corruptedRow(twoD, order));
    }
  }
  EngineSetup s = setupFor(name);
  s.settings.verticalResolution = 100;  // pages of 1144 rows to describe; cut pages of 4000 rows
  const RawRun whole = runRaw(stream, s, name + "whole");
  const RawRun bounded = runRaw(stream, s, name + "bounded", 1);
  ASSERT_GE(whole.analysis, 0);
  ASSERT_GE(bounded.analysis, 0);

  const uint64_t longest = rowsPerPageFor(1, 400);
  EXPECT_EQ(whole.workFileSize, kRawWorkHeaderSize + 5100u * 216u);
  EXPECT_EQ(bounded.workFileSize, kRawWorkHeaderSize + longest * 216u);
  EXPECT_EQ(bounded.header.rows, 5100);
  EXPECT_EQ(bounded.pageCount, 5);
  ASSERT_EQ(bounded.index.segments.size(), 3u);
  EXPECT_EQ(bounded.index.header.totalRows, whole.index.header.totalRows);

  ASSERT_EQ(bounded.described.size(), 5u);
  for (std::size_t i = 0; i < bounded.described.size(); ++i) {
    EXPECT_EQ(bounded.described[i], whole.described[i]) << "page " << i;
  }
  ASSERT_EQ(bounded.tiff.size(), 2u);
  EXPECT_EQ(bounded.tiff[0].bitmap, p1);
  Bitmap joined = p2;
  joined.rows += p3.rows;
  joined.bits.insert(joined.bits.end(), p3.bits.begin(), p3.bits.end());
  EXPECT_EQ(bounded.tiff[1].bitmap, joined);
  EXPECT_EQ(bounded.tiff[1].compression, 4);
  // The last described page (rows 4576 to 5099) holds the end of the joined page, 1 bits white.
  const Bitmap tail = joined.rowsOf(4576 - 4000, 5100 - 4576);
  const std::vector<uint8_t> white = whiteOnes(tail);
  ASSERT_GE(bounded.described[4].size(), white.size());
  EXPECT_TRUE(std::equal(white.begin(), white.end(), bounded.described[4].begin()));
}

INSTANTIATE_TEST_SUITE_P(Codings, RawWorkFileLimitTest,
                         ::testing::Values(std::make_tuple(Coding::kG3OneD, 2), std::make_tuple(Coding::kG3TwoD, 1),
                                           std::make_tuple(Coding::kG4, 2), std::make_tuple(Coding::kG4, 1)),
    [](const ::testing::TestParamInfo<std::tuple<Coding, int>>& info) {
      return codingName(std::get<0>(info.param)) + "_Order" + std::to_string(std::get<1>(info.param));
    });

// ---------------------------------------------------------------------------------------------
// Real streams from the sample corpus, checked against the same data wrapped in a TIFF and
// decoded by libtiff.

struct CorpusCase {
  const char* raw;
  const char* tiff;
  bool groupFour;
};

class RawCorpusTest : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(RawCorpusTest, MatchesLibtiffDecoding) {
  const std::string dir = TARNWELL_SOURCE_DIR "/../shared/corpus/go-image/";
  const std::vector<uint8_t> stream = test::readBytes(dir + GetParam().raw);
  const auto reference = test::readTiffPages(dir + GetParam().tiff);
  if (stream.empty() || reference.size() != 1) GTEST_SKIP() << "sample corpus not available";
  const std::string name = std::string("corpus_") + (GetParam().groupFour ? "g4" : "g3");
  EngineSetup s = setupFor(name);
  // 153 pixels wide: a non-standard width; Group 4 without flags.
  s.settings.minWidth = GetParam().groupFour ? 153 : 100;
  s.settings.rawFax = GetParam().groupFour ? 1 : 0;
  const RawRun run = runRaw(stream, s, name);
  ASSERT_GE(run.analysis, 0);
  EXPECT_EQ(run.header.width, 153);
  EXPECT_EQ(run.header.fillOrder, 1);
  ASSERT_EQ(run.tiff.size(), 1u);
  EXPECT_EQ(run.tiff[0].bitmap, reference[0].bitmap);
}

INSTANTIATE_TEST_SUITE_P(
    Gopher, RawCorpusTest,
    ::testing::Values(CorpusCase{"bw-gopher.ccitt_group3", "bw-gopher_ccittGroup3.tiff", false},
                      CorpusCase{"bw-gopher.ccitt_group4", "bw-gopher_ccittGroup4.tiff", true}),
    [](const auto& info) { return std::string(info.param.groupFour ? "Group4" : "Group3"); });

// ---------------------------------------------------------------------------------------------
// Input that is no fax ends in a clean failure.

class RawRejectTest : public ::testing::TestWithParam<int> {};

constexpr const char* kRejectNames[] = {"Empty", "TwoBytes", "Junk", "AllZero", "AllOne",
                                        "EmptyRowsBetweenEols"};

std::vector<uint8_t> rejectInput(int kind) {
  switch (kind) {
    case 0: return {};
    case 1: return {0x00, 0x01};
    case 2: return rawtest::junk(200000, 1);
    case 3: return std::vector<uint8_t>(100000, 0x00);
    case 4: return std::vector<uint8_t>(100000, 0xFF);
    default: {  // EOLs with nothing decodable between them
      std::vector<uint8_t> v;
      for (int i = 0; i < 5000; ++i) rawtest::append(v, {0x00, 0x10, 0x0F, 0xF0});
      return v;
    }
  }
}

TEST_P(RawRejectTest, NoPages) {
  const std::string name = "reject" + std::to_string(GetParam());
  for (uint8_t order : {0, 1, 2}) {
    EngineSetup s = setupFor(name);
    s.settings.bitOrder = order;
    const RawRun run = runRaw(rejectInput(GetParam()), s, name);
    EXPECT_LT(run.analysis, 0) << "bit order " << int(order);
    // Without flags, 0xFF bytes are valid Group 4 data (every 1 bit a white row).
    if (GetParam() == 4) continue;
    s.settings.rawFax = 1;
    EXPECT_LT(runRaw(rejectInput(GetParam()), s, name).analysis, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, RawRejectTest, ::testing::Range(0, 6),
    [](const auto& info) { return std::string(kRejectNames[info.param]); });

}  // namespace
}  // namespace tarnwell
