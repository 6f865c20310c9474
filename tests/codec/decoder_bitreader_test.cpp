// The bounds-checked bit reader and the row painter.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "codec/FaxBitReader.h"
#include "codec/FaxRowPaint.h"

namespace tarnwell {
namespace {

TEST(FaxBitReader, ReadsAcrossBytesAndReportsTheEnd) {
  const std::vector<uint8_t> data = {0xA5, 0x3C};
  FaxBitReader r(data, 1);
  EXPECT_EQ(r.current(), 0xA5);
  EXPECT_EQ(r.readBits(4), 0xA);
  EXPECT_EQ(r.readBits(8), 0x53);
  EXPECT_EQ(r.position(), 1u);
  EXPECT_EQ(r.bitIndex(), 4);
  EXPECT_EQ(r.readBits(5), FaxBitReader::kPastEnd);  // nothing consumed
  EXPECT_EQ(r.readBits(4), 0xC);
  EXPECT_EQ(r.current(), FaxBitReader::kPastEnd);
  EXPECT_EQ(r.readBits(1), FaxBitReader::kPastEnd);
  EXPECT_TRUE(r.atEnd());
}

TEST(FaxBitReader, BitOrderTwoReversesEveryByte) {
  const std::vector<uint8_t> data = {0x01, 0x0F};
  FaxBitReader r(data, 2);
  EXPECT_EQ(r.current(), 0x80);
  EXPECT_EQ(r.readBits(8), 0x80);
  EXPECT_EQ(r.readBits(8), 0xF0);
  EXPECT_EQ(FaxBitReader(data, 0).readBits(1), 1);  // any value but 1 reverses
}

TEST(FaxBitReader, EmptyDataIsNoData) {
  FaxBitReader r(std::span<const uint8_t>(), 1);
  EXPECT_EQ(r.current(), FaxBitReader::kNoData);
  EXPECT_EQ(r.readBits(1), FaxBitReader::kNoData);
  EXPECT_EQ(r.findEol(0), FaxBitReader::kNoData);
  EXPECT_EQ(r.findMarker(3), FaxBitReader::kNoData);
}

TEST(FaxBitReader, UnreadStepsBackAndStopsAtTheStart) {
  const std::vector<uint8_t> data = {0xA5, 0x3C};
  FaxBitReader r(data, 1);
  ASSERT_EQ(r.readBits(8), 0xA5);
  ASSERT_EQ(r.readBits(4), 0x3);
  EXPECT_EQ(r.unreadBits(5), 0);
  EXPECT_EQ(r.bitPosition(), 7u);
  EXPECT_EQ(r.readBits(2), 0b10);  // last bit of 0xA5, first of 0x3C
  EXPECT_EQ(r.unreadBits(20), FaxBitReader::kBeforeStart);
  EXPECT_EQ(r.bitPosition(), 0u);
}

TEST(FaxBitReader, AlignRowMovesToTheNextByteOrEvenByte) {
  const std::vector<uint8_t> data(8, 0);
  FaxBitReader r(data, 1);
  r.alignRow(true);
  EXPECT_EQ(r.bitPosition(), 0u);  // nothing consumed: stays
  ASSERT_EQ(r.readBits(3), 0);
  r.alignRow(false);
  EXPECT_EQ(r.bitPosition(), 8u);
  r.alignRow(true);
  EXPECT_EQ(r.bitPosition(), 16u);  // byte 1 is odd: one further
  ASSERT_EQ(r.readBits(1), 0);
  r.alignRow(true);
  EXPECT_EQ(r.bitPosition(), 32u);
}

TEST(FaxBitReader, FindEolSkipsFillAndStopsAfterTheOne) {
  // 0xFF, then 3 zero bits + 000000000001 (15 zeros and a 1), then 0xAB.
  const std::vector<uint8_t> data = {0xFF, 0x00, 0x01, 0xAB, 0x00, 0x10};
  FaxBitReader r(data, 1);
  EXPECT_EQ(r.findEol(2), 0);
  EXPECT_EQ(r.bitPosition(), 24u);
  EXPECT_EQ(r.readBits(8), 0xAB);
  // 0x00 0x10: eleven zeros and a 1 end at bit 4 of the last byte.
  EXPECT_EQ(r.findEol(2), 0);
  EXPECT_EQ(r.bitPosition(), 44u);
  EXPECT_EQ(r.findEol(2), FaxBitReader::kPastEnd);
  EXPECT_TRUE(r.atEnd());
  // Mode 0 searches from the start again.
  EXPECT_EQ(r.findEol(0), 0);
  EXPECT_EQ(r.bitPosition(), 24u);
  // Ten zeros and a 1 are no EOL.
  const std::vector<uint8_t> ten = {0x00, 0x20, 0xFF};
  FaxBitReader t(ten, 1);
  EXPECT_EQ(t.findEol(2), FaxBitReader::kPastEnd);
}

TEST(FaxBitReader, FindEolAcrossLongZeroRuns) {
  std::vector<uint8_t> data(300, 0);
  data.push_back(0x01);
  FaxBitReader r(data, 1);
  EXPECT_EQ(r.findEol(2), 0);
  EXPECT_EQ(r.bitPosition(), data.size() * 8);
  // Random-looking data without eleven zeros in a row.
  std::vector<uint8_t> dense(1000, 0x81);
  FaxBitReader d(dense, 1);
  EXPECT_EQ(d.findEol(2), FaxBitReader::kPastEnd);
}

TEST(FaxBitReader, FindMarkerSkipsTheMarkerAndTheOnesBehindIt) {
  const std::vector<uint8_t> data = {0x00, 0xFF, 0xFF, 0xFF, 0xC5, 0xFF, 0xFF, 0x00};
  FaxBitReader r(data, 1);
  EXPECT_EQ(r.findMarker(3), 0);
  EXPECT_EQ(r.bitPosition(), 4u * 8 + 2);  // 0xC5 = 11000101: on its first 0 bit
  EXPECT_EQ(r.findMarker(3), FaxBitReader::kPastEnd);  // only two 0xFF bytes follow
  EXPECT_TRUE(r.atEnd());
  FaxBitReader two(data, 1);
  ASSERT_EQ(two.readBits(8), 0);
  ASSERT_EQ(two.findMarker(2), 0);
  EXPECT_EQ(two.findMarker(2), 0);
  EXPECT_EQ(two.bitPosition(), 7u * 8);
  // A marker reaching the end of the data is not followed by a code: not found.
  const std::vector<uint8_t> tail = {0x12, 0xFF, 0xFF, 0xFF};
  FaxBitReader t(tail, 1);
  EXPECT_EQ(t.findMarker(3), FaxBitReader::kPastEnd);
}

TEST(FaxBitReader, SeekAndWindowStayInsideTheData) {
  const std::vector<uint8_t> data = {0x12, 0x34, 0x56};
  FaxBitReader r(data, 1);
  r.seekBit(1000);
  EXPECT_EQ(r.bitPosition(), 24u);
  r.seekBit(4);
  r.refill();
  EXPECT_EQ(r.available(), 20);
  EXPECT_EQ(r.peek(20), 0x23456u);
  EXPECT_EQ(r.peek(24), 0x234560u);  // bits past the end read as 0
}

// A row painted pixel by pixel: 1 bits where colour XOR photometric is 0, before `length`.
std::vector<uint8_t> paintedByPixel(const std::vector<int32_t>& changes, int64_t length,
                                    int32_t width, int photometric, std::size_t rowBytes) {
  std::vector<uint8_t> row(rowBytes, 0);
  const int64_t end = std::min<int64_t>({length, width, static_cast<int64_t>(rowBytes) * 8});
  std::size_t next = 0;
  int colour = 0;  // the first run is white
  for (int64_t x = 0; x < end; ++x) {
    while (next < changes.size() && changes[next] <= x) {
      colour ^= 1;
      ++next;
    }
    if ((colour ^ photometric) == 0) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  return row;
}

struct PaintCase {
  const char* name;
  std::vector<int32_t> changes;
  int64_t length;
  int32_t width;
  std::size_t rowBytes;  // bytes given to the painter
};

// Narrow rows are painted in words, rows past 16384 pixels byte by byte: both ways give the same
// pixels, clear every bit past the length and the padding, and never write past the row.
const PaintCase kPaintCases[] = {
    {"Narrow", {3, 5, 9}, 12, 12, 2},
    {"NarrowShortLength", {3, 5, 9}, 10, 12, 2},
    {"NarrowAllWhite", {}, 1728, 1728, 216},
    {"NarrowChangesPastLength", {100, 200, 1800}, 1500, 1728, 216},
    {"NarrowWidthCutToTheBytes", {20}, 100, 100, 1},
    {"NarrowWordEdges", {63, 64, 127, 128, 191}, 256, 256, 32},
    {"WideRuns", {7, 8, 9000, 9063, 19999}, 20000, 20000, 2500},
    {"WideShortLength", {7, 8, 9000, 16385}, 15000, 20000, 2500},
    {"WideOddWidth", {1, 16384, 16385, 20001}, 20003, 20003, 2501},
    {"WideAllBlack", {0}, 17000, 17000, 2125},
    {"WideWidthCutToTheBytes", {16000, 16390}, 40000, 40000, 2060},
};

class PaintRowTest : public ::testing::TestWithParam<PaintCase> {};

TEST_P(PaintRowTest, MatchesPixelByPixelPaintingInBothPolarities) {
  const PaintCase& c = GetParam();
  const std::size_t used = std::min<std::size_t>(c.rowBytes, (c.width + 7) / 8);
  for (int photometric : {0, 1}) {
    SCOPED_TRACE(photometric);
    // One byte more than the painter is given, to see that it stays within its row.
    std::vector<uint8_t> row(c.rowBytes + 1, 0xAA);
    paintRow(c.changes, c.length, c.width, photometric,
             std::span<uint8_t>(row.data(), c.rowBytes));
    std::vector<uint8_t> expected = paintedByPixel(c.changes, c.length, c.width, photometric,
                                                   used);
    expected.resize(c.rowBytes + 1, 0xAA);  // bytes past the row's width are left as they were
    EXPECT_EQ(row, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, PaintRowTest, ::testing::ValuesIn(kPaintCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PaintRow, KnownBytesInBothPolarities) {
  const std::vector<int32_t> changes = {3, 5, 9};  // white 0-2, black 3-4, white 5-8, black 9-
  std::vector<uint8_t> row(2, 0xAA);
  paintRow(changes, 12, 12, 0, row);
  EXPECT_EQ(row, (std::vector<uint8_t>{0xE7, 0x80}));
  paintRow(changes, 12, 12, 1, row);
  EXPECT_EQ(row, (std::vector<uint8_t>{0x18, 0x70}));
  // Pixels past the length stay 0.
  paintRow(changes, 10, 12, 1, row);
  EXPECT_EQ(row, (std::vector<uint8_t>{0x18, 0x40}));
}

}  // namespace
}  // namespace tarnwell
