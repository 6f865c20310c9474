// Differential tests: pages generated in code, encoded by libtiff with each of its Group 3 and
// Group 4 codecs in both fill orders, decoded by our decoders and compared bit for bit with the
// source page and with libtiff's own decode.

#include <gtest/gtest.h>

#include <tuple>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"

namespace tarnwell {
namespace {

using test::Codec;
using test::Pattern;

constexpr Codec kCodecs[] = {Codec::kMH,     Codec::kMHWord,     Codec::kG3OneD, Codec::kG3OneDFill,
                             Codec::kG3TwoD, Codec::kG3TwoDFill, Codec::kG4};
constexpr Pattern kPatterns[] = {Pattern::kText,     Pattern::kRandomRuns,   Pattern::kAllWhite,
                                 Pattern::kAllBlack, Pattern::kStripes,      Pattern::kCheckerboard,
                                 Pattern::kLongRuns};
constexpr int kWidths[] = {1728, 2048, 2432, 2592, 3072, 3456, 3648, 4096, 4864, 17000,
                           1,    7,    9,    63,   65,   1000, 1729, 2561, 5000};

using Param = std::tuple<Codec, int, Pattern, int>;

class DecoderDifferential : public ::testing::TestWithParam<Param> {};

// Decodes `raw` as our decoder would be asked to by a container reader.
int decodeOurs(const std::vector<uint8_t>& raw, Codec codec, int bitOrder, int width,
               int rowLimit, int photometric, FaxPage& page) {
  FaxDecodeParams params;
  params.bitOrder = bitOrder;
  params.coding = test::codecCoding(codec);
  params.photometric = static_cast<uint8_t>(photometric);
  params.width = width;
  params.rowLimit = rowLimit;
  return codec == Codec::kG4 ? decodePageT6(raw, params, page) : decodePage(raw, params, page);
}

TEST_P(DecoderDifferential, MatchesSourceAndLibtiff) {
  const auto [codec, fillOrder, pattern, width] = GetParam();
  const int height = width > 3000 ? 17 : 33;
  const test::Bitmap source = test::makePage(pattern, width, height, 1234u + width);
  const test::Encoded enc = test::encodeWithLibtiff(source, codec, fillOrder);
  ASSERT_TRUE(enc.ok) << "libtiff could not encode the page";

  FaxPage page;
  // Photometric 1 paints black runs as 1 bits, as the source page holds them.
  const int result = decodeOurs(enc.raw, codec, fillOrder, width, height + 5, 1, page);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(page.rows, height) << "coded bytes " << enc.raw.size();
  ASSERT_EQ(page.bitmap.size(), static_cast<std::size_t>(height) * source.bytesPerRow());
  EXPECT_EQ(page.coding, test::codecCoding(codec));
  EXPECT_EQ(page.fillOrder, fillOrder);
  EXPECT_EQ(page.width, width);
  const int bpr = source.bytesPerRow();
  for (int y = 0; y < height; ++y) {
    const uint8_t* ours = page.bitmap.data() + static_cast<std::size_t>(y) * bpr;
    ASSERT_TRUE(test::rowsEqual(ours, source.bits.data() + static_cast<std::size_t>(y) * bpr, width))
        << "row " << y << " differs from the source";
    // libtiff 4.5 fails on some of its own word-aligned streams and on rows of more runs than
    // it expects; only its clean decodes are compared.
    if (enc.decodedOk) {
      ASSERT_TRUE(test::rowsEqual(ours, enc.decoded.data() + static_cast<std::size_t>(y) * bpr, width))
          << "row " << y << " differs from libtiff's decode";
    }
  }

  // Photometric 0: the same rows with white as 1 bits; padding bits stay 0.
  FaxPage inverted;
  ASSERT_EQ(decodeOurs(enc.raw, codec, fillOrder, width, height, 0, inverted), 0);
  ASSERT_EQ(inverted.rows, height);
  for (std::size_t i = 0; i < inverted.bitmap.size(); ++i) {
    const int x0 = static_cast<int>(i % bpr) * 8;
    const int valid = std::min(8, width - x0);
    const uint8_t mask = static_cast<uint8_t>(0xFF00 >> valid);
    ASSERT_EQ(inverted.bitmap[i], static_cast<uint8_t>(~page.bitmap[i] & mask)) << "byte " << i;
  }
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
  const auto [codec, fillOrder, pattern, width] = info.param;
  return std::string(test::codecName(codec)) + "_Fill" + std::to_string(fillOrder) + "_" +
         test::patternName(pattern) + "_" + std::to_string(width);
}

INSTANTIATE_TEST_SUITE_P(AllCodings, DecoderDifferential,
                         ::testing::Combine(::testing::ValuesIn(kCodecs), ::testing::Values(1, 2),
                                            ::testing::ValuesIn(kPatterns),
                                            ::testing::ValuesIn(kWidths)),
                         paramName);

}  // namespace
}  // namespace tarnwell
