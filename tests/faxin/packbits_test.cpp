#include "faxin/readers/PackBits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(const Bytes& row, std::size_t room = 4096) {
  Bytes out(room);
  const std::ptrdiff_t n = packBitsEncode(row, out);
  if (n < 0) return {0xDE, 0xAD};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// Independent PackBits decoder (TIFF 6.0, section 9).
Bytes unpack(const Bytes& in) {
  Bytes out;
  std::size_t i = 0;
  while (i < in.size()) {
    const auto n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {
      for (int k = 0; k <= n && i < in.size(); ++k) out.push_back(in[i++]);
    } else if (n != -128 && i < in.size()) {
      out.insert(out.end(), static_cast<std::size_t>(1 - n), in[i++]);
    }
  }
  return out;
}

Bytes repeat(std::size_t n, uint8_t b) { return Bytes(n, b); }
Bytes distinct(std::size_t n) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
  return out;
}
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Vector {
  const char* name;
  Bytes row;
  Bytes expected;
};

class PackBitsVectors : public ::testing::TestWithParam<Vector> {};

TEST_P(PackBitsVectors, EncodesExactly) {
  EXPECT_EQ(encode(GetParam().row), GetParam().expected);
  EXPECT_EQ(unpack(GetParam().expected), GetParam().row);
}

Bytes literal128Expected() {
  Bytes out{0x7F};
  Bytes d = distinct(128);
  out.insert(out.end(), d.begin(), d.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PackBitsVectors,
    ::testing::Values(
        Vector{"Run200", repeat(200, 0xAA), {0x81, 0xAA, 0xB9, 0xAA}},
        Vector{"ShortRunFoldsIntoLiteral", {0x01, 0x02, 0x02, 0x03}, {0x03, 0x01, 0x02, 0x02, 0x03}},
        Vector{"Single", {0x55}, {0x00, 0x55}},
        Vector{"Pair", {0x00, 0x00}, {0xFF, 0x00}},
        Vector{"Run128", repeat(128, 0), {0x81, 0x00}},
        Vector{"Run129LeavesLiteral", repeat(129, 0), {0x81, 0x00, 0x00, 0x00}},
        Vector{"Run130", repeat(130, 0), {0x81, 0x00, 0xFF, 0x00}},
        Vector{"Literal128", distinct(128), literal128Expected()},
        Vector{"Literal129SplitsAt128", distinct(129),
               concat({literal128Expected(), {0x00, distinct(129)[128]}})},
        // A run of three behind a literal is not folded.
        Vector{"RunOfThreeStaysRun", {0x01, 0x02, 0x02, 0x02, 0x03},
               {0x00, 0x01, 0xFE, 0x02, 0x00, 0x03}},
        // A run of two behind a run (not behind a literal) stays a run.
        Vector{"PairAfterRun", {0x05, 0x05, 0x05, 0x06, 0x06, 0x07},
               {0xFE, 0x05, 0xFF, 0x06, 0x00, 0x07}},
        Vector{"Empty", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The literal header is only grown by a fold while it stays below 126 (a fold adds two).
TEST(PackBitsEncode, FoldStopsNearFullLiteral) {
  // 126 distinct bytes: header 125. Then a pair and a single: the fold takes the header to 127
  // (128 bytes, full), so the single starts a new literal.
  Bytes row = concat({distinct(126), {0xEE, 0xEE, 0x11}});
  Bytes out = encode(row);
  ASSERT_EQ(out.size(), 1u + 128u + 2u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 0x00);
  EXPECT_EQ(unpack(out), row);
  // 127 distinct bytes: header 126, no fold.
  row = concat({distinct(127), {0xEE, 0xEE, 0x11}});
  out = encode(row);
  ASSERT_EQ(out.size(), 1u + 127u + 2u + 2u);
  EXPECT_EQ(out[128], 0xFF);
  EXPECT_EQ(unpack(out), row);
}

// Before each group three bytes of room must remain; there is no flushing.
TEST(PackBitsEncode, RoomCheckFailsBeforeTheEnd) {
  Bytes out(3);
  EXPECT_EQ(packBitsEncode(Bytes{0x55}, std::span<uint8_t>(out.data(), 2)), -1);
  EXPECT_EQ(packBitsEncode(Bytes{0x55}, std::span<uint8_t>(out.data(), 3)), 2);
  // Two groups of two bytes: the second needs bytes 2..4 free.
  Bytes big(8);
  EXPECT_EQ(packBitsEncode(Bytes{1, 1, 2, 2, 2}, std::span<uint8_t>(big.data(), 4)), -1);
  EXPECT_EQ(packBitsEncode(Bytes{1, 1, 2, 2, 2}, std::span<uint8_t>(big.data(), 5)), 4);
}

TEST(PackBitsEncodeRows, EachRowOnItsOwn) {
  Bytes input = repeat(20, 0);  // two rows of 10: the run does not cross the row boundary
  Bytes out(64);
  ASSERT_EQ(packBitsEncodeRows(input, out, 10), 4);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xF7, 0x00, 0xF7, 0x00}));
  // A shorter last row.
  input = repeat(13, 1);
  ASSERT_EQ(packBitsEncodeRows(input, out, 10), 4);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xF7, 0x01, 0xFE, 0x01}));
}

