// The raw reader's page steps on damaged or hostile working files: every access stays inside its
// buffer, no page goes past 1024, nothing uninitialised reaches the intermediate TIFF.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "faxin/EngineSettings.h"
#include "codec/FaxPage.h"
#include "codec/FaxBitReader.h"
#include "codec/FaxDecoder.h"
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
    setup_.files.workFilePath = rawtest::tempPath("hostile_" + name + ".work");
    setup_.files.segmentFilePath = rawtest::tempPath("hostile_" + name + ".seg");
    output_ = rawtest::tempPath("hostile_" + name + ".tif");
    page_ = rawtest::makePage(1728, 200, 77);
    stream_ = rawtest::encodeStrip(page_, Coding::kG3OneD, 1);
    const std::string source = rawtest::tempPath("hostile_" + name + ".raw");
    test::writeBytes(source, stream_);
    reader_.emplace(setup_);
    ASSERT_TRUE(reader_->open(source));
    ASSERT_GE(reader_->analyse(0, 1), 0);
    ASSERT_EQ(reader_->readWorkHeader(header_), 0);
    reader_->setPageLength(header_.pageSize, header_.yResolution);
  }

  void writeIndex(uint32_t claimed, const std::vector<RawSegment>& segments, uint8_t coding = 5) {
    RawIndexHeader h;
    h.segmentCount = claimed;
    h.width = 1728;
    h.bitOrder = 1;
    h.coding = coding;
    h.paperClass = 1;
    std::vector<uint8_t> bytes = encodeIndexHeader(h);
    for (const RawSegment& s : segments) {
      const auto r = encodeSegment(s);
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    test::writeBytes(setup_.files.segmentFilePath, bytes);
  }

  EngineSetup setup_;
  std::string output_;
  rawtest::Bitmap page_;
  std::vector<uint8_t> stream_;
  std::optional<RawFaxReader> reader_;  // made once the setup is known
  FaxPage header_;
};

TEST_F(RawHostileTest, SegmentsPastTheSourceAddNoBytesAndNoRows) {
  const uint32_t size = static_cast<uint32_t>(stream_.size());
  // Page 1: a segment running past the source, then the real one; page 2: far outside.
  const RawSegment real{0, size - 1, 200, 0, 0};
  writeIndex(3, {RawSegment{size - 2, size + 40, 500, 0, 0}, real,
                 RawSegment{0xFFFFFFF0, 0xFFFFFFFF, 1144, 3, 7}});
  EXPECT_EQ(reader_->writeSlices(output_, header_), 0);
  const auto pages = test::readTiffPages(output_);
  // The page without data is left out rather than written as an empty directory.
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].bitmap, page_);
}

TEST_F(RawHostileTest, MissingOrEmptyIndexWritesNothing) {
  writeIndex(0, {});
  EXPECT_EQ(reader_->writeSlices(output_, header_), -2);
  test::writeBytes(setup_.files.segmentFilePath, {1, 2, 3});
  EXPECT_EQ(reader_->writeSlices(output_, header_), -1);
}

TEST_F(RawHostileTest, NoMoreThan1024PagesAreWritten) {
  // 1100 segments of a page length each, each of a byte of its own: one page per segment. They
  // are named Group 4, so that each page is written as its one byte and the pages stay far below
  // the bound on the working files' bytes.
  ASSERT_GT(stream_.size(), 1101u);
  std::vector<RawSegment> segments;
  for (uint32_t i = 0; i < 1100; ++i) segments.push_back(RawSegment{i, i + 1, 1144, 0, 0});
  writeIndex(1100, segments, 7);
  EXPECT_EQ(reader_->writeSlices(output_, header_), 0);
  EXPECT_EQ(test::countDirectories(output_), 1024);
  RawSegmentIndex index;
  ASSERT_EQ(loadSegmentIndex(setup_.files.segmentFilePath, index), 0);
  EXPECT_EQ(index.header.pageTable[1023], 1u);

  // The page count from the rows is capped the same way.
  FaxPage big = header_;
  big.rows = 1144 * 2000;
  std::vector<uint8_t> work = test::readBytes(setup_.files.workFilePath);
  const auto head = encodeWorkHeader(big);
  std::copy(head.begin(), head.end(), work.begin());
  test::writeBytes(setup_.files.workFilePath, work);
  RawFaxReader fresh(setup_);
  fresh.setPageLength(1, 100);
  EXPECT_EQ(fresh.countWorkPages(), 1024);
}

