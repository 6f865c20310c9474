// The coding probe of the reader base: unlabelled Group 3 / Group 4 page data is identified and
// decoded; unrecognised data leaves the page record as it was.
#include "faxin/readers/FaxReader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "faxreader_support.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;
using Probe = writertest::ChainReader::ProbeSetup;

// A probe setup with the given threshold and the default flagNum of 3.
EngineSetup probeSetup(uint16_t threshold) {
  EngineSetup s;
  s.settings.threshold = threshold;
  s.settings.flagNum = 3;
  return s;
}

Bytes inverted(Bytes b) {
  for (auto& x : b) x = static_cast<uint8_t>(~x);
  return b;
}

struct ProbeCase {
  const char* name;
  uint16_t compression;
  uint32_t t4Options;
  uint16_t fillOrder;
  uint8_t coding;  // expected FaxCoding
};

class FaxReaderProbe : public ::testing::TestWithParam<ProbeCase> {
 protected:
};

TEST_P(FaxReaderProbe, IdentifiesAndDecodesThePage) {
  const ProbeCase c = GetParam();
  const uint32_t width = 1728, rows = 40;
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, width, rows, 21);
  const Bytes bitmap = bitmapPage.bits;
  const Bytes coded = test::encodeStrip(bitmapPage, c.compression, c.t4Options, c.fillOrder);
  ASSERT_FALSE(coded.empty());
  writertest::ChainReader reader(probeSetup(10));
  FaxPage page;
  ASSERT_EQ(reader.describeByProbe(coded, Probe{0, 3288, true}, page), 0);
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.rows, 40);
  EXPECT_EQ(page.coding, c.coding);
  EXPECT_EQ(page.fillOrder, c.fillOrder);
  EXPECT_EQ(page.codedSize, coded.size());
  EXPECT_EQ(page.bitmap, inverted(bitmap));  // the decoders store white as 1 bits
}

INSTANTIATE_TEST_SUITE_P(
    Codings, FaxReaderProbe,
    ::testing::Values(ProbeCase{"T4OneD", COMPRESSION_CCITTFAX3, 0, 1, 5},
                      ProbeCase{"T4OneDLeastBitFirst", COMPRESSION_CCITTFAX3, 0, 2, 5},
                      ProbeCase{"T4TwoD", COMPRESSION_CCITTFAX3, 1, 1, 6},
                      ProbeCase{"T6", COMPRESSION_CCITTFAX4, 0, 1, 7},
                      ProbeCase{"T6LeastBitFirst", COMPRESSION_CCITTFAX4, 0, 2, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// One reader probes pages of every coding in turn, each twice, then the same bytes under other
// settings: the second probe of equal bytes is remembered, and nothing it remembers answers other
// bytes or a probe without the T.6 fallback; a reader made with another threshold probes afresh.
// The steps alternate between the two readers.
TEST(FaxReaderProbeMemo, AnswersOnlyEqualBytesUnderEqualSettings) {
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, 1728, 40, 21);
  struct Step {
    uint16_t compression;
    uint32_t t4Options;
    uint16_t fillOrder;
    uint16_t threshold;
    bool t6Fallback;
    int result;
    uint8_t coding;
  };
  const Step steps[] = {
      {COMPRESSION_CCITTFAX3, 0, 1, 10, true, 0, 5}, {COMPRESSION_CCITTFAX3, 0, 1, 10, true, 0, 5},
      {COMPRESSION_CCITTFAX4, 0, 2, 10, true, 0, 7}, {COMPRESSION_CCITTFAX4, 0, 2, 10, true, 0, 7},
      {COMPRESSION_CCITTFAX4, 0, 2, 10, false, -1, 0}, {COMPRESSION_CCITTFAX3, 1, 1, 10, true, 0, 6},
      {COMPRESSION_CCITTFAX3, 1, 1, 10, true, 0, 6}, {COMPRESSION_CCITTFAX3, 1, 1, 60, true, -1, 0},
      {COMPRESSION_CCITTFAX3, 0, 1, 10, true, 0, 5}, {COMPRESSION_CCITTFAX3, 0, 2, 10, true, 0, 5},
  };
  writertest::ChainReader at10(probeSetup(10));
  writertest::ChainReader at60(probeSetup(60));
  int index = 0;
  for (const Step& step : steps) {
    const Bytes coded =
        test::encodeStrip(bitmapPage, step.compression, step.t4Options, step.fillOrder);
    writertest::ChainReader& reader = step.threshold == 60 ? at60 : at10;
    FaxPage page;
    ASSERT_EQ(reader.describeByProbe(coded, Probe{0, 3288, step.t6Fallback}, page), step.result)
        << "step " << index;
    if (step.result == 0) {
      EXPECT_EQ(page.coding, step.coding) << "step " << index;
      EXPECT_EQ(page.fillOrder, step.fillOrder) << "step " << index;
      EXPECT_EQ(page.rows, 40) << "step " << index;
    }
    ++index;
  }
}

TEST(FaxReaderProbeLimits, GivenWidthAndRowLimitApply) {
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, 1728, 40, 4);
  const Bytes bitmap = bitmapPage.bits;
  const Bytes coded =
      test::encodeStrip(bitmapPage, COMPRESSION_CCITTFAX3);
  writertest::ChainReader reader(probeSetup(10));
  FaxPage page;
  ASSERT_EQ(reader.describeByProbe(coded, Probe{1728, 25, false}, page), 0);
  EXPECT_EQ(page.rows, 25);
  EXPECT_EQ(page.bitmap.size(), 25u * 216);
}

// T.6 data is only found with the fallback; unrecognised data leaves the record unchanged.
TEST(FaxReaderProbeLimits, UnrecognisedDataKeepsTheEarlierPage) {
  const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, 1728, 40, 6);
  const Bytes bitmap = bitmapPage.bits;
  const Bytes t6 =
      test::encodeStrip(bitmapPage, COMPRESSION_CCITTFAX4);
  const Bytes noise = [] {
    Bytes n(3000);
    std::mt19937 gen(3);
    for (auto& b : n) b = static_cast<uint8_t>(gen());
    return n;
  }();
  writertest::ChainReader reader(probeSetup(10));
  for (const Bytes* data : {&t6, &noise}) {
    FaxPage page;
    page.width = 2048;
    page.rows = 7;
    page.coding = 6;
    EXPECT_EQ(reader.describeByProbe(*data, Probe{0, 3288, data == &noise}, page), -1);
    EXPECT_EQ(page.width, 2048);
    EXPECT_EQ(page.rows, 7);
    EXPECT_EQ(page.coding, 6);
  }
  FaxPage empty;
  EXPECT_EQ(reader.describeByProbe({}, Probe{0, 3288, true}, empty), -1);
}

}  // namespace
}  // namespace tarnwell
