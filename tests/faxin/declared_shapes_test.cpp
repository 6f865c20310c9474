// Shapes of inputs whose headers declare far more than they hold; each once took over a fuzz
// campaign, when the harness skipped them. The engine now meets them with its own limits: the
// page it describes stays within its budget for the file, and the intermediate TIFF it writes
// stays in proportion to the input.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "faxin/FaxConverter.h"
#include "faxin/tiff/TiffPageDescriber.h"
#include "support/ContainerBuilders.h"
#include "faxin/engine_settings.h"
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

TEST(DeclaredShapes, StayWithinTheEnginesLimits) {
  const struct {
    const char* name;
    FaxFormat format;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"not a file of any kind", FaxFormat::kFmf, bytesOf("plain text, no header")},
      {"TIFF page of 64,800 bytes", FaxFormat::kFmf, tiff(1728, 300)},
      {"TIFF page of 65,664 bytes", FaxFormat::kFmf, tiff(1728, 304)},
      // libtiff reads the first of two ImageLength entries, the fax view the last.
      {"TIFF length 64768 given first, 1 second", FaxFormat::kFmf,
       tiff(320, 64768, {{257, 3, 1, 1}})},
      {"TIFF length 1 given first, 64768 second", FaxFormat::kFmf,
       tiff(320, 1, {{257, 3, 1, 64768}})},
      {"TIFF of 16 tiles", FaxFormat::kFmf, tiff(64, 64, {{322, 3, 1, 16}, {323, 3, 1, 16}})},
      {"TIFF of 100 tiles", FaxFormat::kFmf, tiff(160, 160, {{322, 3, 1, 16}, {323, 3, 1, 16}})},
      // One row of 320 pixels padded to tiles of 4096 x 4096.
      {"TIFF tile grid far beyond its image", FaxFormat::kFmf,
       tiff(320, 1, {{322, 4, 1, 4096}, {323, 4, 1, 4096}})},
      {"DCX of one small page", FaxFormat::kDcx, dcx(64, 16, 1)},
      {"DCX of 33 pages", FaxFormat::kDcx, dcx(8, 2, 33)},
      {"DCX of 12,291 rows", FaxFormat::kDcx, dcx(1, 4097, 3)},
      {"DCX page of 1728 x 400", FaxFormat::kDcx, dcx(1728, 400, 1)},
      {"DCX page listed 1023 times", FaxFormat::kDcx, dcx(1728, 64, 1023)},
      {"CALS page of 1728 x 200", FaxFormat::kCals, buildCals({}, "1728,200", "200")},
      {"CALS page of 2550 x 3300", FaxFormat::kCals, buildCals({}, "2550,3300", "300")},
      {"ED page of 1728 x 2200", FaxFormat::kEd, buildEd({}, 1728, 2200, 200)},
      {"BMP page of 1728 x 200", FaxFormat::kBmp, bmp(1728, 200)},
      {"BMP page of 1728 x -200", FaxFormat::kBmp, bmp(1728, -200)},
      {"BMP page of 8 x 16,777,230", FaxFormat::kBmp, bmp(8, 16777230)},
      {"BMP page of 8 x -16,777,230", FaxFormat::kBmp, bmp(8, -16777230)},
  };
  TempTree dir;
  const std::string source = dir.file("in");
  const std::string output = dir.file("trwintif.tmp");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(writeBytes(source, c.bytes));
    std::filesystem::remove(output);
    FaxConverter engine(setupIn(dir));
    (void)engine.open(source, c.format);
    EXPECT_LE(engine.page().bitmap.size(), describeLimitsForFile(c.bytes.size()).maxBitmapBytes);
    if (!engine.hasPages()) continue;
    (void)engine.convert(output);
    if (std::filesystem::exists(output)) {
      EXPECT_LE(std::filesystem::file_size(output),
                std::max<uint64_t>(64 * 1024, 16 * uint64_t{c.bytes.size()}));
    }
  }
}

}  // namespace
}  // namespace tarnwell
