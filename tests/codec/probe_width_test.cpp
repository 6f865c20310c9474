// The row-width probes and the coding probe on pages encoded by libtiff, for every standard width
// in both bit orders, and the bitmap helpers.

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxProbe.h"

namespace tarnwell {
namespace {

using test::Codec;
using test::Pattern;

constexpr int kRequired = 50;

using ProbeParam = std::tuple<int, int>;  // width, fill order

class ProbeWidths : public ::testing::TestWithParam<ProbeParam> {};

test::Encoded encodeText(int width, Codec codec, int fillOrder,
                         Pattern pattern = Pattern::kText) {
  return test::encodeWithLibtiff(test::makePage(pattern, width, 70, 99u + width), codec,
                                 fillOrder);
}

TEST_P(ProbeWidths, CodingProbeFindsOneDimensionalData) {
  const auto [width, fillOrder] = GetParam();
  const test::Encoded enc = encodeText(width, Codec::kG3OneD, fillOrder);
  ASSERT_TRUE(enc.ok);
  FaxProbeResult result;
  ASSERT_EQ(probeCoding(enc.raw, kRequired, result), 0);
  EXPECT_EQ(result.coding, 5);
  EXPECT_EQ(result.bitOrder, fillOrder);
  EXPECT_EQ(result.width, width);

  // The probe leaves the reader at the start of the data.
  FaxBitReader reader(enc.raw, fillOrder);
  ASSERT_EQ(reader.readBits(3), 0);
  int32_t found = 0;
  EXPECT_EQ(probeStandardWidth1D(reader, kRequired, found), 0);
  EXPECT_EQ(found, width);
  EXPECT_EQ(reader.bitPosition(), 0u);
  // Too few rows for the count asked.
  EXPECT_EQ(probeStandardWidth1D(reader, 80, found), kFaxProbeDataEnd);
  EXPECT_EQ(reader.bitPosition(), 0u);
}

TEST_P(ProbeWidths, CodingProbeFindsTwoDimensionalData) {
  const auto [width, fillOrder] = GetParam();
  const test::Encoded enc = encodeText(width, Codec::kG3TwoDFill, fillOrder);
  ASSERT_TRUE(enc.ok);
  FaxProbeResult result;
  ASSERT_EQ(probeCoding(enc.raw, kRequired, result), 0);
  EXPECT_EQ(result.coding, 6);
  EXPECT_EQ(result.bitOrder, fillOrder);
  EXPECT_EQ(result.width, width);
}

// A framed page tall enough to hold kRequired rows that do not repeat the row above.
test::Encoded framedG4(int width, int fillOrder) {
  return test::encodeWithLibtiff(test::makePage(Pattern::kFramedText, width, 300, 99u + width),
                                 Codec::kG4, fillOrder);
}

TEST_P(ProbeWidths, T6WidthProbeFindsTheWidthAndBitOrder) {
  const auto [width, fillOrder] = GetParam();
  // Rows reaching the right edge: in T.6 a row ending in white decodes as well at any larger
  // width, so only content at the edge tells the width.
  const test::Encoded enc = framedG4(width, fillOrder);
  ASSERT_TRUE(enc.ok);
  FaxProbeResult result;
  ASSERT_EQ(probeT6Widths(enc.raw, kRequired, result), 0);
  EXPECT_EQ(result.coding, 7);
  EXPECT_EQ(result.bitOrder, fillOrder);
  EXPECT_EQ(result.width, width);
}

std::string probeName(const ::testing::TestParamInfo<ProbeParam>& info) {
  return std::to_string(std::get<0>(info.param)) + "_Fill" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(StandardWidths, ProbeWidths,
                         ::testing::Combine(::testing::ValuesIn(kFaxStandardWidths),
                                            ::testing::Values(1, 2)),
                         probeName);

TEST(ProbeMinimumWidth, FindsANonStandardWidthAboveTheMinimum) {
  for (Codec codec : {Codec::kG3OneD, Codec::kG3TwoD}) {
    const test::Encoded enc = encodeText(1800, codec, 2);
    ASSERT_TRUE(enc.ok);
    FaxProbeResult result;
    ASSERT_EQ(probeCoding(enc.raw, kRequired, result), 0) << test::codecName(codec);
    EXPECT_EQ(result.coding, codec == Codec::kG3OneD ? 5 : 6);
    EXPECT_EQ(result.bitOrder, 2);
    EXPECT_EQ(result.width, 1800);

    FaxBitReader reader(enc.raw, 2);
    int32_t width = 0;
    const bool oneD = codec == Codec::kG3OneD;
    EXPECT_EQ(oneD ? probeStandardWidth1D(reader, kRequired, width)
                   : probeStandardWidth2D(reader, kRequired, width),
              kFaxProbeDataEnd);
    EXPECT_EQ(oneD ? probeMinimumWidth1D(reader, kRequired, 1799, width)
                   : probeMinimumWidth2D(reader, kRequired, 1799, width),
              0);
    EXPECT_EQ(width, 1800);
    // Rows not wider than the minimum are passed over.
    EXPECT_EQ(oneD ? probeMinimumWidth1D(reader, kRequired, 1800, width)
                   : probeMinimumWidth2D(reader, kRequired, 1800, width),
              kFaxProbeDataEnd);
  }
}

TEST(ProbeCoding, RejectsDataWithoutFaxRows) {
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(20000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> zeros(5000, 0);
  const std::vector<uint8_t> ones(5000, 0xFF);
  for (const std::vector<uint8_t>* data :
       std::initializer_list<const std::vector<uint8_t>*>{&noise, &zeros, &ones}) {
    FaxProbeResult result;
    EXPECT_EQ(probeCoding(*data, kRequired, result), kFaxProbeFailed);
  }
  FaxProbeResult result;
  EXPECT_EQ(probeT6Widths(noise, kRequired, result), kFaxProbeFailed);
  EXPECT_EQ(probeT6Widths(zeros, kRequired, result), kFaxProbeFailed);
  EXPECT_EQ(probeCoding({}, kRequired, result), kFaxProbeFailed);
  EXPECT_EQ(probeT6Widths({}, kRequired, result), kFaxProbeFailed);
  // In T.6 every 1 bit is a V0 code, and a row of V0 against a white row is a white row of any
  // width and either bit order: 0xFF data has no row that could tell a width.
  EXPECT_EQ(probeT6Widths(ones, kRequired, result), kFaxProbeFailed);
}

TEST(ProbeT6, TriesWidth3648Before3456) {
  // Text rows ending in white, 3456 wide, decode cleanly at 3648 too: the earlier candidate wins.
  // (The page is tall enough to hold kRequired rows with black.)
  const test::Encoded enc =
      test::encodeWithLibtiff(test::makePage(Pattern::kText, 3456, 200, 99u + 3456), Codec::kG4, 1);
  ASSERT_TRUE(enc.ok);
  FaxProbeResult result;
  ASSERT_EQ(probeT6Widths(enc.raw, kRequired, result), 0);
  EXPECT_EQ(result.width, 3648);
}

TEST(ProbeT6, FindsTheWidthAfterAMarkerAndReportsIt) {
  const test::Encoded enc = framedG4(2048, 1);
  ASSERT_TRUE(enc.ok);
  std::vector<uint8_t> data = {0x12, 0x34, 0xFF, 0xFF, 0xFF};
  data.insert(data.end(), enc.raw.begin(), enc.raw.end());
  FaxBitReader reader(data, 1);
  uint64_t marker = 0;
  EXPECT_EQ(probeT6Width(reader, 2048, kRequired, 3, true, &marker), 0);
  EXPECT_EQ(marker, 5u * 8);
  EXPECT_EQ(reader.bitPosition(), 0u);
  // A marker search without markers to look for finds nothing.
  EXPECT_EQ(probeT6Width(reader, 2048, kRequired, 0, true, &marker), kFaxProbeDataEnd);
  EXPECT_EQ(marker, 0u);
}

FaxPage pageOf(int width, std::initializer_list<uint8_t> bytes) {
  FaxPage page;
  page.width = width;
  page.bytesPerRow = (width + 7) / 8;
  page.bitmap = bytes;
  page.rows = static_cast<int32_t>(page.bitmap.size() / page.bytesPerRow);
  return page;
}

TEST(BitmapHelpers, FlipRowsReversesTheRowOrder) {
  FaxPage page = pageOf(16, {1, 2, 3, 4, 5, 6});
  flipRows(page);
  EXPECT_EQ(page.bitmap, (std::vector<uint8_t>{5, 6, 3, 4, 1, 2}));
  FaxPage one = pageOf(8, {9});
  flipRows(one);
  EXPECT_EQ(one.bitmap, std::vector<uint8_t>{9});
}

TEST(BitmapHelpers, MirrorRowsReversesThePixelsOfEveryRow) {
  FaxPage page = pageOf(16, {0x80, 0x03, 0xF0, 0x00});
  mirrorRows(page);
  EXPECT_EQ(page.bitmap, (std::vector<uint8_t>{0xC0, 0x01, 0x00, 0x0F}));
  // A width that is not a whole number of bytes keeps its padding behind the last pixel.
  FaxPage odd = pageOf(12, {0x80, 0x30});  // pixels 0, 10 and 11 set
  mirrorRows(odd);
  EXPECT_EQ(odd.bitmap, (std::vector<uint8_t>{0xC0, 0x10}));  // pixels 0, 1 and 11
  // Rows beyond the bitmap are never touched.
  FaxPage lying = pageOf(8, {0x01});
  lying.rows = 5;
  mirrorRows(lying);
  flipRows(lying);
  EXPECT_EQ(lying.bitmap, std::vector<uint8_t>{0x80});
}

}  // namespace
}  // namespace tarnwell
