// The container reader base: page table, checked file access, the fixed order of operations,
// and the shared ways of writing pages (one TIFF, one TIFF per page; coded bytes or bitmaps).
#include "faxin/readers/FaxReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "faxreader_support.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;
using writertest::ChainPage;
using writertest::ChainReader;

class FaxReaderBase : public ::testing::Test {
 protected:
  test::TempTree dir_;
  std::string source_ = dir_.file("source.tch");
  std::string output_ = dir_.file("trwintif.tmp");

  // Writes the chain file and opens, checks and counts it.
  uint16_t openChain(ChainReader& reader, const std::vector<ChainPage>& pages) {
    test::writeBytes(source_, writertest::buildChain(pages));
    if (!reader.open(source_) || reader.checkHeader() != 0) return 0;
    return reader.countPages();
  }

  // A G4 page of libtiff's coding and the bitmap it holds.
  std::pair<Bytes, Bytes> g4Page(uint32_t width, uint32_t rows, uint32_t seed) {
    const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, width, rows, seed);
  Bytes bitmap = bitmapPage.bits;
    Bytes coded = test::encodeStrip(bitmapPage, COMPRESSION_CCITTFAX4);
    return {coded, bitmap};
  }
};

TEST_F(FaxReaderBase, PageTableHoldsAtMost1024Positions) {
  ChainReader reader;
  for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(reader.addPage(100 + i), 0);
  EXPECT_EQ(reader.addPage(5), -1);
  EXPECT_EQ(reader.pageCount(), 1024);
  EXPECT_EQ(reader.pagePosition(0), 100u);
  EXPECT_EQ(reader.pagePosition(1023), 1123u);
  EXPECT_EQ(reader.pagePosition(1024), 0u);
  EXPECT_EQ(reader.pagePosition(SIZE_MAX), 0u);
}

