#include "faxin/readers/PackBits.h"

#include <bit>
#include <cstring>

namespace tarnwell {

namespace {

enum class State : uint8_t {
  kBase,            // nothing open
  kLiteral,         // a literal is open and can take more bytes
  kRun,             // the last thing emitted was a run
  kLiteralThenRun,  // a run directly behind an open literal; short runs may fold into it
};

constexpr std::size_t kMaxRun = 128;
constexpr uint8_t kMaxLiteralHeader = 127;  // 128 literal bytes
constexpr uint8_t kRunChunkHeader = 0x81;   // -127: a run of 128
constexpr uint8_t kRunOfTwoHeader = 0xFF;   // -1: a run of 2

// Length of the run of equal bytes that starts at `pos` (at least 1). Compares eight bytes at a
// time: fax rows are mostly long white runs, and a byte-by-byte scan spent most of the encoding
// time there.
std::size_t runLength(std::span<const uint8_t> row, std::size_t pos) {
  const uint8_t* bytes = row.data();
  const std::size_t size = row.size();
  const uint8_t b = bytes[pos];
  const uint64_t pattern = 0x0101010101010101ull * b;
  std::size_t i = pos + 1;
  // Most bytes of a text row are single: settle those with one comparison.
  if (i == size || bytes[i] != b) return 1;
  ++i;
  while (size - i >= 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    const uint64_t diff = word ^ pattern;
    if (diff != 0) {
      // The first differing byte: the lowest one in memory order.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                 : std::countl_zero(diff);
      return i + static_cast<std::size_t>(bit / 8) - pos;
    }
    i += 8;
  }
  while (i < size && bytes[i] == b) ++i;
  return i - pos;
}

}  // namespace

std::ptrdiff_t packBitsEncode(std::span<const uint8_t> row, std::span<uint8_t> output) {
  const std::size_t end = output.size();
  std::size_t op = 0;
  std::size_t literalHeader = 0;
  State state = State::kBase;
  std::size_t pos = 0;

  while (pos < row.size()) {
    const uint8_t b = row[pos];
    std::size_t n = runLength(row, pos);
    pos += n;

    // Each pass handles b (n copies) in the current state; chunks of long runs and bytes handed
    // on after a state change come round again. Every pass either emits or changes state towards
    // one that emits, so the loop ends.
    for (;;) {
      if (op + 2 >= end) return -1;
      bool again = false;
      switch (state) {
        case State::kBase:
        case State::kRun:
        case State::kLiteral:
          if (n > 1) {
            // Emitting a run: behind an open literal it may later fold back into it.
            state = (state == State::kLiteral) ? State::kLiteralThenRun : State::kRun;
            if (n > kMaxRun) {
              output[op++] = kRunChunkHeader;
              output[op++] = b;
              n -= kMaxRun;
              again = true;
            } else {
              output[op++] = static_cast<uint8_t>(1 - static_cast<int>(n));
              output[op++] = b;
            }
          } else if (state == State::kLiteral) {
            output[op++] = b;
            if (++output[literalHeader] == kMaxLiteralHeader) state = State::kBase;
          } else {
            literalHeader = op;
            output[op++] = 0;
            output[op++] = b;
            state = State::kLiteral;
          }
          break;
        case State::kLiteralThenRun:
          if (n == 1 && output[op - 2] == kRunOfTwoHeader &&
              output[literalHeader] < kMaxLiteralHeader - 1) {
            // literal, run of two, single byte: one longer literal is shorter.
            output[op - 2] = output[op - 1];
            output[literalHeader] = static_cast<uint8_t>(output[literalHeader] + 2);
            state = output[literalHeader] == kMaxLiteralHeader ? State::kBase : State::kLiteral;
          } else {
            state = State::kRun;
          }
          again = true;
          break;
      }
      if (!again) break;
    }
  }
  return static_cast<std::ptrdiff_t>(op);
}

std::ptrdiff_t packBitsEncodeRows(std::span<const uint8_t> input, std::span<uint8_t> output,
                                  std::size_t rowLength) {
  if (input.empty()) return 0;
  if (rowLength == 0) return -1;
  std::size_t written = 0;
  // Where the row before this one was coded, and into how many bytes.
  std::size_t lastStart = 0;
  std::size_t lastOut = 0;
  std::size_t lastSize = 0;
  for (std::size_t start = 0; start < input.size(); start += rowLength) {
    const std::size_t length = rowLength < input.size() - start ? rowLength : input.size() - start;
    const std::span<const uint8_t> row = input.subspan(start, length);
    // A row equal to the one before codes to the same bytes, so they are copied: runs of blank
    // rows make up most of a fax page. The copy needs three bytes of room beyond them, as coding
    // the row again would have checked; with less, the row is coded and fails as it should.
    if (start > 0 && length == rowLength && lastSize + 3 <= output.size() - written &&
        std::memcmp(row.data(), input.data() + lastStart, length) == 0) {
      std::memmove(output.data() + written, output.data() + lastOut, lastSize);
    } else {
      const std::ptrdiff_t n = packBitsEncode(row, output.subspan(written));
      if (n < 0) return -1;
      lastSize = static_cast<std::size_t>(n);
    }
    lastStart = start;
    lastOut = written;
    written += lastSize;
    if (input.size() - start <= rowLength) break;
  }
  return static_cast<std::ptrdiff_t>(written);
}

}  // namespace tarnwell
