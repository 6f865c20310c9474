// Row outcomes of hand-coded Group 4 rows, change by change: the cases where a change cancels
// the one before it, where the search for b1 passes many reference changes at once, where a pass
// code reaches the end of the reference row, and where a vertical code points left of the row.
// Each row's end, length, changes and code end bit are fixed, in both bit orders and with the
// data read whole or through a small window of a byte source.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "codec/FaxBitReader.h"
#include "codec/FaxDecoder.h"
#include "support/BitWriter.h"

namespace tarnwell {
namespace {

using test::BitWriter;

struct Row {
  FaxRowEnd end;
  int64_t length;
  std::vector<int32_t> changes;
  uint64_t codeEndBit;
};

struct Case {
  const char* name;
  int width;
  std::vector<const char*> codes;  // bit strings, written one after another
  std::vector<Row> rows;
  int errors;
};

class RecordingSink final : public FaxRowSink {
 public:
  FaxSinkAction row(const FaxRowView& row) override {
    rows.push_back({row.end, row.length, {row.changes.begin(), row.changes.end()}, row.codeEndBit});
    return FaxSinkAction::kContinue;
  }
  std::vector<Row> rows;
};

// A byte source that is not in memory, so that the reader moves its window along the data.
class ChunkSource final : public FaxByteSource {
 public:
  explicit ChunkSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  std::size_t read(uint64_t at, std::span<uint8_t> into) override {
    return MemoryByteSource(bytes_).read(at, into);
  }

 private:
  std::vector<uint8_t> bytes_;
};

constexpr const char* kV0 = "1";
constexpr const char* kVL2 = "000010";
constexpr const char* kVL3 = "0000010";
constexpr const char* kPass = "0001";
constexpr const char* kH = "001";
constexpr const char* kW0 = "00110101";
constexpr const char* kW1 = "000111";
constexpr const char* kW3 = "1000";
constexpr const char* kW20 = "0001000";
constexpr const char* kB0 = "0000110111";
constexpr const char* kB1 = "010";
constexpr const char* kB2 = "11";

const Case kCases[] = {
    // Row 2: V0 places 3; VL2 puts a1 on a0 (b1 5 - 2 = 3), cancelling it: the row is white.
    // Row 3: a black run of 0 puts the second change on the first, cancelling both.
    {"VerticalAndHorizontalCancel",
     16,
     {kH, kW3, kB2, kV0, kV0, kVL2, kV0, kH, kW3, kB0, kV0},
     {{FaxRowEnd::kComplete, 16, {3, 5}, 10},
      {FaxRowEnd::kComplete, 16, {}, 18},
      {FaxRowEnd::kComplete, 16, {}, 36}},
     0},
    // Row 1 holds eight changes; row 2's b1 search after a horizontal pair to 22 passes all of
    // them to the sentinel; row 3 passes b1 20 and b2 22, then meets the sentinel.
    {"LongB1StepAndPass",
     32,
     {kH, kW1, kB1, kH, kW1, kB1, kH, kW1, kB1, kH, kW1, kB1, kV0,
      kH, kW20, kB2, kV0,
      kPass, kV0},
     {{FaxRowEnd::kComplete, 32, {1, 2, 3, 4, 5, 6, 7, 8}, 49},
      {FaxRowEnd::kComplete, 32, {20, 22}, 62},
      {FaxRowEnd::kComplete, 32, {}, 67}},
     0},
    // A pass code whose b2 is the end of the row completes the row.
    {"PassToTheRowEnd",
     16,
     {kH, kW3, kB2, kV0, kV0, kPass},
     {{FaxRowEnd::kComplete, 16, {3, 5}, 10}, {FaxRowEnd::kComplete, 16, {3}, 15}},
     0},
    // b1 at 1 and VL3: a1 would be left of the row's start.
    {"VerticalLeftOfTheRowStart",
     16,
     {kH, kW1, kB2, kV0, kVL3},
     {{FaxRowEnd::kComplete, 16, {1, 3}, 12}, {FaxRowEnd::kInvalid, 0, {}, 12}},
     1},
    // A white run of 0 at the row start: the row starts black.
    {"BlackAtTheRowStart",
     16,
     {kH, kW0, kB2, kV0},
     {{FaxRowEnd::kComplete, 16, {0, 2}, 14}},
     0},
};

class DecoderRowChanges : public ::testing::TestWithParam<std::tuple<Case, bool, bool>> {};

TEST_P(DecoderRowChanges, RowsAreExactlyAsCoded) {
  const auto& [c, reversed, chunked] = GetParam();
  BitWriter w;
  for (const char* code : c.codes) w.put(code);
  const std::vector<uint8_t> bytes = w.bytes(reversed);
  ChunkSource source(bytes);
  FaxBitReader reader;
  if (chunked) {
    reader.init(source, reversed ? 2 : 1, 8);
  } else {
    reader.init(bytes, reversed ? 2 : 1);
  }
  FaxLoopOptions options;
  options.width = c.width;
  options.markerCount = 0;
  RecordingSink sink;
  EXPECT_EQ(runT6(reader, options, sink), c.errors);
  // The data's end after the last row is a row of its own that ends there.
  ASSERT_GE(sink.rows.size(), c.rows.size());
  for (std::size_t k = 0; k < c.rows.size(); ++k) {
    SCOPED_TRACE("row " + std::to_string(k + 1));
    EXPECT_EQ(sink.rows[k].end, c.rows[k].end);
    EXPECT_EQ(sink.rows[k].length, c.rows[k].length);
    EXPECT_EQ(sink.rows[k].changes, c.rows[k].changes);
    EXPECT_EQ(sink.rows[k].codeEndBit, c.rows[k].codeEndBit);
  }
  for (std::size_t k = c.rows.size(); k < sink.rows.size(); ++k) {
    EXPECT_EQ(sink.rows[k].end, FaxRowEnd::kDataEnd);
  }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Case, bool, bool>>& info) {
  const auto& [c, reversed, chunked] = info.param;
  return std::string(c.name) + (reversed ? "_Reversed" : "_AsStored") +
         (chunked ? "_Chunked" : "_InMemory");
}

INSTANTIATE_TEST_SUITE_P(HandCoded, DecoderRowChanges,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool(),
                                            ::testing::Bool()),
                         caseName);

}  // namespace
}  // namespace tarnwell