TEST_F(FaxReaderBase, AClosedReaderDoesNothing) {
  ChainReader reader;
  FaxPage page;
  page.width = 5;
  EXPECT_FALSE(reader.open(dir_.file("missing")));
  EXPECT_FALSE(reader.isOpen());
  EXPECT_EQ(reader.checkHeader(), -1);
  EXPECT_EQ(reader.countPages(), 0);
  EXPECT_EQ(reader.describePage(0, page), -1);
  EXPECT_EQ(page.width, 5);
  EXPECT_EQ(reader.writeAll(output_, 1), -1);
  EXPECT_EQ(reader.writeEachPage(output_, 1), -1);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(FaxReaderBase, RejectedHeaderAndNoPagesCloseTheFile) {
  ChainReader reader;
  test::writeBytes(source_, Bytes{'X', 'C', 'H', 'N', 0, 0, 0, 0});
  ASSERT_TRUE(reader.open(source_));
  EXPECT_EQ(reader.fileSize(), 8u);
  EXPECT_EQ(reader.checkHeader(), -3);
  EXPECT_FALSE(reader.isOpen());

  test::writeBytes(source_, Bytes{'T', 'C', 'H', 'N', 0, 0, 0, 0});  // no page header
  ASSERT_TRUE(reader.open(source_));
  EXPECT_EQ(reader.checkHeader(), 0);
  EXPECT_EQ(reader.countPages(), 0);
  EXPECT_FALSE(reader.isOpen());
}

TEST_F(FaxReaderBase, ReopeningStartsAFreshPageTable) {
  ChainReader reader;
  EXPECT_EQ(openChain(reader, {ChainPage{Bytes(3, 1)}, ChainPage{Bytes(4, 2)}}), 2);
  EXPECT_EQ(openChain(reader, {ChainPage{Bytes(3, 1)}}), 1);
  EXPECT_EQ(reader.countPages(), 1);  // counting again does not add to the table
}

TEST_F(FaxReaderBase, AChainOf1030PagesGives1024) {
  std::vector<ChainPage> pages(1030, ChainPage{Bytes(2, 0)});
  ChainReader reader;
  EXPECT_EQ(openChain(reader, pages), 1024);
}

TEST_F(FaxReaderBase, ReadsNeverLeaveTheFile) {
  ChainReader reader;
  test::writeBytes(source_, Bytes{1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(reader.open(source_));
  Bytes four(4, 0xEE);
  EXPECT_TRUE(reader.readAt(2, four));
  EXPECT_EQ(four, (Bytes{3, 4, 5, 6}));
  EXPECT_FALSE(reader.readAt(3, four));
  EXPECT_FALSE(reader.readAt(UINT64_MAX - 1, four));  // no wrap-around
  std::fill(four.begin(), four.end(), 0xEE);
  EXPECT_EQ(reader.readSome(4, four), 2u);
  EXPECT_EQ(four, (Bytes{5, 6, 0xEE, 0xEE}));
  EXPECT_EQ(reader.readSome(6, four), 0u);
  EXPECT_EQ(reader.readSome(UINT64_MAX, four), 0u);

  EXPECT_EQ(reader.loadPageData(2, UINT64_MAX), 0);  // cut at the end of the file
  EXPECT_EQ(Bytes(reader.pageData().begin(), reader.pageData().end()), (Bytes{3, 4, 5, 6}));
  EXPECT_EQ(reader.loadPageData(7, 1), -1);
  EXPECT_TRUE(reader.pageData().empty());  // a failed load never leaves the old page behind
  EXPECT_EQ(reader.loadPageData(6, 10), 0);
  EXPECT_TRUE(reader.pageData().empty());

  Bytes whole;
  EXPECT_TRUE(reader.readWholeFile(whole));
  EXPECT_EQ(whole.size(), 6u);
}

struct NameCase {
  const char* path;
  int number;
  const char* expected;
};

class FaxReaderPageFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(FaxReaderPageFileName, ReplacesTheExtensionOfTheLastComponent) {
  EXPECT_EQ(FaxReader::pageFileName(GetParam().path, GetParam().number), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FaxReaderPageFileName,
    ::testing::Values(NameCase{"/tmp/x/trwintif.tmp", 1001, "/tmp/x/trwintif1001.tif"},
                      NameCase{"/tmp/x/trwintif.tmp", 1002, "/tmp/x/trwintif1002.tif"},
                      NameCase{"/tmp/x/out", 1001, "/tmp/x/out1001.tif"},
                      NameCase{"out", 1003, "out1003.tif"},
                      NameCase{"a.b.c", 1001, "a.b1001.tif"},
                      // A "." in a directory name is no extension: the files stay in x.d.
                      NameCase{"/tmp/x.d/out", 1001, "/tmp/x.d/out1001.tif"}),
    [](const auto& info) { return test::nameFrom(std::string(info.param.path) + "_" + std::to_string(info.param.number)); });

// Pass-through pages: the page's own coded bytes reach the TIFF unchanged and libtiff decodes
// them to the page's bitmap.
TEST_F(FaxReaderBase, WriteAllCopiesCodedPagesUnchanged) {
  const auto [coded1, bitmap1] = g4Page(1728, 40, 1);
  const auto [coded2, bitmap2] = g4Page(2048, 25, 2);
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{coded1, 1728, 40, 7}, ChainPage{coded2, 2048, 25, 7}}), 2);
  ASSERT_EQ(reader.writeAll(output_, 2), 0);

  const auto pages = test::readTiffPages(output_);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(pages[0].rawStrips.at(0), coded1);
  EXPECT_EQ(pages[0].decoded, bitmap1);
  EXPECT_EQ(pages[1].width, 2048u);
  EXPECT_EQ(pages[1].decoded, bitmap2);
  EXPECT_EQ(pages[1].pageIndex, 1);
  EXPECT_EQ(pages[1].pageCount, 2);
  EXPECT_FLOAT_EQ(pages[1].yResolution, 100.0f);
}

TEST_F(FaxReaderBase, WriteEachPageNumbersFilesFrom1001) {
  std::vector<ChainPage> chain;
  std::vector<Bytes> bitmaps;
  for (uint32_t i = 0; i < 3; ++i) {
    auto [coded, bitmap] = g4Page(1728, 10 + i, i);
    chain.push_back(ChainPage{coded, 1728, static_cast<uint16_t>(10 + i), 7});
    bitmaps.push_back(bitmap);
  }
  ChainReader reader;
  ASSERT_EQ(openChain(reader, chain), 3);
  ASSERT_EQ(reader.writeEachPage(output_, 3), 0);
  EXPECT_FALSE(std::filesystem::exists(output_));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("trwintif1004.tif")));
  for (int i = 0; i < 3; ++i) {
    const auto pages =
        test::readTiffPages(dir_.file("trwintif" + std::to_string(1001 + i) + ".tif"));
    ASSERT_EQ(pages.size(), 1u) << i;
    EXPECT_EQ(pages[0].pageIndex, i);  // page 3 of 3 stays index 2 of 3 in its own file
    EXPECT_EQ(pages[0].pageCount, 3);
    EXPECT_EQ(pages[0].decoded, bitmaps[static_cast<std::size_t>(i)]);
  }
  // Nothing at all for a count of 0.
  ASSERT_EQ(reader.writeEachPage(dir_.file("none.tmp"), 0), -4);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("none1001.tif")));
}

// Bitmap pages: Group 4, the very bytes libtiff codes from the same rows (the copy passes such a
// strip through), PhotometricInterpretation 1, FillOrder 1, the width rounded up to whole bytes;
// text, noise and a blank page alike.
TEST_F(FaxReaderBase, BitmapPagesAreGroup4AsLibtiffCodesThem) {
  const uint16_t width = 1700, rows = 30;  // 213 bytes per row: written 1704 wide
  const test::Bitmap textPage = test::makePage(test::Pattern::kRuns63And64, width, rows, 9);
  const Bytes text = textPage.bits;
  Bytes noise(213u * rows);
  std::mt19937 gen(1);
  for (auto& b : noise) b = static_cast<uint8_t>(gen());
  const Bytes blank(213u * rows, 0xFF);
  const Bytes* sources[] = {&text, &noise, &blank};
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{text, width, rows, 0, 1, 1},
                               ChainPage{noise, width, rows, 0, 1, 1},
                               ChainPage{blank, width, rows, 0, 1, 1}}),
            3);
  ASSERT_EQ(reader.writeAll(output_, 3), 0);
  const auto pages = test::readTiffPages(output_);
  ASSERT_EQ(pages.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("page " + std::to_string(i));
    EXPECT_EQ(pages[i].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(pages[i].rawStrips.at(0),
              test::encodeStrip(test::Bitmap(1704, rows, *sources[i]), test::Codec::kG4));
    EXPECT_EQ(pages[i].photometric, 1);
    EXPECT_EQ(pages[i].fillOrder, 1);
    EXPECT_EQ(pages[i].width, 1704u);
    EXPECT_EQ(pages[i].length, rows);
    EXPECT_EQ(pages[i].decoded, *sources[i]);
  }
}

