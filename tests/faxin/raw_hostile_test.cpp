// The raw reader's page steps on damaged or hostile working files: every access stays inside its
// buffer, no page goes past 1024, nothing uninitialised reaches the intermediate TIFF.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "faxin/FaxPage.h"
#include "faxin/raw/RawFaxFiles.h"
#include "faxin/raw/RawFaxReader.h"
#include "raw_test_support.h"

namespace tarnwell {
namespace {

using rawtest::Coding;

// A reader that has analysed a valid 200-row stream; the tests then damage its working files.
class RawHostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    settings_.workFilePath = rawtest::tempPath("hostile_" + name + ".work");
    settings_.segmentFilePath = rawtest::tempPath("hostile_" + name + ".seg");
    output_ = rawtest::tempPath("hostile_" + name + ".tif");
    page_ = rawtest::makePage(1728, 200, 77);
    stream_ = rawtest::encodeStrip(page_, Coding::kG3OneD, 1);
    const std::string source = rawtest::tempPath("hostile_" + name + ".raw");
    test::writeBytes(source, stream_);
    ASSERT_EQ(reader_.open(source), 0);
    reader_.configure(settings_);
    ASSERT_GE(reader_.analyse(0, 1), 0);
    ASSERT_EQ(reader_.readWorkHeader(header_), 0);
    reader_.setPageLength(header_.pageSize, header_.yResolution);
  }

  void writeIndex(uint32_t claimed, const std::vector<RawSegment>& segments) {
    RawIndexHeader h;
    h.segmentCount = claimed;
    h.width = 1728;
    h.bitOrder = 1;
    h.coding = 5;
    h.paperClass = 1;
    std::vector<uint8_t> bytes = encodeIndexHeader(h);
    for (const RawSegment& s : segments) {
      const auto r = encodeSegment(s);
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    test::writeBytes(settings_.segmentFilePath, bytes);
  }

  EngineSettings settings_;
  std::string output_;
  rawtest::Bitmap page_;
  std::vector<uint8_t> stream_;
  RawFaxReader reader_;
  FaxPage header_;
};

TEST_F(RawHostileTest, SegmentsPastTheSourceAddNoBytesAndNoRows) {
  const uint32_t size = static_cast<uint32_t>(stream_.size());
  // Page 1: a segment running past the source, then the real one; page 2: far outside.
  const RawSegment real{0, size - 1, 200, 0, 0};
  writeIndex(3, {RawSegment{size - 2, size + 40, 500, 0, 0}, real,
                 RawSegment{0xFFFFFFF0, 0xFFFFFFFF, 1144, 3, 7}});
  EXPECT_EQ(reader_.writeAll(output_, header_), 0);
  const auto pages = test::readTiffPages(output_);
  // The page without data is left out rather than written as an empty directory.
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].bitmap, page_);
}

TEST_F(RawHostileTest, MissingOrEmptyIndexWritesNothing) {
  writeIndex(0, {});
  EXPECT_EQ(reader_.writeAll(output_, header_), -2);
  test::writeBytes(settings_.segmentFilePath, {1, 2, 3});
  EXPECT_EQ(reader_.writeAll(output_, header_), -1);
}

TEST_F(RawHostileTest, NoMoreThan1024PagesAreWritten) {
  // 1100 segments of a page length each: one page per segment.
  std::vector<RawSegment> segments(1100, RawSegment{0, static_cast<uint32_t>(stream_.size() - 1), 1144, 0, 0});
  writeIndex(1100, segments);
  EXPECT_EQ(reader_.writeAll(output_, header_), 0);
  EXPECT_EQ(test::countDirectories(output_), 1024);
  RawSegmentIndex index;
  ASSERT_EQ(loadSegmentIndex(settings_.segmentFilePath, index), 0);
  EXPECT_EQ(index.header.pageTable[1023], 1u);

  // The page count from the rows is capped the same way.
  FaxPage big = header_;
  big.rows = 1144 * 2000;
  std::vector<uint8_t> work = test::readBytes(settings_.workFilePath);
  const auto head = encodeWorkHeader(big);
  std::copy(head.begin(), head.end(), work.begin());
  test::writeBytes(settings_.workFilePath, work);
  RawFaxReader fresh;
  fresh.configure(settings_);
  fresh.setPageLength(1, 100);
  EXPECT_EQ(fresh.countPages(), 1024);
}