TEST_F(RawHostileTest, TruncatedWorkFileGivesWhiteRows) {
  std::vector<uint8_t> work = test::readBytes(setup_.files.workFilePath);
  work.resize(kRawWorkHeaderSize + 216 * 10 + 100);  // ten rows and part of one
  test::writeBytes(setup_.files.workFilePath, work);
  FaxPage page;
  ASSERT_EQ(reader_->describePage(0, page), 0);
  EXPECT_EQ(page.rows, 200);  // as the header says
  ASSERT_EQ(page.bitmap.size(), 1144u * 216u);
  for (std::size_t i = 216 * 10 + 100; i < page.bitmap.size(); ++i) ASSERT_EQ(page.bitmap[i], 0xFF) << i;
  // A page index beyond the rows: no rows, an all-white bitmap.
  ASSERT_EQ(reader_->describePage(5, page), 0);
  EXPECT_EQ(page.rows, 0);
}

TEST_F(RawHostileTest, UnreadableOrInconsistentWorkFile) {
  FaxPage page;
  test::writeBytes(setup_.files.workFilePath, {});
  EXPECT_EQ(reader_->describePage(0, page), -11);
  FaxPage bad = header_;
  bad.bytesPerRow = 1;  // does not match the width
  const auto head = encodeWorkHeader(bad);
  test::writeBytes(setup_.files.workFilePath, std::vector<uint8_t>(head.begin(), head.end()));
  EXPECT_EQ(reader_->describePage(0, page), -11);
  std::remove(setup_.files.workFilePath.c_str());
  EXPECT_EQ(reader_->describePage(0, page), -13);
  RawFaxReader fresh(setup_);
  fresh.setPageLength(1, 100);
  EXPECT_EQ(fresh.countWorkPages(), -13);
}

