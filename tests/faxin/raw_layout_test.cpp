// Byte layouts of the raw fax working files, page cutting and segment slicing.

#include <gtest/gtest.h>

#include "faxin/raw/RawFaxFiles.h"
#include "faxin/raw/RawFaxPages.h"
#include "raw_test_support.h"

namespace tarnwell {
namespace {

TEST(RawLayout, WorkHeaderFieldsSitAtTheirOffsets) {
  FaxPage page;
  page.width = 1728;
  page.rows = 0x01020304;
  page.bytesPerRow = 216;
  page.bitsPerSample = 1;
  page.samplesPerPixel = 1;
  page.codedSize = 0xA0B0C0D0;
  page.xResolution = 200;
  page.yResolution = 300;
  page.resolutionUnit = 2;
  page.fillOrder = 2;
  page.coding = 6;
  page.pageSize = 1;
  page.photometric = 0;
  const auto b = encodeWorkHeader(page);
  ASSERT_EQ(b.size(), 37u);
  EXPECT_EQ(b[4], 0xC0);  // 1728 = 0x06C0
  EXPECT_EQ(b[5], 0x06);
  EXPECT_EQ(b[8], 0x04);
  EXPECT_EQ(b[11], 0x01);
  EXPECT_EQ(b[12], 216);
  EXPECT_EQ(b[16], 1);
  EXPECT_EQ(b[18], 1);
  EXPECT_EQ(b[20], 0xD0);
  EXPECT_EQ(b[23], 0xA0);
  EXPECT_EQ(b[24], 200);
  EXPECT_EQ(b[26], 300 & 0xFF);
  EXPECT_EQ(b[27], 300 >> 8);
  EXPECT_EQ(b[28], 2);
  EXPECT_EQ(b[29], 2);
  EXPECT_EQ(b[30], 6);
  EXPECT_EQ(b[31], 1);
  EXPECT_EQ(b[33] | b[34] | b[35] | b[36], 0);
  FaxPage back;
  ASSERT_TRUE(decodeWorkHeader(b, back));
  EXPECT_EQ(back.rows, page.rows);
  EXPECT_EQ(back.codedSize, page.codedSize);
  EXPECT_FALSE(decodeWorkHeader(std::span<const uint8_t>(b).first(36), back));
}

TEST(RawLayout, IndexHeaderAndSegmentRecord) {
  RawIndexHeader h;
  h.segmentCount = 3;
  h.totalRows = 2100;
  h.width = 2048;
  h.bitOrder = 2;
  h.coding = 7;
  h.paperClass = 2;
  h.longestSegment = 1100;
  h.verticalResolution = 200;
  h.pageTable[0] = 2;
  h.pageTable[1023] = 9;
  const auto b = encodeIndexHeader(h);
  ASSERT_EQ(b.size(), 4120u);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[4] | (b[5] << 8), 2100);
  EXPECT_EQ(b[8] | (b[9] << 8), 2048);
  EXPECT_EQ(b[12], 2);
  EXPECT_EQ(b[13], 7);
  EXPECT_EQ(b[14], 2);
  EXPECT_EQ(b[15], 0);
  EXPECT_EQ(b[16] | (b[17] << 8), 1100);
  EXPECT_EQ(b[20], 200);
  EXPECT_EQ(b[22] | b[23], 0);
  EXPECT_EQ(b[24], 2);
  EXPECT_EQ(b[24 + 4 * 1023], 9);

  RawSegment s{0x11223344, 0x55667788, 1100, 3, 5};
  const auto r = encodeSegment(s);
  ASSERT_EQ(r.size(), 14u);
  EXPECT_EQ(r[0], 0x44);
  EXPECT_EQ(r[7], 0x55);
  EXPECT_EQ(r[8] | (r[9] << 8), 1100);
  EXPECT_EQ(r[12], 3);
  EXPECT_EQ(r[13], 5);
  // A bit position above 7 is not a position.
  auto bad = r;
  bad[12] = 8;
  RawSegment back;
  EXPECT_FALSE(decodeSegment(bad, back));
}

TEST(RawLayout, IndexClaimingMoreRecordsThanPresentIsCut) {
  RawIndexHeader h;
  h.segmentCount = 1000000;
  h.width = 1728;
  auto bytes = encodeIndexHeader(h);
  for (uint32_t i = 0; i < 2; ++i) {
    const auto r = encodeSegment(RawSegment{i * 10, i * 10 + 5, 7, 0, 0});
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  bytes.push_back(0xAB);  // a partial third record
  const std::string path = rawtest::tempPath("layout_index.tmp");
  test::writeBytes(path, bytes);
  RawSegmentIndex index;
  EXPECT_EQ(loadSegmentIndex(path, index), 0);
  EXPECT_EQ(index.segments.size(), 2u);

  test::writeBytes(path, std::vector<uint8_t>(100, 0));
  EXPECT_EQ(loadSegmentIndex(path, index), -1);
  test::writeBytes(path, encodeIndexHeader(RawIndexHeader{}));
  EXPECT_EQ(loadSegmentIndex(path, index), -2);
  EXPECT_EQ(loadSegmentIndex(rawtest::tempPath("missing/none.tmp"), index), -1);
}

TEST(RawPages, RowsPerPageAndEstimateBoundaries) {
  EXPECT_EQ(rowsPerPageFor(1, 100), 1144u);
  EXPECT_EQ(rowsPerPageFor(1, 101), 2288u);
  EXPECT_EQ(rowsPerPageFor(2, 300), 4089u);
  EXPECT_EQ(rowsPerPageFor(3, 400), 6468u);
  EXPECT_EQ(rowsPerPageFor(0, 400), 1144u);
  EXPECT_EQ(estimateVerticalResolution(1, 1144), 100);
  EXPECT_EQ(estimateVerticalResolution(1, 1145), 200);
  EXPECT_EQ(estimateVerticalResolution(2, 2727), 300);
  EXPECT_EQ(estimateVerticalResolution(3, 4852), 400);
  EXPECT_EQ(estimateVerticalResolution(4, 5000), 100);
}

TEST(RawPages, CuttingFollowsPageLengthAndLongestSegment) {
  const std::vector<RawSegment> twoPages = {{0, 1, 1100, 0, 0}, {2, 3, 1000, 0, 0}};
  auto pages = cutPages(twoPages, 1144);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1].firstSegment, 1u);
  EXPECT_EQ(pages[1].firstRow, 1100u);

