// The APF, DCX, CALS, ED and BMP readers: files built from their layouts, pages coded by libtiff
// (or the tests' PCX encoder), written by the readers and read back with libtiff.

#include <gtest/gtest.h>

#include <climits>

#include "faxin/FaxFormat.h"
#include "support/ContainerBuilders.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"
#include "faxin/readers/CalsReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/ReaderFactory.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// Drives a reader as the engine does; the pages written by writeAll, read back by libtiff.
struct ReaderRun {
  int header = INT_MIN;
  uint16_t count = 0;
  FaxPage first;
  int written = INT_MIN;
  std::vector<TiffPage> pages;
};

ReaderRun runReader(const TempTree& dir, FaxFormat format, const std::vector<uint8_t>& file) {
  ReaderRun run;
  const std::string source = dir.file("source.bin");
  const std::string output = dir.file("out.tif");
  std::filesystem::remove(output);
  writeBytes(source, file);
  auto reader = makeFaxReader(format);
  if (!reader || !reader->open(source)) return run;
  run.header = reader->checkHeader();
  if (run.header != 0) return run;
  run.count = reader->countPages();
  if (run.count == 0) return run;
  (void)reader->describePage(0, run.first);
  run.written = reader->writeAll(output, run.count);
  if (run.written == 0) {
    EXPECT_TRUE(readTiffPages(output, run.pages));
  }
  return run;
}

// ---- every format, pages through writeAll, pixel for pixel ----

class ReaderRoundTripTest : public ::testing::TestWithParam<ContainerSample> {};

TEST_P(ReaderRoundTripTest, PagesArriveAsCoded) {
  const ContainerSample& c = GetParam();
  TempTree dir;
  std::vector<Bitmap> pages;
  const std::vector<uint8_t> file = c.build(dir, pages);
  ASSERT_FALSE(file.empty());
  const ReaderRun run = runReader(dir, c.format, file);
  ASSERT_EQ(run.header, 0);
  ASSERT_EQ(run.count, pages.size());
  EXPECT_GT(run.first.rows, 0);
  ASSERT_EQ(run.written, 0);
  ASSERT_EQ(run.pages.size(), pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    EXPECT_EQ(run.pages[i].bitmap, pages[i]);
    EXPECT_EQ(run.pages[i].pageIndex, i);
    EXPECT_EQ(run.pages[i].pageCount, pages.size());
    EXPECT_FLOAT_EQ(run.pages[i].xResolution, c.xResolution);
    // APF pages each carry their own vertical resolution.
    if (c.format != FaxFormat::kApf || i == 0) {
      EXPECT_FLOAT_EQ(run.pages[i].yResolution, c.yResolution);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Containers, ReaderRoundTripTest, ::testing::ValuesIn(containerSamples()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- APF ----

TEST(ApfReaderTest, PageCountOfZeroOrBelowStillGivesTheFirstPage) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 30, 21);
  for (int16_t declared : {0, 1, -1, INT16_MIN}) {
    SCOPED_TRACE(declared);
    const ReaderRun run = runReader(dir, FaxFormat::kApf,
                                    buildApf({{apfData(dir, page, false), 0}}, declared));
    EXPECT_EQ(run.count, 1);
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(run.pages[0].bitmap, page);
  }
}

TEST(ApfReaderTest, DataSizePastTheEndIsCutAndTheChainEnds) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 30, 22);
  // Page 1 claims far more data than the file holds; the count asks for three pages.
  const ReaderRun run = runReader(
      dir, FaxFormat::kApf,
      buildApf({{apfData(dir, page, false), 0x01, 0xFFFFFFF0u}}, 3));
  EXPECT_EQ(run.count, 1);
  ASSERT_EQ(run.pages.size(), 1u);
  EXPECT_EQ(run.pages[0].bitmap, page);
}

// ---- DCX ----

TEST(DcxReaderTest, PagesThatAreNoFaxPagesAreLeftOut) {
  TempTree dir;
  const Bitmap good = makePage(Pattern::kWords, 1728, 20, 31);
  const Bitmap small = makePage(Pattern::kWords, 64, 4, 32);
  struct Bad {
    const char* name;
    std::vector<uint8_t> page;
  };
  std::vector<Bad> bad = {
      {"colour planes", buildPcx(small, {.bitsPerPixel = 8, .planes = 3})},
      {"two bits", buildPcx(small, {.bitsPerPixel = 2})},
      {"zero width", buildPcx(small, {.xmin = 10, .xmaxOverride = 8})},
      {"negative rows", buildPcx(small, {.ymin = 100, .ymaxOverride = 2})},
      {"zero row bytes", buildPcx(small, {}, 0)},
      {"past the bitmap limit", buildPcx(small, {.ymin = -32768, .ymaxOverride = 32767}, 32766)},
  };
  // The 0-row-bytes case: buildPcx takes 0 as "the bitmap's own"; set the field by hand.
  setLe(bad[4].page, 66, 0, 2);
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    // Alone: no page, the file is no fax.
    ReaderRun alone = runReader(dir, FaxFormat::kDcx, buildDcx({b.page}));
    EXPECT_EQ(alone.count, 0);
    // Before a good page: only the good page is written.
    ReaderRun mixed = runReader(dir, FaxFormat::kDcx, buildDcx({b.page, buildPcx(good)}));
    ASSERT_EQ(mixed.count, 1);
    ASSERT_EQ(mixed.pages.size(), 1u);
    EXPECT_EQ(mixed.pages[0].bitmap, good);
  }
}

