// DS reader through the engine: DS files built around TIFF files written by libtiff, unpacked
// into the scratch TIFF and copied into the intermediate TIFF; damaged records and sizes.

#include <gtest/gtest.h>

#include <cstdio>

#include "faxin/FaxConverter.h"
#include "faxin/readers/DsReader.h"
#include "support/Ig4DsFiles.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

class DsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // TIFF A: two Group 4 pages; TIFF B: one T.4 two-dimensional page.
    pages_ = {makePage(Pattern::kText, 1728, 80, 1), makePage(Pattern::kWords, 1728, 60, 2),
              makePage(Pattern::kShortText, 1728, 70, 3)};
    ASSERT_TRUE(writeFaxTiff(dir_.file("a.tif"), {pages_[0], pages_[1]}));
    FaxTiffOptions g3;
    g3.compression = COMPRESSION_CCITTFAX3;
    g3.t4Options = GROUP3OPT_2DENCODING;
    ASSERT_TRUE(writeFaxTiff(dir_.file("b.tif"), {pages_[2]}, g3));
    tiffA_ = readBytes(dir_.file("a.tif"));
    tiffB_ = readBytes(dir_.file("b.tif"));
    setup_.files.workFilePath = dir_.file("trwtmp.tmp");
    setup_.files.segmentFilePath = dir_.file("trwseg.tmp");
    setup_.files.scratchTiffPath = dir_.file("trwtif.tmp");
  }

  // Runs the engine on the DS file; the pages of the intermediate TIFF (empty when the engine
  // found no page or failed).
  std::vector<TiffPage> convert(const std::vector<uint8_t>& bytes, bool* hadPages = nullptr) {
    EXPECT_TRUE(writeBytes(source_, bytes));
    FaxConverter engine(setup_);
    (void)engine.open(source_, FaxFormat::kDs);
    if (hadPages) *hadPages = engine.hasPages();
    std::vector<TiffPage> out;
    std::remove(output_.c_str());
    if (engine.hasPages() && engine.convert(output_) == FaxResult::kOk) {
      EXPECT_TRUE(readTiffPages(output_, out));
    }
    // Only the scratch TIFF stays; the page file cut out on the way is gone.
    EXPECT_FALSE(fileExists(setup_.files.scratchTiffPath + ".tiff"));
    return out;
  }

  TempTree dir_;
  EngineSetup setup_;
  std::vector<uint8_t> tiffA_, tiffB_;
  std::string source_ = dir_.file("fax.ds");
  std::string output_ = dir_.file("out.tif");
  std::vector<Bitmap> pages_;
};

struct DsLayoutCase {
  const char* name;
  uint32_t prefix;
  bool junkBetween;  // a record that is not a TIFF between the two page records
};

class DsLayoutTest : public DsTest, public ::testing::WithParamInterface<DsLayoutCase> {};

