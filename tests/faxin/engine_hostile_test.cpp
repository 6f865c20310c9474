// The engine and its TIFF reader on broken and hostile TIFF files: every input ends with a page
// record or none, a convert result, and an output that holds only bytes of the source.

#include <gtest/gtest.h>

#include "engine_settings.h"
#include "faxin/FaxConverter.h"
#include "faxin/readers/TiffFaxReader.h"
#include "support/Bitmap.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// Opens and, when it is a fax, converts; returns the convert result or 1 for "not a fax".
int runEngine(const TempTree& dir, const std::string& source, FaxFormat format,
              int* pages = nullptr) {
  FaxConverter engine(setupIn(dir));
  engine.open(source, format);
  if (pages) *pages = engine.pageCount();
  if (!engine.hasPages()) return 1;
  std::error_code ec;
  std::filesystem::remove(dir.file("trwintif.tmp"), ec);
  return faxCode(engine.convert(dir.file("trwintif.tmp")));
}

TEST(EngineHostileTest, TruncatedAndDamagedFilesNeverCrash) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 80, 1), makePage(Pattern::kWords, 1728, 60, 2)};
  const std::string good = dir.file("good.FMF");
  FaxTiffOptions o;
  o.rowsPerStrip = 30;
  ASSERT_TRUE(writeFaxTiff(good, pages, o));
  const std::vector<uint8_t> bytes = readBytes(good);
  const std::string cut = dir.file("cut.FMF");
  for (size_t length = 0; length < bytes.size(); length += 1 + length / 16) {
    SCOPED_TRACE(length);
    writeBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
    int result = runEngine(dir, cut, FaxFormat::kFmf);
    EXPECT_TRUE(result == 1 || result <= 0) << result;
  }
  // Single bytes flipped all over the file.
  for (size_t at = 0; at < bytes.size(); at += 7) {
    SCOPED_TRACE(at);
    std::vector<uint8_t> damaged = bytes;
    damaged[at] ^= 0xA5;
    writeBytes(cut, damaged);
    int result = runEngine(dir, cut, FaxFormat::kTiffFax);
    EXPECT_TRUE(result == 1 || result <= 0) << result;
  }
}

TEST(EngineHostileTest, TruncatedPageDescribesItsDecodedRowsAndCopiesOnlyFileBytes) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 200, 3)};
  FaxTiffOptions o;
  const std::string good = dir.file("good.FMF");
  ASSERT_TRUE(writeFaxTiff(good, pages, o));
  const std::vector<uint8_t> strip = rawStripBytes(good);
  ASSERT_GT(strip.size(), 100u);
  const std::string cut = dir.file("cut.FMF");
  // Directory first, then only half of the strip its byte count claims.
  TiffBytes front(false);
  uint32_t res2 = front.appendRational(204, 1);
  uint32_t dir2 = front.directory(faxPageEntries(1728, 200, 4, 0, static_cast<uint32_t>(strip.size()), res2));
  front.link(0, dir2);
  front.pad();
  uint32_t dataAt = static_cast<uint32_t>(front.size());
  // Patch StripOffsets (entry 6) to the data position, then append half of the strip.
  front.set32(dir2 + 2 + 12 * 6 + 8, dataAt);
  const size_t half = strip.size() / 2;
  front.append(std::vector<uint8_t>(strip.begin(), strip.begin() + static_cast<long>(half)));
  writeBytes(cut, front.bytes());

  FaxConverter engine(setupIn(dir));
  EXPECT_EQ(engine.open(cut, FaxFormat::kFmf), FaxResult::kOk);
  ASSERT_TRUE(engine.hasPages());
  EXPECT_GT(engine.page().rows, 0);
  EXPECT_LT(engine.page().rows, 200);
  const std::string out = dir.file("trwintif.tmp");
  ASSERT_EQ(engine.convert(out), FaxResult::kOk);
  // The copy holds exactly the half strip that was in the file, at the start of its data.
  std::vector<uint8_t> written = readBytes(out);
  ASSERT_GE(written.size(), 8 + half);
  EXPECT_TRUE(std::equal(strip.begin(), strip.begin() + static_cast<long>(half), written.begin() + 8));
  EXPECT_EQ(written.size(), 8 + half + 58 + 246);
}

