// Fuzzes the PackBits encoder: any row, any room. The encoder must stay inside its output, and
// what it produces must decode back to the row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "faxin/readers/PackBits.h"

namespace {

std::vector<uint8_t> unpack(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // First two bytes: room of the output and the row length for the several-row call.
  const std::size_t room = data[0] * 4u;
  const std::size_t rowLength = data[1];
  const std::span<const uint8_t> row(data + 2, size - 2);

  std::vector<uint8_t> out(room);
  const std::ptrdiff_t n = tarnwell::packBitsEncode(row, out);
  if (n > static_cast<std::ptrdiff_t>(room)) std::abort();
  if (n >= 0 && unpack(std::span<const uint8_t>(out.data(), static_cast<std::size_t>(n))) !=
                    std::vector<uint8_t>(row.begin(), row.end())) {
    std::abort();
  }

  const std::ptrdiff_t m = tarnwell::packBitsEncodeRows(row, out, rowLength);
  if (m > static_cast<std::ptrdiff_t>(room)) std::abort();
  if (m >= 0 && unpack(std::span<const uint8_t>(out.data(), static_cast<std::size_t>(m))) !=
                    std::vector<uint8_t>(row.begin(), row.end())) {
    std::abort();
  }
  return 0;
}
