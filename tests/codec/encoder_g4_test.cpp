// Our Group 4 encoder against libtiff's: pages generated in code (text, noise, patterns, rows
// whose edges wander by a few pixels, all white, all black) at every standard width and at odd
// ones, coded by both and compared byte for byte; our decoder gives each page back.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"
#include "codec/FaxG4Encoder.h"

namespace tarnwell {
namespace {

using test::Bitmap;
using test::Pattern;

// Where a page comes from: one of the kit's patterns, noise of a density, or wandering edges.
struct PageSource {
  const char* name;
  enum Kind { kPattern, kNoise, kJitter } kind;
  Pattern pattern = Pattern::kText;
  uint32_t amount = 0;  // noise: black pixels per thousand; jitter: the spread in pixels
};

const PageSource kSources[] = {
    {"Text", PageSource::kPattern, Pattern::kText},
    {"FramedText", PageSource::kPattern, Pattern::kFramedText},
    {"TextLines", PageSource::kPattern, Pattern::kTextLines},
    {"Words", PageSource::kPattern, Pattern::kWords},
    {"ShortText", PageSource::kPattern, Pattern::kShortText},
    {"Runs63And64", PageSource::kPattern, Pattern::kRuns63And64},
    {"RandomRuns", PageSource::kPattern, Pattern::kRandomRuns},
    {"LongRuns", PageSource::kPattern, Pattern::kLongRuns},
    {"Stripes", PageSource::kPattern, Pattern::kStripes},
    {"Checkerboard", PageSource::kPattern, Pattern::kCheckerboard},
    {"Bands", PageSource::kPattern, Pattern::kBands},
    {"AllWhite", PageSource::kPattern, Pattern::kAllWhite},
    {"AllBlack", PageSource::kPattern, Pattern::kAllBlack},
    {"SparseNoise", PageSource::kNoise, Pattern::kText, 5},
    {"Noise100", PageSource::kNoise, Pattern::kText, 100},
    {"Noise500", PageSource::kNoise, Pattern::kText, 500},
    {"DenseNoise", PageSource::kNoise, Pattern::kText, 950},
    {"Jitter1", PageSource::kJitter, Pattern::kText, 1},
    {"Jitter3", PageSource::kJitter, Pattern::kText, 3},
    {"Jitter4", PageSource::kJitter, Pattern::kText, 4},
    {"Jitter8", PageSource::kJitter, Pattern::kText, 8},
};

// The fax widths (A4, B4, A3 at 200 dpi, 2560, and the 300/400 dpi ones), widths around byte,
// word and run-code boundaries, one pixel, and a row longer than any make-up code.
constexpr uint32_t kWidths[] = {1728, 2048, 2432, 2560, 2592, 3456, 4864, 1,    2,    7,   8,
                                9,    63,   64,   65,   127,  1000, 1729, 2561, 2623, 2624, 17000};

constexpr uint32_t kPagesPerCase = 8;

Bitmap makeSourcePage(const PageSource& source, uint32_t width, uint32_t rows, uint32_t seed) {
  switch (source.kind) {
    case PageSource::kNoise: return test::makeNoisePage(width, rows, source.amount, seed);
    case PageSource::kJitter: return test::makeJitterPage(width, rows, source.amount, seed);
    case PageSource::kPattern: break;
  }
  return test::makePage(source.pattern, width, rows, seed);
}

using Param = std::tuple<std::size_t, uint32_t>;  // index into kSources, width

class G4EncoderDifferential : public ::testing::TestWithParam<Param> {};

TEST_P(G4EncoderDifferential, SameBytesAsLibtiffAndDecodesBack) {
  const auto [sourceIndex, width] = GetParam();
  const PageSource& source = kSources[sourceIndex];
  for (uint32_t n = 0; n < kPagesPerCase; ++n) {
    // Heights from one row up; very wide rows keep the pages small.
    const uint32_t rows = width > 5000 ? 1 + n * 3 : 1 + n * 9;
    const Bitmap page = makeSourcePage(source, width, rows, 97u * n + width);
    SCOPED_TRACE("page " + std::to_string(n) + ", " + std::to_string(rows) + " rows");

    const std::vector<uint8_t> theirs = test::encodeStrip(page, test::Codec::kG4);
    ASSERT_FALSE(theirs.empty()) << "libtiff could not encode the page";
    std::vector<uint8_t> ours;
    ASSERT_TRUE(encodePageT6(page.bits, static_cast<int32_t>(width), static_cast<int32_t>(rows),
                             page.bytesPerRow(), true, ours));
    ASSERT_EQ(ours, theirs);

    // The same pixels with white as 1 bits code the same.
    std::vector<uint8_t> inverted = page.bits;
    for (uint8_t& b : inverted) b = static_cast<uint8_t>(~b);
    std::vector<uint8_t> fromInverted;
    ASSERT_TRUE(encodePageT6(inverted, static_cast<int32_t>(width), static_cast<int32_t>(rows),
                             page.bytesPerRow(), false, fromInverted));
    ASSERT_EQ(fromInverted, theirs);

    FaxDecodeParams params;
    params.coding = static_cast<uint8_t>(FaxCoding::kT6);
    params.photometric = 1;
    params.width = static_cast<int32_t>(width);
    params.rowLimit = static_cast<int32_t>(rows) + 1;
    FaxPage decoded;
    ASSERT_EQ(decodePageT6(ours, params, decoded), 0);
    ASSERT_EQ(decoded.rows, static_cast<int32_t>(rows));
    for (uint32_t y = 0; y < rows; ++y) {
      ASSERT_TRUE(test::rowsEqual(decoded.bitmap.data() + std::size_t{y} * page.bytesPerRow(),
                                  page.row(y), width))
          << "row " << y;
    }
  }
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
  return std::string(kSources[std::get<0>(info.param)].name) + "_" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Pages, G4EncoderDifferential,
                         ::testing::Combine(::testing::Range<std::size_t>(0, std::size(kSources)),
                                            ::testing::ValuesIn(kWidths)),
                         paramName);

// Rows taken from a wider buffer, padding bits set behind the last pixel, and one encoder
// coding page after page: none of these may change the bytes.
TEST(G4Encoder, IgnoresPaddingStrideAndEarlierPages) {
  const uint32_t width = 1731, rows = 40;
  const Bitmap page = test::makePage(Pattern::kFramedText, width, rows, 5);
  const std::vector<uint8_t> theirs = test::encodeStrip(page, test::Codec::kG4);
  ASSERT_FALSE(theirs.empty());

  const std::size_t stride = page.bytesPerRow() + 5;
  std::vector<uint8_t> wide(stride * rows, 0xA5);
  for (uint32_t y = 0; y < rows; ++y) {
    std::copy(page.row(y), page.row(y) + page.bytesPerRow(), wide.begin() + y * stride);
    wide[y * stride + page.bytesPerRow() - 1] |= 0x1F;  // the five bits behind pixel 1730
  }
  std::vector<uint8_t> ours;
  ASSERT_TRUE(encodePageT6(wide, width, rows, stride, true, ours));
  EXPECT_EQ(ours, theirs);

  FaxG4Encoder encoder(width, true);
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t y = 0; y < rows; ++y) {
      ASSERT_TRUE(encoder.addRow(std::span<const uint8_t>(page.row(y), page.bytesPerRow())));
    }
    std::vector<uint8_t> out{1, 2, 3};
    ASSERT_TRUE(encoder.finish(out));
    EXPECT_EQ(out, theirs) << "page " << pass;
  }
}