TEST(DcxReaderTest, RunLengthQuirksAndShortData) {
  // xmax 15: two bytes per row, 3 rows. Row 1: 0xC5 0x00 makes five zero bytes (a run past the
  // row end is kept whole); 0xC0 alone is the value 0xC0; the data then ends.
  PcxPageLayout layout;
  std::vector<uint8_t> header = buildPcx(Bitmap{16, 3, std::vector<uint8_t>(6)});
  header.resize(128);
  ASSERT_TRUE(readPcxLayout(header, layout));
  EXPECT_EQ(layout.rowSize, 2u);
  std::vector<uint8_t> bitmap(6, 0x77);
  std::fill(bitmap.begin(), bitmap.end(), 0);
  const std::vector<uint8_t> data = {0xC5, 0x00, 0xC0};
  expandPcxRows(data, layout, bitmap);
  EXPECT_EQ(bitmap, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0xC0}));

  // An odd plane row length is made even; a short row is padded with zero bytes.
  std::vector<uint8_t> odd = buildPcx(makePage(Pattern::kWords, 1720, 2, 33), {}, 215);
  ASSERT_TRUE(readPcxLayout(std::span(odd).first(128), layout));
  EXPECT_EQ(layout.rowSize, 216u);
  std::vector<uint8_t> rows(2 * 216, 0x55);
  std::fill(rows.begin(), rows.end(), 0);
  expandPcxRows(std::span(odd).subspan(128), layout, rows);
  EXPECT_EQ(rows[215], 0);
  EXPECT_EQ(rows[431], 0);
}

// A page cut short has the rows its data begins, not the rows its header declares: the rows
// before the cut as they were, the row the cut falls in padded.
TEST(DcxReaderTest, TruncatedPageHasTheRowsItsDataBegins) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 40, 34);
  std::vector<uint8_t> pcx = buildPcx(page);
  const std::size_t cut = 128 + (pcx.size() - 128) / 2;
  pcx.resize(cut);
  // Where each row's coding begins, by the tests' own encoder.
  uint32_t begun = 0;
  std::vector<uint8_t> coded(128);
  for (uint32_t y = 0; y < page.rows && coded.size() < cut; ++y, ++begun) {
    std::vector<uint8_t> row(page.bytesPerRow());
    for (uint32_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(~page.row(y)[i]);
    pcxEncodeRow(row.data(), row.size(), coded);
  }
  ASSERT_LT(begun, 40u);
  const ReaderRun run = runReader(dir, FaxFormat::kDcx, buildDcx({pcx}));
  ASSERT_EQ(run.pages.size(), 1u);
  EXPECT_EQ(run.pages[0].bitmap.rows, begun);
  EXPECT_EQ(run.first.rows, static_cast<int32_t>(begun));
  EXPECT_EQ(run.pages[0].bitmap.rowsOf(0, begun - 1), page.rowsOf(0, begun - 1));
}

// ---- CALS and ED ----

TEST(CalsReaderTest, HeaderValues) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 30, 41);
  const std::vector<uint8_t> t6 = joined(codeStrips(dir, page, COMPRESSION_CCITTFAX4, 1));
  struct Case {
    const char* pelCount;
    const char* density;
    bool accepted;
  };
  for (const Case& c : {Case{"001728,000030", "0200", true}, Case{"  1728,  30", " 200", true},
                        Case{"001728,000030", "0000", false}, Case{"001728 000030", "0200", false},
                        Case{"000000,000030", "0200", false}, Case{"abc,30", "200", false},
                        Case{"-1728,30", "200", false},
                        // Declared sizes past the engine's bitmap limit.
                        Case{"9999999,30", "200", false}, Case{"65536,9999999", "200", false}}) {
    SCOPED_TRACE(std::string(c.pelCount) + " / " + c.density);
    const ReaderRun run = runReader(dir, FaxFormat::kCals, buildCals(t6, c.pelCount, c.density));
    EXPECT_EQ(run.header == 0, c.accepted);
  }
}