TEST(RawRobustness, TruncatedStreamsNeverFailUncleanly) {
  const rawtest::Bitmap page = rawtest::makePage(1728, 120, 88);
  for (Coding coding : {Coding::kG3OneD, Coding::kG3TwoD, Coding::kG4}) {
    const std::vector<uint8_t> full = rawtest::encodeStrip(page, coding, 2);
    for (std::size_t cut = 0; cut < full.size(); cut += 97) {
      EngineSetup s;
      s.files.workFilePath = rawtest::tempPath("trunc.work");
      s.files.segmentFilePath = rawtest::tempPath("trunc.seg");
      s.settings.threshold = 20;
      s.settings.rawFax = coding == Coding::kG4 ? 1 : 0;
      const std::string source = rawtest::tempPath("trunc.raw");
      test::writeBytes(source, std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
      RawFaxReader reader(s);
      ASSERT_TRUE(reader.open(source));
      if (reader.analyse(0, 1) < 0) continue;
      FaxPage header;
      ASSERT_EQ(reader.readWorkHeader(header), 0);
      reader.setPageLength(header.pageSize, header.yResolution);
      ASSERT_EQ(reader.describePage(0, header), 0);
      const std::string out = rawtest::tempPath("trunc.tif");
      EXPECT_EQ(reader.writeSlices(out, header), 0);
      // Whatever was kept is a prefix of the page.
      const auto pages = test::readTiffPages(out);
      ASSERT_EQ(pages.size(), 1u);
      EXPECT_EQ(pages[0].bitmap, page.rowsOf(0, pages[0].bitmap.rows)) << "cut " << cut;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The source read in chunks: a bit reader over a byte source sees the same bits, positions and
// rows as one over the bytes in memory, whatever its window; the raw reader gives the same
// working files and TIFF from the file read in chunks as from the bytes in memory.

// The bytes as a source that is not in memory, read in pieces of at most `piece` bytes.
class PieceSource final : public FaxByteSource {
 public:
  explicit PieceSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  std::size_t read(uint64_t at, std::span<uint8_t> into) override {
    ++reads;
    return MemoryByteSource(bytes_).read(at, into);
  }
  int reads = 0;

 private:
  std::span<const uint8_t> bytes_;
};

// Every row a decoding loop reports, with where it ended.
struct RowLog final : FaxRowSink {
  FaxSinkAction row(const FaxRowView& v) override {
    rows.push_back({static_cast<int64_t>(v.end), v.length, static_cast<int64_t>(v.bitPosition),
                    static_cast<int64_t>(v.codeEndBit), static_cast<int64_t>(v.changes.size())});
    return FaxSinkAction::kContinue;
  }
  void resynced(uint64_t position) override { rows.push_back({-1, 0, static_cast<int64_t>(position), 0, 0}); }
  std::vector<std::array<int64_t, 5>> rows;
};

TEST(RawChunkedSource, WindowedReaderMatchesTheBytesInMemory) {
  // Junk, a Group 3 page, a flag, a Group 4 page, a flag and junk again.
  std::vector<uint8_t> stream = rawtest::junk(333, 5);
  rawtest::append(stream, rawtest::encodeStrip(rawtest::makePage(1728, 120, 3), Coding::kG3OneD, 2));
  const std::size_t flag = stream.size();
  rawtest::append(stream, {0xFF, 0xFF, 0xFF, 0xFF});
  rawtest::append(stream, rawtest::encodeStrip(rawtest::makePage(1728, 120, 4), Coding::kG4, 2));
  rawtest::append(stream, {0xFF, 0xFF, 0xFF});
  rawtest::append(stream, rawtest::junk(200, 6));

  for (const std::size_t window : {std::size_t{8}, std::size_t{9}, std::size_t{1000}, std::size_t{1} << 18}) {
    SCOPED_TRACE(window);
    PieceSource source(stream);
    FaxBitReader memory(stream, 2);
    FaxBitReader chunked;
    chunked.init(source, 2, window);
    EXPECT_EQ(chunked.size(), stream.size());

    // Single bits and bytes at scattered positions, forwards and backwards.
    for (uint64_t bit : {uint64_t{0}, uint64_t{8 * 4000 + 3}, uint64_t{17}, uint64_t{8 * stream.size() - 5},
                         uint64_t{8 * flag - 1}, uint64_t{8 * stream.size()}}) {
      memory.seekBit(bit);
      chunked.seekBit(bit);
      EXPECT_EQ(chunked.current(), memory.current()) << bit;
      for (int i = 0; i < 20; ++i) ASSERT_EQ(chunked.readBits(1 + i % 8), memory.readBits(1 + i % 8)) << bit;
      EXPECT_EQ(chunked.unreadBits(9), memory.unreadBits(9));
      EXPECT_EQ(chunked.bitPosition(), memory.bitPosition());
    }
    // Every EOL and every marker, in turn.
    memory.seekBit(0);
    chunked.seekBit(0);
    for (;;) {
      const int found = memory.findEol(2);
      ASSERT_EQ(chunked.findEol(2), found);
      ASSERT_EQ(chunked.bitPosition(), memory.bitPosition());
      if (found != 0) break;
    }
    memory.seekBit(0);
    chunked.seekBit(0);
    for (;;) {
      const int found = memory.findMarker(3);
      ASSERT_EQ(chunked.findMarker(3), found);
      ASSERT_EQ(chunked.bitPosition(), memory.bitPosition());
      if (found != 0) break;
      memory.seekBit(memory.bitPosition() + 8);
      chunked.seekBit(chunked.bitPosition() + 8);
    }

    // Whole decoding passes: one-dimensional from the start, Group 4 from the flag.
    FaxLoopOptions options;
    options.findFirstEol = true;
    RowLog fromMemory;
    RowLog fromChunks;
    memory.seekBit(0);
    chunked.seekBit(0);
    EXPECT_EQ(runT4OneD(chunked, options, fromChunks), runT4OneD(memory, options, fromMemory));
    EXPECT_EQ(fromChunks.rows, fromMemory.rows);
    EXPECT_GT(fromMemory.rows.size(), 120u);
    fromMemory.rows.clear();
    fromChunks.rows.clear();
    memory.seekBit(8 * (flag + 4));
    chunked.seekBit(8 * (flag + 4));
    EXPECT_EQ(runT6(chunked, options, fromChunks), runT6(memory, options, fromMemory));
    EXPECT_EQ(fromChunks.rows, fromMemory.rows);
    EXPECT_GT(fromMemory.rows.size(), 120u);
    if (window < stream.size()) {
      EXPECT_GT(source.reads, 2);
    }
  }
}

// The file (read in windows of 256 KiB) against the same bytes handed over in memory: three
// pages of each coding make streams of several windows.
class RawChunkedFileTest : public ::testing::TestWithParam<Coding> {};

TEST_P(RawChunkedFileTest, FileReadInChunksGivesWhatTheBytesInMemoryGive) {
  const Coding coding = GetParam();
  const std::string name = "chunked" + std::to_string(static_cast<int>(coding));
  std::vector<uint8_t> stream;
  for (uint32_t p = 0; p < 3; ++p) {
    if (coding == Coding::kG4) rawtest::append(stream, {0xFF, 0xFF, 0xFF});
    rawtest::append(stream, rawtest::encodeStrip(rawtest::makePage(2432, 2600, 20 + p), coding, 2));
    if (coding != Coding::kG4) rawtest::append(stream, rawtest::rtc(coding == Coding::kG3TwoD, 2));
  }
  ASSERT_GT(stream.size(), 2 * FaxBitReader::kWindowBytes);
  const std::string source = rawtest::tempPath(name + ".raw");
  test::writeBytes(source, stream);

  std::vector<std::vector<uint8_t>> outputs[2];
  for (int inMemory = 0; inMemory < 2; ++inMemory) {
    EngineSetup s;
    s.files.workFilePath = rawtest::tempPath(name + std::to_string(inMemory) + ".work");
    s.files.segmentFilePath = rawtest::tempPath(name + std::to_string(inMemory) + ".seg");
    const std::string tiff = rawtest::tempPath(name + std::to_string(inMemory) + ".tif");
    RawFaxReader reader(s);
    if (inMemory == 1) {
      // The open file is empty: every byte comes from memory.
      const std::string empty = rawtest::tempPath(name + ".empty");
      test::writeBytes(empty, {});
      ASSERT_TRUE(reader.open(empty));
      reader.setSourceBytes(stream);
    } else {
      ASSERT_TRUE(reader.open(source));
    }
    ASSERT_GE(reader.analyse(0, 1), 0);
    FaxPage page;
    ASSERT_EQ(reader.readWorkHeader(page), 0);
    reader.setPageLength(page.pageSize, page.yResolution);
    ASSERT_EQ(reader.countWorkPages(), 3);
    ASSERT_EQ(reader.describePage(2, page), 0);
    ASSERT_EQ(reader.writeSlices(tiff, page), 0);
    outputs[inMemory] = {test::readBytes(s.files.workFilePath), test::readBytes(s.files.segmentFilePath), page.bitmap};
    EXPECT_EQ(test::countDirectories(tiff), 3);
    const auto pages = test::readTiffPages(tiff);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].bitmap, rawtest::makePage(2432, 2600, 22));
  }
  EXPECT_TRUE(outputs[0] == outputs[1]);
}

INSTANTIATE_TEST_SUITE_P(Codings, RawChunkedFileTest,
                         ::testing::Values(Coding::kG3OneD, Coding::kG3TwoD, Coding::kG4),
                         [](const auto& info) {
                           return std::string(info.param == Coding::kG3OneD   ? "G3OneD"
                                              : info.param == Coding::kG3TwoD ? "G3TwoD"
                                                                              : "G4");
                         });

}  // namespace
}  // namespace tarnwell
