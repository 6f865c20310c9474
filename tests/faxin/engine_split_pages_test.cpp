// The one-file-per-page road of the engine's write step (splitPages 1): a reader with per-page files (the
// test chain reader) writes its numbered page files, which are gathered in page order into one
// TIFF and removed.

#include <gtest/gtest.h>

#include "faxin/EngineSettings.h"
#include "faxin/tiff/RepackTiff.h"
#include "faxin/faxreader_support.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;
using writertest::ChainPage;
using writertest::ChainReader;

class SplitPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint32_t i = 0; i < 3; ++i) {
      pages_.push_back(makePage(Pattern::kText, 1728, 40 + 10 * i, 20 + i));
      chain_.push_back(ChainPage{encodeStrip(pages_.back(), Codec::kG4), 1728,
                                 static_cast<uint16_t>(pages_.back().rows), 7, 1, 0});
    }
  }

  // Opens the chain file and runs the one-file-per-page road into output_.
  int run(const std::vector<ChainPage>& chain) {
    EXPECT_TRUE(writeBytes(source_, writertest::buildChain(chain)));
    EXPECT_TRUE(reader_.open(source_));
    EXPECT_EQ(reader_.checkHeader(), 0);
    const uint16_t count = reader_.countPages();
    EXPECT_TRUE(reader_.writesPageFiles());
    return writeEachPageGathered(reader_, output_, count);
  }

  std::string pageFile(int i) const {
    return FaxReader::pageFileName(output_, FaxReader::kFirstPageFileNumber + i);
  }

  TempTree dir_;
  std::string source_ = dir_.file("fax.chn");
  std::string output_ = dir_.file("trwintif.tmp");
  std::string scratch_ = dir_.file("trwtif.tmp");
  std::vector<Bitmap> pages_;
  std::vector<ChainPage> chain_;
  ChainReader reader_{splitSetup(scratch_)};

 private:
  // One TIFF per page, with the scratch TIFF in the test's tree.
  static EngineSetup splitSetup(const std::string& scratch) {
    EngineSetup setup;
    setup.settings.splitPages = 1;
    setup.files.scratchTiffPath = scratch;
    return setup;
  }
};

TEST_F(SplitPagesTest, PageFilesAreGatheredInOrderAndRemoved) {
  ASSERT_EQ(run(chain_), 0);
  std::vector<TiffPage> out;
  ASSERT_TRUE(readTiffPages(output_, out));
  ASSERT_EQ(out.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out[i].bitmap, pages_[i]);
    // Numbered within the whole file, not within the page file it came from.
    EXPECT_EQ(out[i].pageIndex, i);
    EXPECT_EQ(out[i].pageCount, 3);
  }
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(fileExists(pageFile(i)));
  EXPECT_FALSE(fileExists(scratch_));
}

TEST_F(SplitPagesTest, APageFileOfAnEarlierSourceNeverTakesAMissingPagesPlace) {
  // Page 2 is of a coding the writer does not know, so it gets no page file; a file of that name
  // from an earlier source is there.
  ASSERT_TRUE(writeFaxTiff(pageFile(1), {makePage(Pattern::kText, 1728, 33, 99)}));
  chain_[1].coding = 99;
  ASSERT_EQ(run(chain_), 0);
  std::vector<TiffPage> out;
  ASSERT_TRUE(readTiffPages(output_, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].bitmap, pages_[0]);
  EXPECT_EQ(out[1].bitmap, pages_[2]);
}

TEST_F(SplitPagesTest, AStoppedCopyIsReportedAndLeavesNoPageFiles) {
  chain_[2].form = 2;  // the chain reader stops the copy at this page
  EXPECT_EQ(run(chain_), ChainReader::kStopCode);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(fileExists(pageFile(i)));
}

}  // namespace
}  // namespace tarnwell
