// How the row-width probes weigh rows: rows that repeat the row above (blank rows under blank
// rows among them) decide neither the width nor the bit order, and an invalid code in a run of
// standard-width rows leaves the count as it was.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/decoder_support.h"
#include "faxin/EngineSettings.h"
#include "codec/FaxProbe.h"
#include "faxin/raw/RawFaxReader.h"
#include "support/TempTree.h"

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
      test::makePage(test::Pattern::kFramedText, c.width, 300, 5u + c.width), test::Codec::kG4,
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

TEST(ProbeInvalidCode, StandardWidthCountSurvivesInvalidCodes) {
  constexpr int kCount = 10;
  // Runs of three good rows reach kCount only when the invalid codes between them leave the
  // count as it was.
  const std::vector<uint8_t> data = rowsWithInvalidCodes(4, 3);
  FaxBitReader reader(data, 1);
  int32_t width = 0;
  EXPECT_EQ(probeStandardWidth1D(reader, kCount, width), 0);
  EXPECT_EQ(width, 1728);
  EXPECT_EQ(reader.bitPosition(), 0u);
  // Twelve good rows in all stay below a count of thirteen.
  EXPECT_EQ(probeStandardWidth1D(reader, 13, width), kFaxProbeDataEnd);
  // The minimum-width probe clears its count at an invalid code.
  EXPECT_EQ(probeMinimumWidth1D(reader, kCount, 1700, width), kFaxProbeDataEnd);
  EXPECT_EQ(probeMinimumWidth1D(reader, 2, 1700, width), 0);
}

// Pages whose rows mostly repeat the row above. Such a row is coded with V0 codes alone, a run
// of 1 bits that decodes at any width and in either bit order, and it must not be counted.
struct RepeatCase {
  const char* name;
  test::Bitmap page;
  int fillOrder;
};

std::vector<RepeatCase> repeatCases() {
  // One ruled row (a frame and four column rules) repeated: only the first row tells anything.
  test::Bitmap ruled(1728, 600);
  for (uint32_t y = 0; y < ruled.rows; ++y) {
    for (uint32_t x : {0u, 1u, 300u, 700u, 1000u, 1300u, 1726u, 1727u}) ruled.setBlack(x, y);
  }
  // A short framed page: fewer than kRequired of its rows hold another code. A wider width
  // decodes it without a bad row as well, so no width may be taken.
  const test::Bitmap shortPage = test::makePage(test::Pattern::kFramedText, 1728, 70, 1828);
  return {{"RuledRowsHighBitFirst", ruled, 1},
          {"RuledRowsLowBitFirst", ruled, 2},
          {"ShortFramedPageHighBitFirst", shortPage, 1},
          {"ShortFramedPageLowBitFirst", shortPage, 2}};
}

class ProbeRepeatedRows : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(ProbeRepeatedRows, NoWidthIsAccepted) {
  const RepeatCase& c = GetParam();
  const test::Encoded enc = test::encodeWithLibtiff(c.page, test::Codec::kG4, c.fillOrder);
  ASSERT_TRUE(enc.ok);
  FaxProbeResult result;
  EXPECT_EQ(probeT6Widths(enc.raw, kRequired, result), kFaxProbeFailed);
  EXPECT_EQ(probeT6Widths(enc.raw, kRequired, result, 3), kFaxProbeFailed);
  // Behind a flag, as a raw stream has it: the page's own width is not accepted in either bit
  // order, and the raw analysis finds no coding.
  std::vector<uint8_t> flagged(4, 0xFF);
  flagged.insert(flagged.end(), enc.raw.begin(), enc.raw.end());
  for (int bitOrder : {1, 2}) {
    FaxBitReader reader(flagged, bitOrder);
    EXPECT_EQ(probeT6Width(reader, static_cast<int32_t>(c.page.width), kRequired, 3, true),
              kFaxProbeDataEnd)
        << bitOrder;
  }
  const test::TempTree dir;
  EngineSetup setup;
  setup.files.workFilePath = dir.file("work");
  setup.files.segmentFilePath = dir.file("segments");
  RawFaxReader raw(setup);
  ASSERT_TRUE(raw.open(dir.write("flagged.g4", flagged)));
  EXPECT_LT(raw.analyse(0, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, ProbeRepeatedRows, ::testing::ValuesIn(repeatCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
