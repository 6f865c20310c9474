// How the row-width probes weigh rows: blank rows coded against a blank reference row decide
// neither the width nor the bit order, and an invalid code in a run of standard-width rows
// restarts the count at 1.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder_support.h"
#include "faxin/decode/FaxProbe.h"

namespace tarnwell {
namespace {

constexpr int kRequired = 50;

struct BlankLeadCase {
  int width;
  int fillOrder;
};

class ProbeBlankLead : public ::testing::TestWithParam<BlankLeadCase> {};

// Eight bytes of 0xFF are 64 blank rows coded against a blank reference row, at every width and
// in both bit orders; behind them a page whose rows reach both edges.
TEST_P(ProbeBlankLead, T6ProbeDecidesOnRowsThatCarryBlack) {
  const BlankLeadCase& c = GetParam();
  const test::Encoded enc = test::encodeWithLibtiff(
      test::makePage(test::Pattern::kFramedText, c.width, 70, 5u + c.width), test::Codec::kG4,
      c.fillOrder);
  ASSERT_TRUE(enc.ok);
  std::vector<uint8_t> data(8, 0xFF);
  data.insert(data.end(), enc.raw.begin(), enc.raw.end());
  FaxProbeResult result;
  ASSERT_EQ(probeT6Widths(data, kRequired, result), 0);
  EXPECT_EQ(result.width, c.width);
  EXPECT_EQ(result.bitOrder, c.fillOrder);
}

INSTANTIATE_TEST_SUITE_P(Widths, ProbeBlankLead,
                         ::testing::Values(BlankLeadCase{1728, 1}, BlankLeadCase{1728, 2},
                                           BlankLeadCase{2048, 1}, BlankLeadCase{2048, 2},
                                           BlankLeadCase{2432, 1}, BlankLeadCase{2432, 2}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "_Fill" +
                                  std::to_string(info.param.fillOrder);
                         });

// Rows of 1728 white pixels in runs of `good`, each run followed by a row that starts with an
// invalid code.
std::vector<uint8_t> rowsWithInvalidCodes(int runs, int good) {
  test::BitWriter w;
  w.put("000000000001");
  for (int r = 0; r < runs; ++r) {
    for (int i = 0; i < good; ++i) w.put("010011011 00110101").put("000000000001");
    w.put("000000001 0101").put("000000000001");  // eight zeros and a 1: no code starts so
  }
  return w.bytes();
}

TEST(ProbeInvalidCode, StandardWidthCountRestartsAtOne) {
  constexpr int kCount = 10;
  // Runs of kCount - 1 good rows reach kCount only when the invalid code leaves a count of 1.
  const std::vector<uint8_t> data = rowsWithInvalidCodes(4, kCount - 1);
  FaxBitReader reader(data, 1);
  int32_t width = 0;
  EXPECT_EQ(probeStandardWidth1D(reader, kCount, width), 0);
  EXPECT_EQ(width, 1728);
  EXPECT_EQ(reader.bitPosition(), 0u);
  // One row fewer per run stays below the count.
  const std::vector<uint8_t> shorter = rowsWithInvalidCodes(4, kCount - 2);
  FaxBitReader shortReader(shorter, 1);
  EXPECT_EQ(probeStandardWidth1D(shortReader, kCount, width), kFaxProbeDataEnd);
  // The minimum-width probe clears its count at an invalid code.
  EXPECT_EQ(probeMinimumWidth1D(reader, kCount, 1700, width), kFaxProbeDataEnd);
}

}  // namespace
}  // namespace tarnwell