TEST(SingleT6PageTest, ShortDataIsWrittenWithTheDeclaredSizeAndLimitsHold) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 60, 42);
  std::vector<uint8_t> t6 = joined(codeStrips(dir, page, COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB));
  t6.resize(t6.size() / 2);
  writeBytes(dir.file("short.ed"), buildEd(t6, 1728, 60, 200));
  auto reader = makeFaxReader(FaxFormat::kEd);
  ASSERT_TRUE(reader->open(dir.file("short.ed")));
  ASSERT_EQ(reader->checkHeader(), 0);
  ASSERT_EQ(reader->countPages(), 1);
  FaxPage first;
  ASSERT_EQ(reader->describePage(0, first), 0);
  EXPECT_GT(first.rows, 0);
  EXPECT_LT(first.rows, 60);
  ASSERT_EQ(reader->writeAll(dir.file("out.tif"), 1), 0);
  const std::vector<uint8_t> written = rawStripBytes(dir.file("out.tif"));
  EXPECT_EQ(written, t6);

  // Sizes past the engine's bitmap limit, or of zero, are refused before anything is decoded.
  for (auto [width, rows] : {std::pair<uint32_t, uint32_t>{UINT32_MAX, 10}, {1728, UINT32_MAX},
                             {65536, 65536}, {0, 10}, {1728, 0}}) {
    const ReaderRun run = runReader(dir, FaxFormat::kEd, buildEd(t6, width, rows, 200));
    EXPECT_NE(run.header, 0) << width << "x" << rows;
  }
}

// ---- BMP ----

TEST(BmpReaderTest, BadGeometryIsNoFaxAndMissingRowsAreNotInvented) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 100, 20, 51);
  const std::vector<uint8_t> good = buildBmp(page);
  auto with = [&](std::size_t at, uint64_t value, int bytes) {
    std::vector<uint8_t> f = good;
    setLe(f, at, value, bytes);
    return f;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  for (const Case& c : {Case{"most negative height", with(22, 0x80000000u, 4)},
                        Case{"zero width", with(18, 0, 4)},
                        Case{"negative width", with(18, static_cast<uint32_t>(-100), 4)},
                        Case{"zero height", with(22, 0, 4)},
                        Case{"huge width", with(18, 0x7FFFFFFF, 4)},
                        Case{"two bits per pixel", with(28, 2, 2)},
                        Case{"compressed", with(30, 1, 4)},
                        Case{"header of 16 bytes", with(14, 16, 4)}}) {
    SCOPED_TRACE(c.name);
    const ReaderRun run = runReader(dir, FaxFormat::kBmp, c.file);
    EXPECT_EQ(run.first.rows, 0);
    EXPECT_NE(run.written, 0);
  }
  // Rows past the end of the file are not invented: the page has the rows the file holds, in
  // both colour table senses.
  for (bool whiteFirst : {false, true}) {
    std::vector<uint8_t> f = buildBmp(page, {.topDown = true, .whiteFirst = whiteFirst});
    f.resize(f.size() - 16 * 5);  // the last five rows of 16 stored bytes
    const ReaderRun run = runReader(dir, FaxFormat::kBmp, f);
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(run.pages[0].bitmap, page.rowsOf(0, 15)) << whiteFirst;
  }
}

TEST(BmpReaderTest, ColourTableSetsTheSenseOfTheBits) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 64, 8, 52);
  for (bool whiteFirst : {false, true}) {
    const ReaderRun run = runReader(dir, FaxFormat::kBmp, buildBmp(page, {.whiteFirst = whiteFirst}));
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(run.pages[0].photometric, whiteFirst ? 0 : 1);
    EXPECT_EQ(run.pages[0].bitmap, page);
  }
}

TEST(BmpReaderTest, ResolutionInCentimetresOrTheDefault) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 40, 4, 53);
  struct Case {
    int32_t perMetre;
    uint16_t resolution;
    uint8_t unit;
  };
  for (const Case& c : {Case{3937, 39, 3}, Case{7874, 78, 3}, Case{0, 200, 2}, Case{99, 200, 2},
                        Case{-3937, 200, 2}, Case{INT32_MAX, 200, 2}}) {
    const ReaderRun run = runReader(dir, FaxFormat::kBmp, buildBmp(page, {.pixelsPerMetre = c.perMetre}));
    EXPECT_EQ(run.first.xResolution, c.resolution) << c.perMetre;
    EXPECT_EQ(run.first.resolutionUnit, c.unit) << c.perMetre;
  }
}

// ---- bad input, every format ----

TEST(ContainerReadersTest, EveryTruncationAndFlippedByteEndsCleanly) {
  TempTree dir;
  for (const ContainerSample& c : containerSamples()) {
    SCOPED_TRACE(c.name);
    std::vector<Bitmap> pages;
    const std::vector<uint8_t> file = c.build(dir, pages);
    const std::size_t step = std::max<std::size_t>(1, file.size() / 300);
    for (std::size_t n = 0; n < file.size(); n += step) {
      std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
      const ReaderRun run = runReader(dir, c.format, cut);
      // Whatever is written must be a TIFF libtiff reads, and no page claims more than it holds.
      if (run.written == 0) {
        EXPECT_FALSE(run.pages.empty());
      }
      EXPECT_GE(run.first.rows, 0);
      EXPECT_LE(run.first.bitmap.size() / std::max(run.first.bytesPerRow, 1), 1u << 27);
    }
    uint32_t state = 7;
    for (int i = 0; i < 60; ++i) {
      std::vector<uint8_t> flipped = file;
      state = state * 1103515245u + 12345u;
      flipped[state % flipped.size()] ^= static_cast<uint8_t>(1u << ((state >> 8) % 8));
      (void)runReader(dir, c.format, flipped);
    }
  }
}

}  // namespace
}  // namespace tarnwell
