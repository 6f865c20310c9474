// TIFF structure reading of the engine's own reader: headers, directory chains, entries, strips,
// in both byte orders and on hostile structures.

#include <gtest/gtest.h>

#include "faxin/tiff/TiffDirectory.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using test::RawEntry;
using test::TiffBytes;

// The strips of the directory at `position`, read as the engine reads a page: header, directory,
// page description. Empty when the header or the directory does not read.
std::vector<TiffStrip> stripsAt(TiffView& view, uint32_t position) {
  TiffHeader header;
  std::vector<TiffEntry> entries;
  uint32_t next = 0;
  if (view.readHeader(header) != 0 || view.readDirectory(position, entries, next) <= 0) return {};
  return view.strips(view.parseDirectory(entries));
}

class ByteOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(ByteOrderTest, ReadsHeaderEntriesAndStripsInEitherOrder) {
  const bool big = GetParam();
  TiffBytes t(big);
  uint32_t data1 = t.append({1, 2, 3, 4, 5});
  uint32_t data2 = t.append({6, 7, 8});
  uint32_t data3 = t.append({9});
  uint32_t offsets = t.append32s({data1, data2, data3});
  uint32_t counts = t.append32s({5, 3, 1});
  uint32_t res = t.appendRational(400, 2);
  uint32_t dir = t.directory({{256, 3, 1, 1728},
                              {257, 4, 1, 70000},
                              {259, 3, 1, 3},
                              {266, 3, 1, 2},
                              {273, 4, 3, offsets},
                              {278, 3, 1, 30},
                              {279, 4, 3, counts},
                              {282, 5, 1, res},
                              {292, 4, 1, 5},
                              {297, 3, 2, 3, 9}});
  t.link(0, dir);

  TiffView view(t.bytes());
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  EXPECT_EQ(view.bigEndian(), big);
  EXPECT_EQ(header.firstDirectory, dir);
  std::vector<TiffEntry> entries;
  uint32_t next = 1;
  ASSERT_EQ(view.readDirectory(dir, entries, next), 10);
  EXPECT_EQ(next, 0u);
  TiffPageInfo info = view.parseDirectory(entries);
  EXPECT_EQ(info.width, 1728u);
  EXPECT_EQ(info.length, 70000u);
  EXPECT_EQ(info.compression, 3u);
  EXPECT_EQ(info.fillOrder, 2u);
  EXPECT_EQ(info.rowsPerStrip, 30u);
  EXPECT_EQ(info.t4Options, 5u);
  EXPECT_EQ(info.xResolution(), 200u);
  EXPECT_EQ(info.yResolution(), 0u);  // no tag: zero denominator
  EXPECT_EQ(info.pageNumber[0], 3);
  EXPECT_EQ(info.pageNumber[1], 9);
  auto strips = view.strips(info);
  ASSERT_EQ(strips.size(), 3u);
  EXPECT_EQ(strips[0].offset, data1);
  EXPECT_EQ(strips[1].size, 3u);
  EXPECT_EQ(view.bytes(strips[2])[0], 9);
}

TEST_P(ByteOrderTest, TwoShortStripsSitInTheValueField) {
  const bool big = GetParam();
  TiffBytes t(big);
  uint32_t a = t.append({0xAA, 0xAB});
  uint32_t b = t.append({0xBB});
  uint32_t dir = t.directory({{273, 3, 2, a, static_cast<uint16_t>(b)}, {279, 3, 2, 2, 1}});
  t.link(0, dir);
  TiffView view(t.bytes());
  const std::vector<TiffStrip> strips = stripsAt(view, dir);
  ASSERT_EQ(strips.size(), 2u);
  EXPECT_EQ(strips[0].offset, a);
  EXPECT_EQ(strips[0].size, 2u);
  EXPECT_EQ(strips[1].offset, b);
  EXPECT_EQ(strips[1].size, 1u);
}