  // Small segments fill a page up to its length; a segment longer than the page length makes
  // that the length.
  const std::vector<RawSegment> mixed = {{0, 1, 500, 0, 0}, {0, 1, 600, 0, 0}, {0, 1, 100, 0, 0},
                                         {0, 1, 3000, 0, 0}, {0, 1, 10, 0, 0}};
  pages = cutPages(mixed, 1144);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].segmentCount, 3u);  // 500 + 600 + 100 <= 3000
  EXPECT_EQ(pages[0].rows, 1200u);
  EXPECT_EQ(pages[1].firstSegment, 3u);
  EXPECT_EQ(pages[1].firstRow, 1200u);
  EXPECT_EQ(pages[2].rows, 10u);
  EXPECT_TRUE(cutPages({}, 1144).empty());
}

TEST(RawPages, SliceClearsEdgeBitsInTheSourceBitOrder) {
  const std::vector<uint8_t> src = {0xFF, 0xFF, 0xFF, 0xFF};
  std::vector<uint8_t> out;
  // Highest bit first: 3 bits in front of the start and the bits from position 5 of byte 2 on.
  ASSERT_TRUE(appendSegmentBytes(src, RawSegment{1, 2, 1, 3, 5}, 1, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0x1F, 0xF8}));
  out.clear();
  ASSERT_TRUE(appendSegmentBytes(src, RawSegment{1, 2, 1, 3, 5}, 2, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0xF8, 0x1F}));
  out.clear();
  // Start and end in one byte.
  ASSERT_TRUE(appendSegmentBytes(src, RawSegment{0, 0, 1, 2, 6}, 1, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0x3C}));
  out.clear();
  // An end at the very end of the data copies no byte past it.
  ASSERT_TRUE(appendSegmentBytes(src, RawSegment{3, 4, 1, 0, 0}, 1, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0xFF}));
  // Segments outside the source or ending before they start copy nothing.
  out.clear();
  EXPECT_FALSE(appendSegmentBytes(src, RawSegment{3, 5, 1, 0, 1}, 1, out));
  EXPECT_FALSE(appendSegmentBytes(src, RawSegment{2, 1, 1, 0, 0}, 1, out));
  EXPECT_FALSE(appendSegmentBytes(src, RawSegment{0xFFFFFFFF, 0xFFFFFFFF, 1, 7, 7}, 2, out));
  EXPECT_TRUE(out.empty());
}

TEST(RawPages, AlignedSliceShiftsBitsToTheFront) {
  const std::vector<uint8_t> src = {0b10110011, 0b01011100};
  std::vector<uint8_t> out;
  // Bits 3 .. 12 (exclusive) highest first: 10011 0101 -> 10011010 1(0000000).
  ASSERT_TRUE(appendSegmentBitsAligned(src, RawSegment{0, 1, 1, 3, 4}, 1, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0b10011010, 0b10000000}));
  // The same bits stored least significant bit first give the mirrored bytes.
  std::vector<uint8_t> mirrored;
  for (uint8_t b : src) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r |= static_cast<uint8_t>(((b >> i) & 1) << (7 - i));
    mirrored.push_back(r);
  }
  out.clear();
  ASSERT_TRUE(appendSegmentBitsAligned(mirrored, RawSegment{0, 1, 1, 3, 4}, 2, out));
  EXPECT_EQ(out, (std::vector<uint8_t>{0b01011001, 0b00000001}));
}

}  // namespace
}  // namespace tarnwell