TEST_P(DsLayoutTest, PagesOfEveryRecordArriveInRecordOrder) {
  const DsLayoutCase& c = GetParam();
  std::vector<DsRecord> records = {dsPage("PAGE1", tiffA_, c.prefix)};
  if (c.junkBetween) {
    records.push_back(DsRecord{"NOTE", std::vector<uint8_t>(300, 0x41), c.prefix});
  }
  records.push_back(dsPage("PAGE2", tiffB_, c.prefix));
  const std::vector<TiffPage> out = convert(buildDs("FAXDOC", records));
  ASSERT_EQ(out.size(), 3u);
  const uint16_t compressions[] = {COMPRESSION_CCITTFAX4, COMPRESSION_CCITTFAX4,
                                   COMPRESSION_CCITTFAX3};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(out[i].bitmap, pages_[i]);
    EXPECT_EQ(out[i].compression, compressions[i]);
    EXPECT_EQ(out[i].pageIndex, i);
    EXPECT_EQ(out[i].pageCount, 3);
  }
  EXPECT_EQ(out[2].t4Options & GROUP3OPT_2DENCODING, GROUP3OPT_2DENCODING);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DsLayoutTest,
                         ::testing::Values(DsLayoutCase{"NoPrefix", 0, false},
                                           DsLayoutCase{"Prefix20", 20, false},
                                           DsLayoutCase{"NoPrefixJunkBetween", 0, true},
                                           DsLayoutCase{"Prefix20JunkBetween", 20, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DsTest, DamagedRecordsGiveThePagesThatRemain) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::size_t pages;  // pages from the start of pages_
  };
  DsRecord a = dsPage("PAGE1", tiffA_, 20);
  DsRecord b = dsPage("PAGE2", tiffB_, 0);
  std::vector<Case> cases;
  // A prefix larger than the content: the record is skipped, never read with a negative size.
  DsRecord inverted{"BAD", std::vector<uint8_t>(40, 0), 1000};
  cases.push_back({"PrefixLargerThanContent", buildDs("DOC", {a, inverted, b}), 3});
  // The last record claims more than the file holds: its content is cut at the end of the file.
  DsRecord longB = b;
  longB.contentSize = 0xFFFFFF00u;
  cases.push_back({"ContentPastEndCut", buildDs("DOC", {a, longB}, false), 3});
  // A record in the middle claims a huge size: the list ends there.
  DsRecord hugeMiddle{"HUGE", std::vector<uint8_t>(10, 0), 0, 0xFFFFFFF0u};
  cases.push_back({"HugeRecordEndsList", buildDs("DOC", {a, hugeMiddle, b}), 2});
  // The document name never comes back: the list ends with the last readable record header.
  cases.push_back({"NoClosingRecord", buildDs("DOC", {a, b}, false), 3});
  // Records after the closing record are no pages.
  std::vector<uint8_t> afterClose = buildDs("DOC", {a});
  std::vector<uint8_t> tail = buildDs("X", {b}, false);
  afterClose.insert(afterClose.end(), tail.begin() + 280, tail.end());
  cases.push_back({"RecordAfterClosing", afterClose, 2});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<TiffPage> out = convert(c.bytes);
    ASSERT_EQ(out.size(), c.pages);
    for (std::size_t i = 0; i < c.pages; ++i) EXPECT_EQ(out[i].bitmap, pages_[i]);
  }
}

TEST_F(DsTest, NoPageLeavesNoFaxAndNeverAnEarlierScratchTiff) {
  // A scratch TIFF left by an earlier file must not be taken for this file's pages.
  ASSERT_TRUE(writeFaxTiff(setup_.files.scratchTiffPath, {pages_[0]}));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"OnlyJunkRecord", buildDs("DOC", {DsRecord{"NOTE", std::vector<uint8_t>(500, 0x49)}})},
      {"OnlyClosingRecord", buildDs("DOC", {})},
      {"HeaderOnly", buildDs("DOC", {}, false)},
      {"NoMark", std::vector<uint8_t>(400, 0xFD)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool hadPages = true;
    EXPECT_TRUE(convert(c.bytes, &hadPages).empty());
    EXPECT_FALSE(hadPages);
  }
}

TEST_F(DsTest, RejectedHeaderGivesNoScratchTiff) {
  ASSERT_TRUE(writeBytes(source_, std::vector<uint8_t>(300, 0)));
  ASSERT_TRUE(writeBytes(setup_.files.scratchTiffPath, {1, 2, 3}));  // left by an earlier file
  DsReader reader(setup_);
  EXPECT_EQ(reader.makeScratchTiff(source_), FaxReader::ScratchResult::kNone);
  EXPECT_FALSE(reader.isOpen());
  EXPECT_EQ(reader.makeScratchTiff(dir_.file("absent.ds")), FaxReader::ScratchResult::kCannotOpen);
}

TEST_F(DsTest, TruncatedFilesNeverCrash) {
  const std::vector<uint8_t> good =
      buildDs("DOC", {dsPage("PAGE1", tiffA_, 20), dsPage("PAGE2", tiffB_, 0)});
  for (std::size_t cut = 0; cut < good.size(); cut += 97) {
    SCOPED_TRACE(cut);
    const std::vector<TiffPage> out =
        convert(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut)));
    EXPECT_LE(out.size(), 3u);
  }
}

}  // namespace
}  // namespace tarnwell