TEST(EngineHostileTest, LoopingChainCountsEachDirectoryOnce) {
  TempTree dir;
  std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 30, 1), makePage(Pattern::kWords, 1728, 30, 2),
                               makePage(Pattern::kWords, 1728, 30, 3)};
  const std::string source = dir.file("loop.FMF");
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  std::vector<uint8_t> bytes = readBytes(source);
  TiffView view(bytes);
  TiffHeader header;
  ASSERT_EQ(view.readHeader(header), 0);
  std::vector<uint32_t> dirs = view.walkChain(header.firstDirectory);
  ASSERT_EQ(dirs.size(), 3u);
  uint16_t count = static_cast<uint16_t>(bytes[dirs[2]] | (bytes[dirs[2] + 1] << 8));
  size_t link = dirs[2] + 2 + 12 * size_t{count};
  for (int i = 0; i < 4; ++i) bytes[link + i] = static_cast<uint8_t>(dirs[1] >> (8 * i));
  writeBytes(source, bytes);
  int pagesCounted = 0;
  EXPECT_EQ(runEngine(dir, source, FaxFormat::kFmf, &pagesCounted), 0);
  EXPECT_EQ(pagesCounted, 3);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(dir.file("trwintif.tmp"), got));
  ASSERT_EQ(got.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(got[i].bitmap, pages[i]);
}

TEST(EngineHostileTest, MoreThan1024PagesAreConvertedAs1024) {
  TempTree dir;
  std::vector<Bitmap> pages(1030, makePage(Pattern::kWords, 64, 2, 5));
  const std::string source = dir.file("many.FMF");
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{}));
  int pagesCounted = 0;
  EXPECT_EQ(runEngine(dir, source, FaxFormat::kFmf, &pagesCounted), 0);
  EXPECT_EQ(pagesCounted, 1024);
  std::vector<TiffPage> got;
  ASSERT_TRUE(readTiffPages(dir.file("trwintif.tmp"), got));
  EXPECT_EQ(got.size(), 1024u);
}

TEST(EngineHostileTest, AbsurdSizesDescribeAsEmptyQuickly) {
  TempTree dir;
  const std::string source = dir.file("huge.FMF");
  // Four billion rows and a width of a million pixels over 64 bytes of data; a strip table of
  // four billion entries; strips at absurd offsets.
  TiffBytes t(false);
  uint32_t data = t.append(std::vector<uint8_t>(64, 0));
  uint32_t res = t.appendRational(200, 1);
  uint32_t d1 = t.directory(faxPageEntries(1000000, 0xFFFFFFFFu, 4, data, 64, res));
  auto entries = faxPageEntries(1728, 0xFFFFFFFFu, 4, data, 0xFFFFFFFFu, res);
  uint32_t d2 = t.directory(entries);
  entries[6] = {273, 4, 0xFFFFFFFFu, data};
  entries[8] = {279, 4, 0xFFFFFFFFu, data};
  uint32_t d3 = t.directory(entries);
  entries[6] = {273, 4, 1, 0xFFFFFF00u};
  entries[8] = {279, 4, 1, 0xFFFFFFFFu};
  uint32_t d4 = t.directory(entries);
  t.link(0, d1);
  t.link(d1, d2);
  t.link(d2, d3);
  t.link(d3, d4);
  writeBytes(source, t.bytes());
  TiffFaxReader reader;
  ASSERT_TRUE(reader.open(source));
  ASSERT_EQ(reader.checkHeader(), 0);
  ASSERT_EQ(reader.countPages(), 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    FaxPage page;
    EXPECT_EQ(reader.describePage(i, page), 0);
    // Pages 2 and 3 have strips reaching over whatever bytes lie behind the data.
    if (i == 0 || i == 3) {
      EXPECT_EQ(page.rows, 0);
    }
  }
  EXPECT_EQ(reader.writeAll(dir.file("out.tif"), 4), 0);
}

}  // namespace
}  // namespace tarnwell
