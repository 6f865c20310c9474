// The whole-file fuzz targets skip inputs whose headers declare more than they decode
// (declaresTooMuch). Each skipped case here is the shape of an input that took over a campaign:
// the filter must keep seeing it, and must keep passing ordinary small pages.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "faxin/container_builders.h"
#include "fuzz/FuzzSupport.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using namespace test;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A one-bit TIFF directory with the given entries behind width and length.
std::vector<uint8_t> tiff(uint32_t width, uint32_t length, std::vector<RawEntry> more = {}) {
  std::vector<RawEntry> entries = {{256, 4, 1, width}, {257, 4, 1, length}, {258, 3, 1, 1},
                                   {259, 3, 1, 1},     {262, 3, 1, 0},      {273, 4, 1, 512},
                                   {279, 4, 1, 8}};
  entries.insert(entries.end(), more.begin(), more.end());
  return bytesOf(test::rawTiff({entries}, std::string(8, '\0'), 512));
}

// A DCX table listing one PCX page of width x rows `times` times.
std::vector<uint8_t> dcx(uint32_t width, uint32_t rows, uint32_t times) {
  const std::vector<uint8_t> page = buildPcx(Bitmap(width, rows));
  std::vector<uint8_t> file;
  putLe(file, 987654321, 4);
  const uint32_t pageAt = 4 + 4 * (times + 1);
  for (uint32_t i = 0; i < times; ++i) putLe(file, pageAt, 4);
  putLe(file, 0, 4);
  file.insert(file.end(), page.begin(), page.end());
  return file;
}

// A BMP header of the given width and height (negative: top row first) over one row of pixels.
std::vector<uint8_t> bmp(uint32_t width, int32_t height) {
  std::vector<uint8_t> file = buildBmp(Bitmap(width, 1));
  for (int b = 0; b < 4; ++b) {
    file[22 + b] = static_cast<uint8_t>(static_cast<uint32_t>(height) >> (8 * b));
  }
  return file;
}

TEST(FuzzFilter, SkipsWhatTheTargetsDoNotDecode) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    bool skipped;
  } cases[] = {
      {"not a file of any kind", bytesOf("plain text, no header"), false},
      {"TIFF page of 64,800 bytes", tiff(1728, 300), false},
      {"TIFF page of 65,664 bytes", tiff(1728, 304), true},
      // libtiff reads the first of two ImageLength entries, the fax view the last.
      {"TIFF length 64768 given first, 1 second", tiff(320, 64768, {{257, 3, 1, 1}}), true},
      {"TIFF length 1 given first, 64768 second", tiff(320, 1, {{257, 3, 1, 64768}}), true},
      {"TIFF of 16 tiles", tiff(64, 64, {{322, 3, 1, 16}, {323, 3, 1, 16}}), false},
      {"TIFF of 100 tiles", tiff(160, 160, {{322, 3, 1, 16}, {323, 3, 1, 16}}), true},
      // One row of 320 pixels padded to tiles of 4096 x 4096.
      {"TIFF tile grid far beyond its image", tiff(320, 1, {{322, 4, 1, 4096}, {323, 4, 1, 4096}}),
       true},
      {"DCX of one small page", dcx(64, 16, 1), false},
      {"DCX of 32 pages", dcx(8, 2, 32), false},
      {"DCX of 33 pages", dcx(8, 2, 33), true},
      {"DCX of 8,192 rows", dcx(1, 4096, 2), false},
      {"DCX of 12,291 rows", dcx(1, 4097, 3), true},
      {"DCX page of 1728 x 400", dcx(1728, 400, 1), true},
      {"CALS page of 1728 x 200", buildCals({}, "1728,200", "200"), false},
      {"CALS page of 2550 x 3300", buildCals({}, "2550,3300", "300"), true},
      {"ED page of 1728 x 200", buildEd({}, 1728, 200, 200), false},
      {"ED page of 1728 x 2200", buildEd({}, 1728, 2200, 200), true},
      {"BMP page of 1728 x 200", bmp(1728, 200), false},
      {"BMP page of 1728 x -200", bmp(1728, -200), false},
      {"BMP page of 8 x 16,777,230", bmp(8, 16777230), true},
      {"BMP page of 8 x -16,777,230", bmp(8, -16777230), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fuzz::declaresTooMuch(c.bytes), c.skipped) << c.name;
  }
}

}  // namespace
}  // namespace tarnwell