// A bitmap holding fewer rows than the page claims is written with the rows it has.
TEST_F(FaxReaderBase, BitmapShorterThanItsRowsIsCut) {
  const Bytes bitmap(216u * 4 + 100, 0);  // four whole rows and a partial one
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{bitmap, 1728, 3000, 0, 1, 1}}), 1);
  ASSERT_EQ(reader.writeAll(output_, 1), 0);
  const auto pages = test::readTiffPages(output_);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].length, 4u);
  EXPECT_EQ(pages[0].decoded, Bytes(216u * 4, 0));
}

// A page whose declared size runs past the end of the file is cut at the end of the file.
TEST_F(FaxReaderBase, PageDataPastTheEndIsCut) {
  const auto [coded, bitmap] = g4Page(1728, 12, 4);
  ChainPage page{coded, 1728, 12, 7};
  page.declaredSize = 0x7FFFFFFF;
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {page}), 1);
  FaxPage described;
  ASSERT_EQ(reader.describePage(0, described), 0);
  EXPECT_EQ(described.codedSize, coded.size());
  ASSERT_EQ(reader.writeAll(output_, 1), 0);
  const auto pages = test::readTiffPages(output_);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rawStrips.at(0), coded);
}

TEST_F(FaxReaderBase, SkippedAndUnknownPagesAreLeftOut) {
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{Bytes(216, 0), 1728, 1, 1}, ChainPage{Bytes(5, 0), 8, 1, 2},
                               ChainPage{Bytes(216, 0xFF), 1728, 1, 1}}),
            3);
  // Count 5: indices 3 and 4 have no page and are skipped like the page of coding 2.
  ASSERT_EQ(reader.writeAll(output_, 5), 0);
  const auto pages = test::readTiffPages(output_);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].pageIndex, 0);
  EXPECT_EQ(pages[1].pageIndex, 2);
  EXPECT_EQ(pages[1].pageCount, 5);
  EXPECT_EQ(pages[1].decoded, Bytes(216, 0xFF));
}

TEST_F(FaxReaderBase, NoPageWrittenIsReported) {
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{Bytes(5, 0), 8, 1, 2}}), 1);  // coding 2: left out
  EXPECT_EQ(reader.writeAll(output_, 1), -4);
  EXPECT_EQ(reader.writeAll(output_, 0), -4);
  EXPECT_EQ(reader.writeEachPage(output_, 1), -4);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("trwintif1001.tif")));
}

TEST_F(FaxReaderBase, AReaderCanStopTheCopy) {
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{Bytes(216, 0), 1728, 1, 1}, ChainPage{{}, 8, 1, 1, 1, 2},
                               ChainPage{Bytes(216, 0), 1728, 1, 1}}),
            3);
  EXPECT_EQ(reader.writeAll(output_, 3), ChainReader::kStopCode);
  EXPECT_EQ(test::readTiffPages(output_).size(), 1u);  // pages before it stay
}

TEST_F(FaxReaderBase, UnwritableOutputIsReported) {
  ChainReader reader;
  ASSERT_EQ(openChain(reader, {ChainPage{Bytes(216, 0), 1728, 1, 1}}), 1);
  EXPECT_EQ(reader.writeAll(dir_.file("missing/out.tmp"), 1), -2);
  EXPECT_EQ(reader.writeEachPage(dir_.file("missing/out.tmp"), 1), -2);
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(reader.writeAll("/dev/full", 1), -2);
  }
}

// Every truncation of a valid file opens, counts and writes without failing unsafely, and never
// yields more pages than the whole file.
TEST_F(FaxReaderBase, TruncatedFilesAreHandled) {
  const auto [coded, bitmap] = g4Page(1728, 8, 5);
  const Bytes whole = writertest::buildChain(
      {ChainPage{coded, 1728, 8, 7}, ChainPage{Bytes(216 * 2, 0x0F), 1728, 2, 0, 1, 1},
       ChainPage{coded, 1728, 8, 7}});
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    test::writeBytes(source_, Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
    ChainReader reader;
    ASSERT_TRUE(reader.open(source_));
    if (reader.checkHeader() != 0) continue;
    const uint16_t count = reader.countPages();
    ASSERT_LE(count, 3);
    if (count == 0) continue;
    ASSERT_EQ(reader.writeAll(output_, count), 0) << size;
    EXPECT_LE(test::readTiffPages(output_).size(), count);
  }
}

}  // namespace
}  // namespace tarnwell
