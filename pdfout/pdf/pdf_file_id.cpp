#include "pdfout/pdf/pdf_file_id.h"

#include <cstdint>
#include <cstdio>

namespace tarnwell {
namespace {

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;

// The state `steps` steps after state 1. n steps of x -> a*x + c are x -> A*x + C; squaring the
// step halves the work each round, so a position far into a batch costs a few dozen products.
uint32_t stateAfter(unsigned long long steps) {
  uint32_t a = kMultiplier, c = kIncrement;
  uint32_t totalA = 1, totalC = 0;
  for (; steps != 0; steps >>= 1) {
    if ((steps & 1) != 0) {
      totalA *= a;
      totalC = totalC * a + c;
    }
    c *= a + 1;
    a *= a;
  }
  return totalA + totalC;
}

}  // namespace

std::string pdfFileIdentifier(unsigned long long position) {
  uint32_t state = stateAfter(position);
  std::string id;
  for (int i = 0; i < kPdfIdRandomValues; ++i) {
    state = state * kMultiplier + kIncrement;
    const uint32_t value = (state >> 16) & 0x7FFF;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%.2X%.2X0000", value & 0xFF, value >> 8);
    id += hex;
  }
  return id;
}

}  // namespace tarnwell
