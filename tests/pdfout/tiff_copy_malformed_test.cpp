// Hostile sources: truncated and bit-flipped files, absurd sizes, directory loops, strips that
// lie about their place. The copy must end with a result code, never crash, hang or allocate
// on the word of a header (the sanitizer build checks the memory side).

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <span>

#include "pdfout/tiffio/messages.h"
#include "pdfout/pdf/t2p.h"
#include "pdfout/copy/tiff_copy.h"
#include "pdfout/tiffio/tiff_io.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

constexpr TiffCopyResult kCopied = TiffCopyResult::kCopied;

using test::RawEntry;

constexpr uint16_t kShort = 3, kLong = 4;

// Entries of a one-strip bilevel image whose data sits at `offset`.
std::vector<RawEntry> faxEntries(uint32_t width, uint32_t length, uint16_t compression,
                                 uint32_t offset, uint32_t bytes, uint32_t rowsPerStrip = 0) {
  return {{256, kLong, 1, width}, {257, kLong, 1, length},
          {258, kShort, 1, 1},    {259, kShort, 1, compression},
          {262, kShort, 1, 0},    {273, kLong, 1, offset},
          {277, kShort, 1, 1},    {278, kLong, 1, rowsPerStrip == 0 ? length : rowsPerStrip},
          {279, kLong, 1, bytes}};
}

class TiffCopyMalformed : public ::testing::Test {
 protected:
  void SetUp() override { silenceTiffMessages(); }
  TiffCopyResult copyBytes(const std::string& bytes, int compression = 6) {
    EXPECT_TRUE(test::writeText(in, bytes));
    TiffCopyOptions options;
    options.compression = compression;
    return tiff_copy_file({in, out, options}).result;
  }
  test::TempTree dir;
  std::string in = dir.file("in.tif"), out = dir.file("out.tif");
};

// Every prefix of valid files, G4 in one strip and G3 2-D in several, copies or fails cleanly.
TEST_F(TiffCopyMalformed, EveryTruncationEndsCleanly) {
  test::TiffImage g3 = test::bilevelImage(96, 40, COMPRESSION_CCITTFAX3, 3);
  g3.group3Options = GROUP3OPT_2DENCODING;
  g3.rowsPerStrip = 8;
  const std::string sources[] = {"g4.tif", "g3.tif"};
  ASSERT_TRUE(test::writeTiff(dir.file("g4.tif"),
                                      {test::bilevelImage(96, 40, COMPRESSION_CCITTFAX4, 1),
                                       test::bilevelImage(80, 10, COMPRESSION_CCITTFAX4, 2)}));
  ASSERT_TRUE(test::writeTiff(dir.file("g3.tif"), {g3}));
  for (const std::string& name : sources) {
    const std::string whole = test::readText(dir.file(name));
    for (size_t length = 0; length < whole.size(); ++length) {
      const TiffCopyResult result = copyBytes(whole.substr(0, length));
      EXPECT_NE(result, TiffCopyResult::kOutputFailed) << name << " cut at " << length;
    }
  }
}

// The copy from memory reads what the copy from a file reads: the same result for every prefix
// of a two-page Group 4 file and a PackBits file, and the same pages when the copy succeeds.
TEST_F(TiffCopyMalformed, BufferCopyMatchesFileCopy) {
  ASSERT_TRUE(test::writeTiff(in, {test::bilevelImage(96, 40, COMPRESSION_CCITTFAX4, 7),
                                   test::bilevelImage(64, 64, COMPRESSION_PACKBITS, 8)}));
  const std::string whole = test::readText(in);
  const std::string fromMemory = dir.file("memory.tif");
  std::vector<size_t> lengths;
  for (size_t length = 0; length < whole.size(); length += 7) lengths.push_back(length);
  lengths.push_back(whole.size());
  int copied = 0;
  for (size_t length : lengths) {
    const std::string cut = whole.substr(0, length);
    for (int compression : {6, -1}) {
      const TiffCopyResult fileResult = copyBytes(cut, compression);
      const TiffCopyResult memoryResult = tiff_copy_buffer(
          std::span(reinterpret_cast<const uint8_t*>(cut.data()), cut.size()), fromMemory,
          TiffCopyOptions{.compression = compression});
      ASSERT_EQ(memoryResult, fileResult) << "cut at " << length << ", compression " << compression;
      if (fileResult != kCopied) continue;
      ++copied;
      const std::vector<test::TiffPage> filePages = test::readTiffPages(out);
      const std::vector<test::TiffPage> memoryPages = test::readTiffPages(fromMemory);
      ASSERT_EQ(memoryPages.size(), filePages.size()) << "cut at " << length;
      for (size_t i = 0; i < filePages.size(); ++i)
        EXPECT_EQ(memoryPages[i].decoded, filePages[i].decoded) << "cut at " << length << " page " << i;
    }
  }
  EXPECT_GE(copied, 2);  // at least the whole file, with either compression choice
}

