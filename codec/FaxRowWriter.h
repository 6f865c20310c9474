#pragma once

#include <cstdint>
#include <span>

namespace tarnwell {

// Paints runs into one bilevel row (highest bit first, padded to whole bytes). The row is
// expected to start cleared (all 0 bits). Runs are clipped at the row end, so nothing is ever
// written outside the row.
class FaxRowWriter {
 public:
  FaxRowWriter() = default;
  FaxRowWriter(std::span<uint8_t> row, int32_t width) { reset(row, width); }

  // Starts at the beginning of `row`, whose first width bits are the row's pixels.
  void reset(std::span<uint8_t> row, int32_t width);

  // colourFlag not 0: advances length bits, leaving them 0; colourFlag 0: sets length bits to 1.
  // A run that starts at or beyond the row end returns -1 and writes nothing; otherwise 0 (a run
  // reaching past the row end is cut there).
  int writeRun(int64_t length, int colourFlag);

  int64_t position() const { return position_; }
  std::size_t byteIndex() const { return static_cast<std::size_t>(position_ >> 3); }
  int bitOffset() const { return static_cast<int>(position_ & 7); }

 private:
  uint8_t* row_ = nullptr;
  int64_t width_ = 0;
  int64_t position_ = 0;
};

// Sets the bits [from, to) of a row to 1 (highest bit first). The caller keeps to within the row.
void setBitRange(uint8_t* row, int64_t from, int64_t to);

// Paints a whole row from its colour changes (as the decoding loops report them, first run
// white): the first (width + 7) / 8 bytes of `row` are rewritten; a pixel before `length` gets a
// 1 bit when its colour XOR photometric is 0 (white pixels when photometric is 0), every other
// bit is 0. Widths beyond the bytes of `row` are cut to them.
void paintRow(std::span<const int32_t> changes, int64_t length, int32_t width, int photometric,
              std::span<uint8_t> row);

}  // namespace tarnwell