INSTANTIATE_TEST_SUITE_P(Orders, ByteOrderTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

struct HeaderCase {
  const char* name;
  std::vector<uint8_t> bytes;
  int result;
};

class HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, AcceptsOnlyKnownMarksWithMagic42) {
  TiffView view(GetParam().bytes);
  TiffHeader header;
  EXPECT_EQ(view.readHeader(header), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, HeaderTest,
    ::testing::Values(HeaderCase{"II", {'I', 'I', 42, 0, 8, 0, 0, 0}, 0},
                      HeaderCase{"MM", {'M', 'M', 0, 42, 0, 0, 0, 8}, 0},
                      HeaderCase{"FF", {'F', 'F', 42, 0, 8, 0, 0, 0}, 0},
                      HeaderCase{"FFBigMagic", {'F', 'F', 0, 42, 0, 0, 0, 8}, -4},
                      HeaderCase{"MMLittleMagic", {'M', 'M', 42, 0, 8, 0, 0, 0}, -4},
                      HeaderCase{"OtherMark", {'I', 'M', 42, 0, 8, 0, 0, 0}, -4},
                      HeaderCase{"BigTiff", {'I', 'I', 43, 0, 8, 0, 0, 0}, -4},
                      HeaderCase{"Empty", {}, -3},
                      HeaderCase{"SevenBytes", {'I', 'I', 42, 0, 8, 0, 0}, -3}),
    [](const auto& info) { return std::string(info.param.name); });

TiffBytes chain(int directories) {
  TiffBytes t(false);
  uint32_t previous = 0;
  for (int i = 0; i < directories; ++i) {
    uint32_t dir = t.directory({{256, 3, 1, 8}});
    t.link(previous, dir);
    previous = dir;
  }
  return t;
}

TEST(TiffChainTest, LoopingChainEndsAtTheRepeatedDirectory) {
  TiffBytes t = chain(3);
  TiffView view(t.bytes());
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  auto all = view.walkChain(header.firstDirectory);
  ASSERT_EQ(all.size(), 3u);
  t.link(all[2], all[0]);  // last points back at the first
  EXPECT_EQ(TiffView(t.bytes()).walkChain(header.firstDirectory).size(), 3u);
  t.link(all[2], all[2]);  // last points at itself
  EXPECT_EQ(TiffView(t.bytes()).walkChain(header.firstDirectory).size(), 3u);
}

TEST(TiffChainTest, MoreThan1024DirectoriesAreCutAt1024) {
  TiffBytes t = chain(1030);
  TiffView view(t.bytes());
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  EXPECT_EQ(view.walkChain(header.firstDirectory).size(), 1024u);
}

TEST(TiffChainTest, UnreadableDirectoryIsRecordedAndEndsTheWalk) {
  TiffBytes t = chain(2);
  TiffView good(t.bytes());
  TiffHeader header;
  ASSERT_EQ(good.readHeader(header), 0);
  auto dirs = good.walkChain(header.firstDirectory);
  t.link(dirs[1], 0xFFFFFFF0u);
  TiffView view(t.bytes());
  ASSERT_EQ(view.readHeader(header), 0);
  EXPECT_EQ(view.walkChain(header.firstDirectory).size(), 3u);
  std::vector<TiffEntry> entries;
  uint32_t next = 0;
  EXPECT_EQ(view.readDirectory(0, entries, next), -1);
  EXPECT_EQ(view.readDirectory(0xFFFFFFF0u, entries, next), -2);
  // An entry count that runs past the end of the file.
  t.bytes()[dirs[1]] = 0xFF;
  TiffView cut(t.bytes());
  ASSERT_EQ(cut.readHeader(header), 0);
  EXPECT_EQ(cut.readDirectory(dirs[1], entries, next), -4);
  // Entries complete but the next-directory link missing.
  std::vector<uint8_t> shortFile(t.bytes().begin(), t.bytes().begin() + dirs[0] + 2 + 12);
  TiffView noLink(shortFile);
  ASSERT_EQ(noLink.readHeader(header), 0);
  EXPECT_EQ(noLink.readDirectory(dirs[0], entries, next), -5);
}

TEST(TiffStripTest, StripsOutsideTheFileAreCutOrDropped) {
  TiffBytes t(false);
  uint32_t data = t.append(std::vector<uint8_t>(100, 0x55));
  uint32_t offsets = t.append32s({data, data + 90, 0xFFFFFF00u, data});
  uint32_t counts = t.append32s({50, 50, 10, 0xFFFFFFFFu});
  uint32_t dir = t.directory({{273, 4, 4, offsets}, {279, 4, 4, counts}});
  t.link(0, dir);
  TiffView view(t.bytes());
  const std::vector<TiffStrip> strips = stripsAt(view, dir);
  ASSERT_EQ(strips.size(), 4u);
  EXPECT_EQ(strips[0].size, 50u);
  EXPECT_EQ(strips[1].size, 50u);  // inside the file, it reaches into the tables behind the data
  EXPECT_EQ(strips[2].size, 0u);
  std::size_t total = 0;
  for (const auto& s : strips) {
    total += s.size;
    EXPECT_LE(std::size_t{s.offset} + s.size, t.size());
  }
  EXPECT_LE(total, t.size());
}

TEST(TiffStripTest, HugeStripCountsAndOverlapsStayBoundedByTheFile) {
  TiffBytes t(false);
  uint32_t data = t.append(std::vector<uint8_t>(1000, 1));
  // 10,000 strips all covering the same 1000 bytes: the total stays within the file.
  std::vector<uint32_t> offsets(10000, data), counts(10000, 1000);
  uint32_t o = t.append32s(offsets);
  uint32_t c = t.append32s(counts);
  uint32_t dir = t.directory({{273, 4, 10000, o}, {279, 4, 10000, c}});
  // A strip table of four billion entries whose array is not in the file.
  uint32_t dir2 = t.directory({{273, 4, 0xFFFFFFFFu, 8}, {279, 4, 0xFFFFFFFFu, 8}});
  TiffView view(t.bytes());
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  std::vector<TiffEntry> entries;
  uint32_t next = 0;
  ASSERT_GT(view.readDirectory(dir, entries, next), 0);
  std::size_t total = 0;
  for (const auto& s : view.strips(view.parseDirectory(entries))) total += s.size;
  EXPECT_LE(total, t.size());
  ASSERT_GT(view.readDirectory(dir2, entries, next), 0);
  EXPECT_LE(view.strips(view.parseDirectory(entries)).size(), t.size() / 4);
}

TEST(TiffStripTest, RowsPerStripSplitsUncodedPages) {
  TiffPageInfo info;
  info.length = 100;
  info.rowsPerStrip = 30;
  EXPECT_EQ(info.rowsInStrip(0), 30u);
  EXPECT_EQ(info.rowsInStrip(3), 10u);
  EXPECT_EQ(info.rowsInStrip(4), 0u);
  info.rowsPerStrip = 0;
  EXPECT_EQ(info.rowsInStrip(0), 100u);
  EXPECT_EQ(info.rowsInStrip(1), 0u);
}

}  // namespace
}  // namespace tarnwell