TEST_F(RawHostileTest, TruncatedWorkFileGivesWhiteRows) {
  std::vector<uint8_t> work = test::readBytes(settings_.workFilePath);
  work.resize(kRawWorkHeaderSize + 216 * 10 + 100);  // ten rows and part of one
  test::writeBytes(settings_.workFilePath, work);
  FaxPage page;
  ASSERT_EQ(reader_.describePage(0, page), 0);
  EXPECT_EQ(page.rows, 200);  // as the header says
  ASSERT_EQ(page.bitmap.size(), 1144u * 216u);
  for (std::size_t i = 216 * 10 + 100; i < page.bitmap.size(); ++i) ASSERT_EQ(page.bitmap[i], 0xFF) << i;
  // A page index beyond the rows: no rows, an all-white bitmap.
  ASSERT_EQ(reader_.describePage(5, page), 0);
  EXPECT_EQ(page.rows, 0);
}

TEST_F(RawHostileTest, UnreadableOrInconsistentWorkFile) {
  FaxPage page;
  test::writeBytes(settings_.workFilePath, {});
  EXPECT_EQ(reader_.describePage(0, page), -11);
  FaxPage bad = header_;
  bad.bytesPerRow = 1;  // does not match the width
  const auto head = encodeWorkHeader(bad);
  test::writeBytes(settings_.workFilePath, std::vector<uint8_t>(head.begin(), head.end()));
  EXPECT_EQ(reader_.describePage(0, page), -11);
  std::remove(settings_.workFilePath.c_str());
  EXPECT_EQ(reader_.describePage(0, page), -13);
  RawFaxReader fresh;
  fresh.configure(settings_);
  fresh.setPageLength(1, 100);
  EXPECT_EQ(fresh.countPages(), -13);
}

TEST(RawRobustness, TruncatedStreamsNeverFailUncleanly) {
  const rawtest::Bitmap page = rawtest::makePage(1728, 120, 88);
  for (Coding coding : {Coding::kG3OneD, Coding::kG3TwoD, Coding::kG4}) {
    const std::vector<uint8_t> full = rawtest::encodeStrip(page, coding, 2);
    for (std::size_t cut = 0; cut < full.size(); cut += 97) {
      EngineSettings s;
      s.workFilePath = rawtest::tempPath("trunc.work");
      s.segmentFilePath = rawtest::tempPath("trunc.seg");
      s.threshold = 20;
      s.rawFax = coding == Coding::kG4 ? 1 : 0;
      const std::string source = rawtest::tempPath("trunc.raw");
      test::writeBytes(source, std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
      RawFaxReader reader;
      ASSERT_EQ(reader.open(source), 0);
      reader.configure(s);
      if (reader.analyse(0, 1) < 0) continue;
      FaxPage header;
      ASSERT_EQ(reader.readWorkHeader(header), 0);
      reader.setPageLength(header.pageSize, header.yResolution);
      ASSERT_EQ(reader.describePage(0, header), 0);
      const std::string out = rawtest::tempPath("trunc.tif");
      EXPECT_EQ(reader.writeAll(out, header), 0);
      // Whatever was kept is a prefix of the page.
      const auto pages = test::readTiffPages(out);
      ASSERT_EQ(pages.size(), 1u);
      EXPECT_EQ(pages[0].bitmap, page.rowsOf(0, pages[0].bitmap.rows)) << "cut " << cut;
    }
  }
}

}  // namespace
}  // namespace tarnwell
