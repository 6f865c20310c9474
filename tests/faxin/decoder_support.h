#pragma once

// Test helpers for the fax decoder tests: bilevel pages generated in code, libtiff as an
// independent Group 3 / Group 4 encoder and decoder, and a bit writer for hand-built streams.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell::test {

// A bilevel page, 1 bits black, rows padded to whole bytes, padding bits 0.
struct TestPage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bits;
  int bytesPerRow() const { return (width + 7) / 8; }
  bool black(int x, int y) const;
  void setBlack(int x, int y);
};

enum class Pattern {
  kText, kRandomRuns, kAllWhite, kAllBlack, kStripes, kCheckerboard, kLongRuns,
  kFramedText,  // text inside a one-pixel black frame: rows reach both page edges
};
const char* patternName(Pattern p);
TestPage makePage(Pattern pattern, int width, int height, uint32_t seed);

// The libtiff codecs the tests compare against.
enum class Codec { kMH, kMHWord, kG3OneD, kG3OneDFill, kG3TwoD, kG3TwoDFill, kG4 };
const char* codecName(Codec c);
uint8_t codecCoding(Codec c);  // our FaxCoding code for the codec's data

struct Encoded {
  bool ok = false;
  std::vector<uint8_t> raw;      // the strip as stored (fill order applied)
  std::vector<uint8_t> decoded;  // libtiff's own decode of the strip (1 bits black)
  bool decodedOk = false;        // libtiff decoded the strip without reporting an error
};
// Encodes the page as one strip with libtiff (photometric min-is-white) and reads it back.
Encoded encodeWithLibtiff(const TestPage& page, Codec codec, int fillOrder);

// Bits as text ("0001 1" - blanks ignored), highest bit first; pads with 0 bits to a byte.
class BitWriter {
 public:
  BitWriter& put(std::string_view bits);
  // Reverses every byte (least significant bit first data).
  std::vector<uint8_t> bytes(bool reversed = false) const;
  std::size_t bitCount() const { return bits_.size(); }

 private:
  std::vector<bool> bits_;
};

// A bitmap row of `width` pixels from our decoder (photometric 1: 1 bits black) equals the
// test page's row when both are compared bit for bit over the width.
bool rowsEqual(const uint8_t* a, const uint8_t* b, int width);

std::string uniqueTempPath(const std::string& stem);

}  // namespace tarnwell::test
