// The two arrangements of the Group 4 row decoder (the plain one and the one for busy rows)
// decode every row alike: the same end, length, changes, code end bit and reader position, row
// after row, over coded pages of every kind, whole and damaged (bits flipped, bytes cut off).

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "codec/FaxBitReader.h"
#include "codec/FaxRowDecoding.h"
#include "decoder_support.h"

namespace tarnwell {
namespace {

using faxrow::ChangeList;
using faxrow::decodeRow2D;
using faxrow::RowResult;

// One decoding state: a reader and its two rows.
struct RowState {
  RowState(const std::vector<uint8_t>& bytes, int bitOrder, int32_t width) : reader(bytes, bitOrder) {
    ref.seal(width);
  }
  FaxBitReader reader;
  ChangeList ref;
  ChangeList cur;
};

// Decodes the data row by row with both arrangements side by side and compares every outcome.
// After a row that is not complete, the reference row starts white again and, when the row took
// no bits, one bit is skipped, so that damaged data is followed to its end.
void expectSameRows(const std::vector<uint8_t>& bytes, int bitOrder, int32_t width) {
  RowState plain(bytes, bitOrder, width);
  RowState busy(bytes, bitOrder, width);
  const uint64_t end = plain.reader.bitSize();
  for (int row = 0; row < 20000; ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const uint64_t start = plain.reader.bitPosition();
    const RowResult a =
        decodeRow2D<true>(plain.reader, width, plain.ref.data(), plain.ref.count(), plain.cur);
    const RowResult b =
        decodeRow2D<true, true>(busy.reader, width, busy.ref.data(), busy.ref.count(), busy.cur);
    ASSERT_EQ(a.end, b.end);
    ASSERT_EQ(a.length, b.length);
    ASSERT_EQ(a.codeEndBit, b.codeEndBit);
    ASSERT_EQ(plain.reader.bitPosition(), busy.reader.bitPosition());
    ASSERT_EQ(std::vector<int32_t>(plain.cur.changes().begin(), plain.cur.changes().end()),
              std::vector<int32_t>(busy.cur.changes().begin(), busy.cur.changes().end()));
    if (a.end == FaxRowEnd::kDataEnd || plain.reader.bitPosition() >= end) return;
    for (RowState* s : {&plain, &busy}) {
      if (a.end == FaxRowEnd::kComplete) {
        s->ref.swap(s->cur);
      } else {
        s->ref.clear();
        if (s->reader.bitPosition() == start) s->reader.seekBit(start + 1);
      }
      s->ref.seal(width);
    }
  }
}

// Pages of every kind of row: text and line art (mostly vertical mode), random runs, noise and
// checkerboards (horizontal mode), rows whose changes wander (every mode, in any order).
struct PageKind {
  const char* name;
  test::Bitmap (*make)(int width);
};
constexpr int kRows = 64;
const PageKind kPages[] = {
    {"Text", [](int w) { return test::makePage(test::Pattern::kText, w, kRows, 7); }},
    {"TextLines", [](int w) { return test::makePage(test::Pattern::kTextLines, w, kRows, 7); }},
    {"RandomRuns", [](int w) { return test::makePage(test::Pattern::kRandomRuns, w, kRows, 7); }},
    {"Checkerboard", [](int w) { return test::makePage(test::Pattern::kCheckerboard, w, kRows, 7); }},
    {"Noise", [](int w) { return test::makeNoisePage(w, kRows, 300, 7); }},
    {"Jitter", [](int w) { return test::makeJitterPage(w, kRows, 4, 7); }},
};

using Param = std::tuple<int, int, int>;  // page kind, width, fill order

class DecoderRowArrangements : public ::testing::TestWithParam<Param> {};

TEST_P(DecoderRowArrangements, DecodeEveryRowAlike) {
  const auto [kind, width, fillOrder] = GetParam();
  const test::Encoded enc = test::encodeWithLibtiff(kPages[kind].make(width), test::Codec::kG4,
                                                    fillOrder);
  ASSERT_TRUE(enc.ok);
  {
    SCOPED_TRACE("whole");
    expectSameRows(enc.raw, fillOrder, width);
  }
  std::mt19937 rng(static_cast<uint32_t>(width * 31 + fillOrder));
  for (int trial = 0; trial < 12; ++trial) {
    SCOPED_TRACE("damaged " + std::to_string(trial));
    std::vector<uint8_t> bytes = enc.raw;
    const int flips = 1 + trial % 4;
    for (int k = 0; k < flips; ++k) {
      const std::size_t bit = rng() % (bytes.size() * 8);
      bytes[bit / 8] = static_cast<uint8_t>(bytes[bit / 8] ^ (1u << (bit % 8)));
    }
    if (trial % 3 == 2) bytes.resize(rng() % bytes.size());
    expectSameRows(bytes, fillOrder, width);
  }
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
  const auto [kind, width, fillOrder] = info.param;
  return std::string(kPages[kind].name) + "_" + std::to_string(width) + "_Fill" +
         std::to_string(fillOrder);
}

INSTANTIATE_TEST_SUITE_P(Pages, DecoderRowArrangements,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kPages))),
                                            ::testing::Values(1728, 63, 2561),
                                            ::testing::Values(1, 2)),
                         paramName);

}  // namespace
}  // namespace tarnwell