// What the encoder refuses, and the page without rows (the end of the block alone).
TEST(G4Encoder, RefusesBadDimensionsAndCodesEmptyPage) {
  const std::vector<uint8_t> bitmap(1024, 0);
  struct Case {
    const char* what;
    int32_t width, rows;
    std::size_t bytesPerRow, bitmapBytes;
    bool ok;
  };
  const Case cases[] = {
      {"three rows", 1728, 3, 216, 648, true},
      {"wide stride, the last row ends the bitmap", 1728, 3, 300, 816, true},
      {"zero width", 0, 3, 216, 648, false},
      {"negative width", -8, 3, 216, 648, false},
      {"negative rows", 1728, -1, 216, 648, false},
      {"row stride below the row", 1728, 3, 215, 648, false},
      {"bitmap a byte short", 1728, 3, 216, 647, false},
      {"wide stride, the last row a byte short", 1728, 3, 300, 815, false},
      {"no rows, no bytes", 1728, 0, 216, 0, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    EXPECT_EQ(encodePageT6(std::span(bitmap).first(c.bitmapBytes), c.width, c.rows, c.bytesPerRow,
                           true, out),
              c.ok)
        << c.what;
  }
  std::vector<uint8_t> empty;
  ASSERT_TRUE(encodePageT6({}, 1728, 0, 216, true, empty));
  EXPECT_EQ(empty, (std::vector<uint8_t>{0x00, 0x10, 0x01}));  // EOL EOL, four 0 bits

  FaxG4Encoder encoder(16, true);
  const uint8_t shortRow[1] = {0};
  EXPECT_FALSE(encoder.addRow(shortRow));
}

}  // namespace
}  // namespace tarnwell