TEST_F(TiffCopyMalformed, FlippedBitsEndCleanly) {
  ASSERT_TRUE(test::writeTiff(dir.file("src.tif"),
                                      {test::bilevelImage(120, 30, COMPRESSION_CCITTFAX3, 5),
                                       test::bilevelImage(64, 64, COMPRESSION_PACKBITS, 6)}));
  const std::string whole = test::readText(dir.file("src.tif"));
  std::mt19937 rng(42);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = whole;
    for (int flips = 0; flips < 1 + round % 4; ++flips)
      bytes[rng() % bytes.size()] ^= static_cast<char>(1u << (rng() % 8));
    const TiffCopyResult result = copyBytes(bytes, round % 2 ? 6 : -1);
    EXPECT_NE(result, TiffCopyResult::kOutputFailed) << "round " << round;
  }
}

struct SizeCase {
  const char* name;
  uint32_t width, length, rowsPerStrip;
  uint16_t compression;
};

class TiffCopyAbsurdSize : public TiffCopyMalformed,
                           public ::testing::WithParamInterface<SizeCase> {};

// Sizes whose buffers would exceed any sane page are refused before allocating.
TEST_P(TiffCopyAbsurdSize, IsRefusedWithoutAllocating) {
  const SizeCase c = GetParam();
  const std::string data(64, '\0');
  const auto entries = faxEntries(c.width, c.length, c.compression, 200, 64, c.rowsPerStrip);
  const TiffCopyResult result = copyBytes(test::rawTiff({entries}, data, 200));
  EXPECT_NE(result, kCopied);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TiffCopyAbsurdSize,
    ::testing::Values(SizeCase{"huge_square_g4", 0x7FFFFFF0u, 0x7FFFFFF0u, 0, 4},
                      SizeCase{"huge_width_g3", 0xFFFFFFF0u, 2, 0, 3},
                      SizeCase{"tall_single_strip", 64, 0x7FFFFFFFu, 0, 4},
                      SizeCase{"wide_uncompressed", 0x40000000u, 64, 64, 1},
                      SizeCase{"tall_many_strips", 1728, 0x7FFFFFFFu, 1, 4},
                      SizeCase{"tall_many_uncompressed_strips", 8, 0x7FFFFFFFu, 1, 1},
                      // Sizes a big file could hold, declared by a file of a few hundred bytes.
                      SizeCase{"page_of_300_mb_g4", 40000, 60000, 0, 4},
                      SizeCase{"page_of_40_mb_g3", 20000, 16000, 0, 3},
                      SizeCase{"rows_of_40_mb", 0x14000000u, 2, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A page of 64 x 4104 pixels of 64764 one-bit samples (2 GB, uncompressed) declared by a
// file of 279 bytes is refused as a whole, not written out line by line (a fuzz input that
// took seconds and gigabytes of disk).
TEST_F(TiffCopyMalformed, PageLargerThanTheFileCouldHoldIsRefusedWhole) {
  std::vector<RawEntry> entries = faxEntries(64, 4104, 1, 200, 64, 64764);
  for (RawEntry& e : entries)
    if (e.tag == 277) e.value = 64764;
  EXPECT_NE(copyBytes(test::rawTiff({entries}, std::string(64, '\0'), 200), -1), kCopied);
  EXPECT_LT(std::filesystem::file_size(out), 1u << 20);
}

// A page of two rows 16,973,824 pixels wide in a file of a few hundred bytes (found by the
// whole-program fuzz target): its rows fit the budget, but libtiff's Group 4 encoder asked for
// 271 MB to write them. The output file is held to the source's budget too, so the page is
// refused whole instead.
TEST_F(TiffCopyMalformed, PageTooWideForTheEncoderIsRefusedWhole) {
  const std::vector<RawEntry> entries = faxEntries(16973824, 2, 3, 200, 64, 1);
  EXPECT_NE(copyBytes(test::rawTiff({entries}, std::string(64, '\0'), 200)), kCopied);
  EXPECT_LT(std::filesystem::file_size(out), 1u << 20);
}

// Found by the PDF-stage fuzz target: a tiled first image makes every image of the copy tiled,
// and a later image of one row gets tiles of 256 x 256. Each tile fits the budget, but together
// they pad the image to 256 times its size (88 MB written for a 5 KB file). The whole grid is held
// to the page's budget, and such an image is refused.
TEST_F(TiffCopyMalformed, TileGridFarLargerThanTheImageIsRefused) {
  test::TiffImage tiled = test::bilevelImage(16, 16, COMPRESSION_NONE, 1);
  tiled.tileWidth = 16;
  tiled.tileLength = 16;
  test::TiffImage row;
  row.width = 160000;
  row.length = 1;
  row.bitsPerSample = 8;
  row.photometric = PHOTOMETRIC_MINISBLACK;
  row.compression = COMPRESSION_ADOBE_DEFLATE;
  row.pixels.assign(160000, 0x80);
  ASSERT_TRUE(test::writeTiff(in, {tiled, row}));
  ASSERT_LT(std::filesystem::file_size(in), 32u * 1024);  // the budget stays at 32 MiB
  TiffCopyOptions options;
  options.compression = -1;
  EXPECT_NE(tiff_copy_file({in, out, options}).result, kCopied);
}

// A page's buffers follow what the file's bytes could hold: any file may have pages of 32 MiB,
// larger pages need 1 KiB of file for every MiB, and 512 MiB is the end.
TEST(TiffCopyBudget, FollowsTheFileSize) {
  constexpr uint64_t MiB = uint64_t{1} << 20;
  const struct {
    uint64_t fileBytes, budget;
  } cases[] = {
      {0, 32 * MiB},           {4096, 32 * MiB},         {32 * 1024, 32 * MiB},
      {32 * 1024 + 1, 32 * MiB + 1024}, {100 * 1024, 100 * MiB}, {512 * 1024, 512 * MiB},
      {600 * 1024, 512 * MiB}, {UINT64_MAX, 512 * MiB},
  };
  for (const auto& c : cases) EXPECT_EQ(pageBufferBudget(c.fileBytes), c.budget) << c.fileBytes;
}

// Real large pages from small files still go through the copy and the PDF writer: a blank
// bilevel page of 10000 x 14000 pixels in Group 3 (17.5 MB decoded from a few kilobytes) and a
// flat colour A4 page at 300 pixels per inch (26 MB) in LZW.
TEST_F(TiffCopyMalformed, LargeRealPagesOfSmallFilesConvert) {
  test::TiffImage blank;
  blank.width = 10000;
  blank.length = 14000;
  blank.compression = COMPRESSION_CCITTFAX3;
  blank.group3Options = GROUP3OPT_2DENCODING;
  blank.pixels.assign(size_t{10000} / 8 * 14000, 0);
  test::TiffImage colour;
  colour.width = 2480;
  colour.length = 3508;
  colour.bitsPerSample = 8;
  colour.samplesPerPixel = 3;
  colour.photometric = PHOTOMETRIC_RGB;
  colour.compression = COMPRESSION_LZW;
  colour.pixels.assign(size_t{2480} * 3508 * 3, 0xC8);
  for (const test::TiffImage& image : {blank, colour}) {
    SCOPED_TRACE(image.width);
    ASSERT_TRUE(test::writeTiff(in, {image}));
    ASSERT_LT(std::filesystem::file_size(in), 1u << 20);
    TiffCopyOptions options;
    options.compression = image.samplesPerPixel == 1 ? 6 : -1;
    ASSERT_EQ(tiff_copy_file({in, out, options}).result, kCopied);
    EXPECT_EQ(t2p_convert_file(out, dir.file("out.pdf")).result, T2pResult::kWritten);
    const std::string pdf = test::readText(dir.file("out.pdf"));
    EXPECT_NE(pdf.find("/Width " + std::to_string(image.width)), std::string::npos);
  }
}

// The PDF writer bounds its buffers the same way: a PDF-ready file of a few hundred bytes whose
// Group 3 page declares 40 MB is refused.
TEST_F(TiffCopyMalformed, PdfWriterRefusesLargePagesOfSmallFiles) {
  const std::string data(64, '\0');
  ASSERT_TRUE(test::writeText(in, test::rawTiff({faxEntries(20000, 16000, 3, 200, 64)}, data, 200)));
  EXPECT_NE(t2p_convert_file(in, dir.file("out.pdf")).result, T2pResult::kWritten);
}

// Directories that point back at themselves or at each other end the copy.
TEST_F(TiffCopyMalformed, DirectoryLoopsEnd) {
  test::TiffImage page = test::bilevelImage(64, 8, COMPRESSION_NONE);
  const std::string data(page.pixels.begin(), page.pixels.end());
  const auto entries = faxEntries(64, 8, 1, 400, static_cast<uint32_t>(data.size()));
  // One IFD whose next pointer is its own offset (8).
  std::string self = test::rawTiff({entries}, data, 400);
  const size_t next = 8 + 2 + 12 * entries.size();
  self[next] = 8;
  EXPECT_EQ(copyBytes(self), kCopied);
  EXPECT_EQ(test::countDirectories(out), 1);
  // Two IFDs pointing at each other.
  std::string pair = test::rawTiff({entries, entries}, data, 400);
  const size_t secondNext = next + 4 + 2 + 12 * entries.size();
  pair[secondNext] = 8;
  EXPECT_EQ(copyBytes(pair), kCopied);
  EXPECT_EQ(test::countDirectories(out), 2);
  // The same loop reached through an image list.
  EXPECT_EQ(tiff_copy_file({in + ",1,0,5", out, TiffCopyOptions{}}).result, kCopied);
  EXPECT_EQ(test::countDirectories(out), 2);
}

struct StripCase {
  const char* name;
  uint16_t compression;
  uint32_t offset, bytes;  // where the strip claims to be
};

class TiffCopyBadStrip : public TiffCopyMalformed,
                         public ::testing::WithParamInterface<StripCase> {};

// A strip that cannot be read or decoded does not stop the copy: the image keeps its size.
TEST_P(TiffCopyBadStrip, CopyGoesOn) {
  const StripCase c = GetParam();
  std::string garbage(300, '\0');
  std::mt19937 rng(7);
  for (char& ch : garbage) ch = static_cast<char>(rng());
  const auto bad = faxEntries(200, 50, c.compression, c.offset, c.bytes);
  test::TiffImage good = test::bilevelImage(64, 8, COMPRESSION_NONE);
  const std::string goodData(good.pixels.begin(), good.pixels.end());
  const auto second = faxEntries(64, 8, 1, 700, static_cast<uint32_t>(goodData.size()));
  const std::string bytes = test::rawTiff(
      {bad, second}, garbage + std::string(700 - 400 - garbage.size(), '\0') + goodData, 400);
  EXPECT_EQ(copyBytes(bytes), kCopied);
  ASSERT_EQ(test::countDirectories(out), 2);
  test::DecodedImage first, last;
  test::readTiffImage(out, 0, first);
  EXPECT_EQ(first.width, 200u);
  EXPECT_EQ(first.length, 50u);
  ASSERT_TRUE(test::readTiffImage(out, 1, last));
  EXPECT_TRUE(last.pixels == test::normalisedPixels(good));
}

INSTANTIATE_TEST_SUITE_P(Strips, TiffCopyBadStrip,
                         ::testing::Values(StripCase{"g4_garbage", 4, 400, 300},
                                           StripCase{"g3_garbage", 3, 400, 300},
                                           StripCase{"mh_garbage", 2, 400, 300},
                                           StripCase{"g4_past_end", 4, 400, 100000},
                                           StripCase{"g4_offset_past_end", 4, 90000, 300},
                                           StripCase{"uncompressed_short", 1, 400, 10},
                                           StripCase{"g4_empty", 4, 400, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// A strip that cannot be read is written as zeros, not with the previous strip's bytes.
TEST_F(TiffCopyMalformed, UnreadableStripBecomesZeros) {
  constexpr uint32_t kWidth = 64, kRows = 8, kRowBytes = kWidth / 8;
  const std::string first(kRows * kRowBytes, '\x5A');
  auto entries = faxEntries(kWidth, 2 * kRows, 1, 0, 0, kRows);
  const uint32_t tables = 300, data = 400;
  entries[5] = {273, kLong, 2, tables};      // StripOffsets: strip 0 at data, strip 1 past the end
  entries[8] = {279, kLong, 2, tables + 8};  // StripByteCounts
  std::string table(data - tables, '\0');
  const uint32_t values[] = {data, 900000, kRows * kRowBytes, kRows * kRowBytes};
  for (int v = 0; v < 4; ++v)
    for (int b = 0; b < 4; ++b) table[v * 4 + b] = static_cast<char>(values[v] >> (8 * b));
  ASSERT_EQ(copyBytes(test::rawTiff({entries}, table + first, tables), -1), kCopied);
  test::DecodedImage copy;
  test::readTiffImage(out, 0, copy);
  ASSERT_EQ(copy.pixels.size(), 2u * kRows * kRowBytes);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), copy.pixels.begin()));
  EXPECT_TRUE(std::all_of(copy.pixels.begin() + first.size(), copy.pixels.end(),
                          [](uint8_t b) { return b == 0; }));
}

// A tiled page is copied only when its tiles have the sizes TIFF allows (multiples of 16) and the
// file lists a position and a byte count for every tile of the page: libtiff takes the missing
// ones as empty, and a header of a hundred bytes could make the copy and the PDF visit tens of
// thousands of tiles.
TEST_F(TiffCopyMalformed, TilesMustBeOfTiffSizesAndAllListed) {
  struct Case {
    const char* name;
    uint32_t tileWidth, tileLength;
    uint32_t listed;  // tiles with a position and a byte count
    bool copies;
  };
  // A 32 x 32 page, white, uncompressed: 4 tiles of 16 x 16 (32 bytes each).
  for (const Case& c : {Case{"all listed", 16, 16, 4, true}, Case{"one listed", 16, 16, 1, false},
                        Case{"three listed", 16, 16, 3, false},
                        Case{"width 8", 8, 16, 8, false}, Case{"length 24", 16, 24, 4, false},
                        Case{"one tile of 32", 32, 32, 1, true}}) {
    SCOPED_TRACE(c.name);
    const uint32_t across = (32 + c.tileWidth - 1) / c.tileWidth;
    const uint32_t down = (32 + c.tileLength - 1) / c.tileLength;
    const uint32_t tileBytes = (c.tileWidth + 7) / 8 * c.tileLength;
    test::TiffBytes t;
    std::vector<uint32_t> offsets, counts;
    for (uint32_t i = 0; i < c.listed && i < across * down; ++i) {
      offsets.push_back(t.append(std::vector<uint8_t>(tileBytes, 0)));
      counts.push_back(tileBytes);
    }
    const uint32_t offsetsAt = c.listed == 1 ? offsets[0] : t.append32s(offsets);
    const uint32_t countsAt = c.listed == 1 ? counts[0] : t.append32s(counts);
    const uint32_t directory = t.directory({{256, kShort, 1, 32},
                                            {257, kShort, 1, 32},
                                            {258, kShort, 1, 1},
                                            {259, kShort, 1, 1},
                                            {262, kShort, 1, 0},
                                            {322, kShort, 1, c.tileWidth},
                                            {323, kShort, 1, c.tileLength},
                                            {324, kLong, c.listed, offsetsAt},
                                            {325, kLong, c.listed, countsAt}});
    t.link(0, directory);
    std::filesystem::remove(out);
    EXPECT_EQ(copyBytes(t.text(), -1) == kCopied, c.copies);
  }
}

}  // namespace
}  // namespace tarnwell