TEST(PackBitsEncodeRows, FailsWhenThePageOutgrowsItsBuffer) {
  const Bytes noise = distinct(64);
  Bytes out(noise.size());  // literals need one header per 128 bytes: never fits in n bytes
  EXPECT_EQ(packBitsEncodeRows(noise, out, 16), -1);
  EXPECT_EQ(packBitsEncodeRows(noise, out, 0), -1);
  EXPECT_EQ(packBitsEncodeRows(Bytes{}, out, 0), 0);
}

// Rows equal to the row before are copied from their coding. Pages of blank, repeated and
// changing rows (one with a shorter last row, one ending on a copy) code exactly as their rows
// coded one by one, in every output size from far too small to ample: the copy never succeeds
// where coding would fail.
TEST(PackBitsEncodeRows, RepeatedRowsCodeAsEachRowOnItsOwn) {
  const std::size_t rowBytes = 24;
  const Bytes blank = repeat(rowBytes, 0xFF);
  const Bytes text = concat({repeat(5, 0xFF), distinct(9), repeat(10, 0x00)});
  for (const Bytes& page : {concat({blank, blank, blank, text, text, blank, distinct(rowBytes), blank,
                                    Bytes(blank.begin(), blank.begin() + 7)}),
                            concat({blank, blank, blank, text, text})}) {
    Bytes expected;
    for (std::size_t start = 0; start < page.size(); start += rowBytes) {
      const std::size_t length = std::min(rowBytes, page.size() - start);
      const Bytes row = encode(Bytes(page.begin() + start, page.begin() + start + length));
      expected.insert(expected.end(), row.begin(), row.end());
    }
    for (std::size_t room = 0; room <= expected.size() + 4; ++room) {
      Bytes out(room);
      const std::ptrdiff_t n = packBitsEncodeRows(page, out, rowBytes);
      // Coding alone: the room check of every row against what is left of the output.
      Bytes single(room);
      std::size_t at = 0;
      std::ptrdiff_t reference = 0;
      for (std::size_t start = 0; start < page.size() && reference >= 0; start += rowBytes) {
        const std::size_t length = std::min(rowBytes, page.size() - start);
        const std::ptrdiff_t m = packBitsEncode(std::span<const uint8_t>(page).subspan(start, length),
                                                std::span<uint8_t>(single).subspan(at));
        reference = m < 0 ? -1 : reference + m;
        if (m > 0) at += static_cast<std::size_t>(m);
      }
      ASSERT_EQ(n, reference) << "page of " << page.size() << ", room " << room;
      if (n >= 0) {
        EXPECT_EQ(Bytes(out.begin(), out.begin() + n), expected) << "room " << room;
      }
    }
  }
}

// Random rows with long and short runs: decode(encode(x)) == x, and the output never grows
// beyond the worst case of one header per 128 bytes.
TEST(PackBitsEncode, RoundTripsRandomRows) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes row;
    const std::size_t length = gen() % 700;
    while (row.size() < length) {
      const uint8_t b = static_cast<uint8_t>(gen() % 4);  // few values: many runs and pairs
      const std::size_t n = (gen() % 3 == 0) ? gen() % 300 : 1 + gen() % 3;
      row.insert(row.end(), std::min(n, length - row.size()), b);
    }
    const Bytes out = encode(row, row.size() + row.size() / 128 + 8);
    ASSERT_NE(out, (Bytes{0xDE, 0xAD}));
    EXPECT_EQ(unpack(out), row) << "trial " << trial;
    EXPECT_LE(out.size(), row.size() + (row.size() + 127) / 128);
  }
}

// Runs are measured a machine word at a time: a run ending at every byte of a word, behind every
// offset, still decodes to the row.
TEST(PackBitsEncode, RunsEndingAtEveryByteOfAWord) {
  for (std::size_t offset = 0; offset < 9; ++offset) {
    for (std::size_t length = 1; length < 30; ++length) {
      const Bytes row = concat({distinct(offset), repeat(length, 0xFF), distinct(3)});
      EXPECT_EQ(unpack(encode(row)), row) << "offset " << offset << " length " << length;
      const Bytes tail = concat({distinct(offset), repeat(length, 0x00)});
      EXPECT_EQ(unpack(encode(tail)), tail) << "offset " << offset << " length " << length;
    }
  }
}

// libtiff's PackBits coder, applied to the same rows through a TIFF file, decodes our output to
// the same rows and, with room to spare, produces the same bytes.
TEST(PackBitsEncodeRows, MatchesLibtiffOnBitmaps) {
  for (uint32_t width : {8u, 1728u, 2560u}) {
    const uint32_t rows = 40;
    const test::Bitmap bitmapPage = test::makePage(test::Pattern::kRuns63And64, width, rows, width);
  const Bytes bitmap = bitmapPage.bits;
    const std::size_t rowBytes = (width + 7) / 8;
    Bytes ours(bitmap.size() * 2 + 16);
    const std::ptrdiff_t n = packBitsEncodeRows(bitmap, ours, rowBytes);
    ASSERT_GT(n, 0);
    ours.resize(static_cast<std::size_t>(n));
    const Bytes theirs = test::encodeStrip(bitmapPage, COMPRESSION_PACKBITS);
    EXPECT_EQ(ours, theirs) << "width " << width;
    EXPECT_EQ(unpack(ours), bitmap);
  }
}

}  // namespace
}  // namespace tarnwell
