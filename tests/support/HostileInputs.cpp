#include "support/HostileInputs.h"

#include <algorithm>

#include "support/BitWriter.h"
#include "support/Ig4DsFiles.h"
#include "support/TiffBytes.h"

namespace tarnwell::test {

namespace {

void put(std::vector<uint8_t>& out, std::size_t at, uint32_t value, int bytes) {
  putLe(out, at, value, bytes);
}

// A one-bit BMP header (40-byte information header, two-entry colour table) declaring
// width x height with the pixel rows said to start at `pixelOffset`; no pixel bytes follow.
std::vector<uint8_t> bmpHeader(uint32_t width, uint32_t height, uint32_t pixelOffset) {
  std::vector<uint8_t> file{'B', 'M'};
  put(file, 2, 62, 4);
  put(file, 10, pixelOffset, 4);
  put(file, 14, 40, 4);
  put(file, 18, width, 4);
  put(file, 22, height, 4);
  put(file, 26, 1, 2);
  put(file, 28, 1, 2);
  put(file, 30, 0, 4);
  put(file, 34, 0, 4);
  put(file, 46, 2, 4);
  put(file, 54, 0x00000000, 4);  // black
  put(file, 58, 0x00FFFFFF, 4);  // white
  file.resize(62);
  return file;
}

// A PCX page header, one bit per pixel, one plane.
std::vector<uint8_t> pcxHeader(uint16_t width, uint16_t rows, uint16_t planeRowBytes) {
  std::vector<uint8_t> page(128, 0);
  page[0] = 0x0A;
  page[1] = 5;
  page[2] = 1;
  page[3] = 1;
  put(page, 8, width - 1u, 2);
  put(page, 10, rows - 1u, 2);
  put(page, 12, 200, 2);
  put(page, 14, 200, 2);
  page[65] = 1;
  put(page, 66, planeRowBytes, 2);
  return page;
}

// Modified Huffman rows of 1728 pixels with EOLs: a white run to x, a black run of 4, white to
// the end, x moving along; about 1,000 rows per 4 KB.
std::vector<uint8_t> t4Rows(std::size_t bytes) {
  BitWriter w;
  // white 64 + white 0 | black 4 | white 1600 + white 60
  const std::string_view row = "000000000001 11011 00110101 011 010011000 01001011";
  while (w.bitCount() / 8 < bytes) w.put(row);
  std::vector<uint8_t> out = w.bytes();
  out.resize(bytes, 0);
  return out;
}

// A little-endian TIFF of one directory behind its image data: `entries` is given the data's
// offset.
template <typename Entries>
std::vector<uint8_t> oneDirectoryTiff(const std::vector<uint8_t>& data, Entries entries) {
  TiffBytes t;
  const uint32_t dataAt = t.append(data);
  const uint32_t directory = t.directory(entries(dataAt));
  t.link(0, directory);
  return t.bytes();
}

// A QLIIFAX file of 375 page-table entries, entry i naming the page at entry(i), over one page of
// ~950 KB of rows that begins at byte 1532, behind the table.
template <typename Entry>
std::vector<uint8_t> qliiFax(Entry entry) {
  constexpr int kEntries = 375;
  std::vector<uint8_t> file(1532, 0);
  const char signature[] = "QLIIFAX";
  std::copy(signature, signature + 7, file.begin());
  put(file, 8, kEntries, 2);
  put(file, 10, 0xFFFF, 2);
  put(file, 12, 0xFFFF, 4);
  put(file, 16, 1, 2);
  for (int i = 0; i < kEntries; ++i) put(file, 32 + 4 * i, entry(i), 4);
  const std::vector<uint8_t> rows = t4Rows(950 * 1024);
  file.insert(file.end(), rows.begin(), rows.end());
  return file;
}

}  // namespace

std::vector<HostileInput> hostileInputs() {
  std::vector<HostileInput> set;

  // BMP: 62 bytes declaring 65536 x 16384 pixels, no pixel data.
  set.push_back({"declared-huge.bmp", bmpHeader(65536, 16384, 62)});
  // BMP whose pixel rows would start past the end of the file.
  set.push_back({"offset-past-end.bmp", bmpHeader(1728, 100, 100000)});

  {
    // DCX: a table listing one 64-row page of alternating pixels 1023 times.
    std::vector<uint8_t> file;
    put(file, 0, 987654321, 4);
    const uint32_t pageAt = 4 + 4 * 1024;
    for (int i = 0; i < 1023; ++i) put(file, 4 + 4 * i, pageAt, 4);
    put(file, 4 + 4 * 1023, 0, 4);
    std::vector<uint8_t> page = pcxHeader(1728, 64, 216);
    for (int row = 0; row < 64; ++row) {
      for (int left = 216; left > 0; left -= 63) {
        page.push_back(static_cast<uint8_t>(0xC0 + std::min(left, 63)));
        page.push_back(0x55);
      }
    }
    file.insert(file.end(), page.begin(), page.end());
    set.push_back({"repeated-page.dcx", std::move(file)});
  }
  {
    // DCX: one page declaring 16,000 x 4,000 pixels (8 MB, within the engine's budget for any
    // file) with 10 bytes of row data, and one declaring 32,000 x 32,000 with none.
    std::vector<uint8_t> file;
    put(file, 0, 987654321, 4);
    put(file, 4, 12, 4);
    put(file, 8, 0, 4);
    std::vector<uint8_t> page = pcxHeader(16000, 4000, 2000);
    for (int i = 0; i < 5; ++i) {
      page.push_back(0xFF);
      page.push_back(0xFF);
    }
    file.insert(file.end(), page.begin(), page.end());
    set.push_back({"declared-large.dcx", file});
    file.resize(12);
    page = pcxHeader(32000, 32000, 4000);
    file.insert(file.end(), page.begin(), page.end());
    set.push_back({"declared-huge.dcx", std::move(file)});
  }
  // Tiled TIFF: 320 x 64768 pixels in 16 x 16 tiles (80,960 tiles), one tile position listed.
  set.push_back({"sparse-tiles.tif",
                 oneDirectoryTiff(std::vector<uint8_t>(32, 0), [](uint32_t tile) {
                   return std::vector<RawEntry>{{256, 3, 1, 320}, {257, 3, 1, 64768},
                                                {258, 3, 1, 1},   {259, 3, 1, 1},
                                                {262, 3, 1, 0},   {322, 3, 1, 16},
                                                {323, 3, 1, 16},  {324, 4, 1, tile},
                                                {325, 4, 1, 32}};
                 })});
  // Striped TIFF (a fuzz campaign's slow unit): 64 x 65287 pixels uncompressed in strips of 8
  // rows, one strip position listed for 8,161 strips.
  set.push_back({"sparse-strips.tif",
                 oneDirectoryTiff(std::vector<uint8_t>(64, 0), [](uint32_t strip) {
                   return std::vector<RawEntry>{{256, 3, 1, 64}, {257, 3, 1, 65287},
                                                {259, 3, 1, 1},  {262, 3, 1, 0},
                                                {273, 4, 1, strip}, {278, 3, 1, 8},
                                                {279, 4, 1, 64}};
                 })});
  // Striped TIFF: a Group 4 page declaring 65535 x 65535 pixels, 100 bytes of coded data.
  set.push_back({"declared-huge.fmf",
                 oneDirectoryTiff(std::vector<uint8_t>(100, 0xFF), [](uint32_t strip) {
                   return std::vector<RawEntry>{{256, 3, 1, 65535}, {257, 3, 1, 65535},
                                                {258, 3, 1, 1},     {259, 3, 1, 4},
                                                {262, 3, 1, 0},     {273, 4, 1, strip},
                                                {278, 3, 1, 65535}, {279, 4, 1, 100}};
                 })});
  // QLIIFAX: 375 table entries all naming one page that runs to the end of the file (~950 KB).
  set.push_back({"repeated-page.qfx", qliiFax([](int) { return 1532u; })});
  // QLIIFAX: 375 entries one byte apart, in falling order, into one page of ~950 KB.
  set.push_back(
      {"falling-table.qfx", qliiFax([](int i) { return static_cast<uint32_t>(1532 + 374 - i); })});
  {
    // IG4 declaring 65535 x 65535 pixels over ~68 KB of blank Group 4 strips.
    std::vector<std::vector<uint8_t>> strips(66, std::vector<uint8_t>(1024, 0xFF));
    set.push_back({"declared-huge.ig4", buildIg4(strips, 65535, 65535, 993).bytes});
  }
  {
    // CALS and ED declaring 4096 x 16384 pixels (8 MB) over 1 KB of blank Group 4 rows.
    std::vector<uint8_t> cals(2048, ' ');
    const std::string records[][2] = {{"srcdocid: NONE", "0"},
                                      {"rtype: 1", "128"},
                                      {"rpelcnt: 4096,16384", "1024"},
                                      {"rdensty: 200", "1152"}};
    for (const auto& r : records) {
      std::copy(r[0].begin(), r[0].end(), cals.begin() + std::stoi(r[1]));
    }
    cals.insert(cals.end(), 1024, 0xFF);
    set.push_back({"declared-large.cal", std::move(cals)});

    std::vector<uint8_t> ed{0xFF, 0xFF, 0x00, 0x01};
    ed.resize(740, 0);
    ed[614] = 0;
    ed[615] = 200;
    ed[734] = 0x40;  // rows 16384
    ed[738] = 0x10;  // width 4096
    ed.insert(ed.end(), 1024, 0xFF);
    set.push_back({"declared-large.ed", std::move(ed)});
  }
  // Raw: 1 MB of 0xFF (Group 4 rows equal to the row above, or flags).
  set.push_back({"ones-1m.raw", std::vector<uint8_t>(1024 * 1024, 0xFF)});
  return set;
}

}  // namespace tarnwell::test
