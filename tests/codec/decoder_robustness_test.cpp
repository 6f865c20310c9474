// Hostile input for every decoder: random bytes, all-zero and all-0xFF data, truncated pages,
// degenerate widths and row limits. The decoders must return, keep within their row limit and
// hand back exactly rows * bytesPerRow bitmap bytes; truncated pages keep their complete rows.

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"

namespace tarnwell {
namespace {

// Codings 3 to 7, and 9 standing for the row-complete T.4 variant with 16-bit skipping.
constexpr int kRowComplete = 9;

int decodeAny(int coding, std::span<const uint8_t> data, int width, int rowLimit, int bitOrder,
              FaxPage& page) {
  FaxDecodeParams p;
  p.coding = static_cast<uint8_t>(coding == kRowComplete ? 5 : coding);
  p.width = width;
  p.rowLimit = rowLimit;
  p.bitOrder = bitOrder;
  if (coding == kRowComplete) return decodePageT4RowComplete(data, p, true, page);
  return coding == 7 ? decodePageT6(data, p, page) : decodePage(data, p, page);
}

void expectConsistent(const FaxPage& page, int rowLimit) {
  EXPECT_GE(page.rows, 0);
  EXPECT_LE(page.rows, std::max(rowLimit, 0));
  EXPECT_EQ(page.bitmap.size(), static_cast<std::size_t>(page.rows) * page.bytesPerRow);
}

using HostileParam = std::tuple<int, int, int>;  // coding, width, row limit

class DecoderHostile : public ::testing::TestWithParam<HostileParam> {};

TEST_P(DecoderHostile, ReturnsWithinLimitsOnJunk) {
  const auto [coding, width, rowLimit] = GetParam();
  std::mt19937 rng(static_cast<uint32_t>(coding * 1000 + width));
  std::vector<uint8_t> noise(1 << 18);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  // Random bytes with many zero bytes: long EOL-like zero runs and short codes.
  std::vector<uint8_t> sparse(1 << 16);
  for (auto& b : sparse) b = rng() % 3 == 0 ? static_cast<uint8_t>(rng()) : 0;
  const std::vector<uint8_t> zeros(1 << 16, 0);
  const std::vector<uint8_t> ones(1 << 16, 0xFF);
  for (const std::vector<uint8_t>* data :
       std::initializer_list<const std::vector<uint8_t>*>{&noise, &sparse, &zeros, &ones}) {
    for (int bitOrder : {1, 2}) {
      FaxPage page;
      const int result = decodeAny(coding, *data, width, rowLimit, bitOrder, page);
      EXPECT_GE(result, kFaxDecodeFailed);
      expectConsistent(page, rowLimit);
    }
  }
  FaxPage page;
  EXPECT_GE(decodeAny(coding, {}, width, rowLimit, 1, page), kFaxDecodeFailed);
  expectConsistent(page, rowLimit);
}

std::string hostileName(const ::testing::TestParamInfo<HostileParam>& info) {
  const auto [coding, width, rowLimit] = info.param;
  return "Coding" + std::to_string(coding) + "_Width" + std::to_string(width) + "_Limit" +
         std::to_string(rowLimit);
}

INSTANTIATE_TEST_SUITE_P(AllDecoders, DecoderHostile,
                         ::testing::Combine(::testing::Values(3, 4, 5, 6, 7, kRowComplete),
                                            ::testing::Values(0, 1, 1728, 100000),
                                            ::testing::Values(0, 7, 3000)),
                         hostileName);

using test::Codec;

class DecoderTruncated : public ::testing::TestWithParam<Codec> {};

TEST_P(DecoderTruncated, KeepsEveryCompleteRowOfATruncatedPage) {
  const Codec codec = GetParam();
  const test::Bitmap source = test::makePage(test::Pattern::kRandomRuns, 300, 12, 5);
  const test::Encoded enc = test::encodeWithLibtiff(source, codec, 1);
  ASSERT_TRUE(enc.ok);
  const int coding = test::codecCoding(codec);
  int previousRows = 0;
  for (std::size_t cut = 0; cut <= enc.raw.size(); ++cut) {
    const std::span<const uint8_t> part(enc.raw.data(), cut);
    FaxDecodeParams p;
    p.coding = static_cast<uint8_t>(coding);
    p.width = source.width;
    p.rowLimit = static_cast<int>(source.rows);
    p.photometric = 1;
    FaxPage page;
    const int result = coding == 7 ? decodePageT6(part, p, page) : decodePage(part, p, page);
    EXPECT_GE(result, kFaxDecodeFailed);
    expectConsistent(page, static_cast<int>(source.rows));
    // Rows only come with more data, and every row decoded is the source's row.
    EXPECT_GE(page.rows, previousRows) << "cut " << cut;
    previousRows = page.rows;
    for (int y = 0; y < page.rows; ++y) {
      ASSERT_TRUE(test::rowsEqual(page.bitmap.data() + y * source.bytesPerRow(),
                                  source.bits.data() + y * source.bytesPerRow(), source.width))
          << "cut " << cut << " row " << y;
    }
  }
  EXPECT_EQ(previousRows, static_cast<int>(source.rows));
}

TEST_P(DecoderTruncated, FlippedBitsNeverBreakTheLimits) {
  const Codec codec = GetParam();
  const test::Bitmap source = test::makePage(test::Pattern::kText, 400, 40, 8);
  const test::Encoded enc = test::encodeWithLibtiff(source, codec, 2);
  ASSERT_TRUE(enc.ok);
  std::mt19937 rng(3);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> data = enc.raw;
    for (int flips = 1 + trial % 4; flips > 0; --flips) {
      data[rng() % data.size()] ^= static_cast<uint8_t>(1 << (rng() % 8));
    }
    FaxPage page;
    const int coding = test::codecCoding(codec);
    EXPECT_GE(decodeAny(coding, data, source.width, 30, 2, page), kFaxDecodeFailed);
    expectConsistent(page, 30);
  }
}

INSTANTIATE_TEST_SUITE_P(AllCodings, DecoderTruncated,
                         ::testing::Values(Codec::kMH, Codec::kMHWord, Codec::kG3OneD,
                                           Codec::kG3OneDFill, Codec::kG3TwoD, Codec::kG3TwoDFill,
                                           Codec::kG4),
                         [](const ::testing::TestParamInfo<Codec>& info) {
                           return std::string(test::codecName(info.param));
                         });

}  // namespace
}  // namespace tarnwell
