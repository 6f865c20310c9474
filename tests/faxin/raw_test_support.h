#pragma once

// Fixtures for the raw fax reader tests: bare streams cut out of TIFF strips that libtiff encodes
// (an independent codec), pbmtog3 streams, and the marks fax pages carry (RTC, damaged rows).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/BitWriter.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell::rawtest {

using test::Bitmap;

// The codings of bare fax streams; Group 3 streams carry fill bits before every EOL.
enum class Coding { kG3OneD, kG3TwoD, kG4 };

inline test::Codec codecOf(Coding coding) {
  return coding == Coding::kG4       ? test::Codec::kG4
         : coding == Coding::kG3TwoD ? test::Codec::kG3TwoDFill
                                     : test::Codec::kG3OneDFill;
}

// Text-like pages: dense words every 40 rows and rules that differ with the seed.
inline Bitmap makePage(uint32_t width, uint32_t rows, uint32_t seed) {
  return test::makePage(test::Pattern::kTextLines, width, rows, seed);
}

// The coded bytes libtiff produces for one page (one strip), in the given fill order.
inline std::vector<uint8_t> encodeStrip(const Bitmap& page, Coding coding, int fillOrder) {
  return test::encodeStrip(page, codecOf(coding), fillOrder);
}

// A path in the test program's own temporary tree (removed when the program ends).
inline std::string tempPath(const std::string& name) {
  static const test::TempTree tree;
  return tree.file(name);
}

// pbmtog3's stream for the bitmap (highest bit first, or reversed); empty when it cannot run.
inline std::vector<uint8_t> pbmtog3Stream(const Bitmap& page, bool reverseBits,
                                          const std::string& base) {
  const std::string pbm = base + ".pbm";
  const std::string g3 = base + ".g3";
  const std::string header = "P4\n" + std::to_string(page.width) + " " + std::to_string(page.rows) + "\n";
  std::vector<uint8_t> file(header.begin(), header.end());
  file.insert(file.end(), page.bits.begin(), page.bits.end());
  if (!test::writeBytes(pbm, file)) return {};
  const std::string command = std::string("pbmtog3 -quiet -nofixedwidth ") +
                              (reverseBits ? "-reversebits " : "") + test::shellQuote(pbm) + " > " +
                              test::shellQuote(g3);
  if (test::runCommand(command).exitCode != 0) return {};
  return test::readBytes(g3);
}

// Bytes written highest bit first, stored in the given fill order.
inline std::vector<uint8_t> inOrder(std::vector<uint8_t> msbFirst, int fillOrder) {
  if (fillOrder == 2) {
    for (uint8_t& b : msbFirst) b = test::reversedBits(b);
  }
  return msbFirst;
}

// Return to control: six EOLs (one-dimensional), or six EOLs each with tag bit 1 behind two fill
// bits (two-dimensional), as fax pages end.
inline std::vector<uint8_t> rtc(bool twoD, int fillOrder) {
  if (!twoD) {
    return inOrder({0x00, 0x10, 0x01, 0x00, 0x10, 0x01, 0x00, 0x10, 0x01}, fillOrder);
  }
  // 00 + (000000000001 1) x 6 = 80 bits.
  std::vector<uint8_t> bits;
  bits.assign(2, 0);
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < 11; ++k) bits.push_back(0);
    bits.push_back(1);
    bits.push_back(1);
  }
  std::vector<uint8_t> bytes(bits.size() / 8, 0);
  for (std::size_t i = 0; i < bits.size(); ++i) bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
  return inOrder(bytes, fillOrder);
}

// A damaged row: an EOL, a row of seven pixels (white 2, black 5), zero fill. For
// two-dimensional data the EOL carries tag bit 1.
inline std::vector<uint8_t> corruptedRow(bool twoD, int fillOrder) {
  // 0000 0000 0001 [1] 0111 0011 ...
  if (twoD) return inOrder({0x00, 0x1B, 0x98}, fillOrder);
  return inOrder({0x00, 0x17, 0x30}, fillOrder);
}

inline std::vector<uint8_t> junk(std::size_t n, unsigned seed) {
  std::vector<uint8_t> out(n);
  uint32_t state = seed + 7;
  for (uint8_t& b : out) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// Rows [first, first + count) of a bitmap.
inline test::Bitmap rowsOf(const test::Bitmap& b, uint32_t first, uint32_t count) {
  const auto bpr = static_cast<std::ptrdiff_t>(b.bytesPerRow());
  return test::Bitmap(b.width, count,
                      std::vector<uint8_t>(b.bits.begin() + first * bpr,
                                           b.bits.begin() + (first + count) * bpr));
}

}  // namespace tarnwell::rawtest
