// Work in proportion to the bytes of a file: page tables walked once, pages of no more rows than
// their data holds, the coded bytes of one write bounded by the file's size, the engine's page
// budget, and a named reason for every page left out while others are written.

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "faxin/FaxConverter.h"
#include "support/ContainerBuilders.h"
#include "faxin/engine_settings.h"
#include "faxin/readers/BmpReader.h"
#include "faxin/readers/DcxReader.h"
#include "faxin/readers/ReaderFactory.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// A reader opened on its own copy of the bytes, as the engine opens it.
struct Opened {
  std::unique_ptr<std::vector<uint8_t>> bytes;  // borrowed by the reader
  std::unique_ptr<FaxReader> reader;
  uint16_t count = 0;
};

Opened openBytes(FaxFormat format, const std::vector<uint8_t>& bytes) {
  Opened o;
  o.bytes = std::make_unique<std::vector<uint8_t>>(bytes);
  o.reader = makeFaxReader(format);
  if (!o.reader || !o.reader->openBytes(*o.bytes)) return o;
  if (o.reader->hasHeaderCheck() && o.reader->checkHeader() != 0) return o;
  o.count = o.reader->countPages();
  return o;
}

std::vector<uint8_t> noise(std::size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return bytes;
}

// Page sizes of a TIFF, read by libtiff.
std::vector<std::pair<uint32_t, uint32_t>> tiffPageSizes(const std::string& path) {
  std::vector<TiffPage> pages;
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
  if (!readTiffPages(path, pages)) return sizes;
  for (const TiffPage& p : pages) sizes.emplace_back(p.bitmap.width, p.bitmap.rows);
  return sizes;
}

TEST(BoundedWork, PageBudgetFollowsTheFileSize) {
  struct Case {
    uint64_t fileBytes;
    std::size_t budget;
  };
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  for (const Case& c : {Case{0, 8 * kMiB}, Case{100, 8 * kMiB}, Case{256 * 1024, 8 * kMiB},
                        Case{1024 * 1024, 32 * kMiB}, Case{4 * kMiB, 128 * kMiB},
                        Case{uint64_t{1} << 40, 128 * kMiB}}) {
    EXPECT_EQ(describeLimitsForFile(c.fileBytes).maxBitmapBytes, c.budget) << c.fileBytes;
    EXPECT_EQ(describeLimitsForFile(c.fileBytes).maxWidth, DescribeLimits{}.maxWidth);
  }
}

// A DCX or QLIIFAX table that names a position a second time ends there; every page's data ends
// at the nearest listed position behind it, so no byte is written twice.
TEST(BoundedWork, TablesAreWalkedOnce) {
  TempTree dir;
  const Bitmap a = sparseBitmap(1728, 140), b = sparseBitmap(1728, 120);
  const std::vector<uint8_t> pcxA = buildPcx(a), pcxB = buildPcx(b);
  struct Case {
    const char* name;
    std::vector<int> order;  // pages in table order, by index into the stored pages
    uint16_t pages;
  };
  for (const Case& c : {Case{"plain", {0, 1}, 2}, Case{"repeat ends", {0, 1, 0, 1}, 2},
                        Case{"first twice", {0, 0, 1}, 1}, Case{"falling", {1, 0}, 2}}) {
    SCOPED_TRACE(c.name);
    // DCX: the pages stored in order, listed as the case says.
    std::vector<uint8_t> dcx = buildDcx({pcxA, pcxB});
    const uint32_t at[2] = {static_cast<uint32_t>(4 + 4 * 3),
                            static_cast<uint32_t>(4 + 4 * 3 + pcxA.size())};
    std::vector<uint8_t> listed;
    putLe(listed, DcxReader::kMagic, 4);
    for (int i : c.order) putLe(listed, at[i], 4);
    putLe(listed, 0, 4);
    const std::size_t shift = listed.size() - 12;
    std::vector<uint8_t> file = listed;
    file.insert(file.end(), dcx.begin() + 12, dcx.end());
    for (std::size_t i = 0; i < c.order.size(); ++i) {
      container::put32(file, 4 + 4 * i, static_cast<uint32_t>(at[c.order[i]] + shift));
    }
    Opened o = openBytes(FaxFormat::kDcx, file);
    ASSERT_TRUE(o.reader);
    EXPECT_EQ(o.count, c.pages);
    const std::string out = dir.file("dcx.tif");
    ASSERT_EQ(o.reader->writeAll(out, o.count), 0);
    const auto sizes = tiffPageSizes(out);
    ASSERT_EQ(sizes.size(), c.pages);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      EXPECT_EQ(sizes[i].second, (c.order[i] == 0 ? a : b).rows) << "page " << i + 1;
    }

    // QLIIFAX: the same table over two Group 3 pages.
    const std::vector<CodedPage> coded = {codePage(a, 5, 1), codePage(b, 5, 1)};
    std::vector<uint8_t> qfx = buildQliiFax(coded);
    const uint32_t qAt[2] = {1532, static_cast<uint32_t>(1532 + coded[0].bytes.size())};
    for (std::size_t i = 0; i < 375; ++i) container::put32(qfx, 32 + 4 * i, 0);
    container::put16(qfx, 8, static_cast<uint16_t>(c.order.size()));
    for (std::size_t i = 0; i < c.order.size(); ++i) {
      container::put32(qfx, 32 + 4 * i, qAt[c.order[i]]);
    }
    Opened q = openBytes(FaxFormat::kQfx, qfx);
    ASSERT_TRUE(q.reader);
    EXPECT_EQ(q.count, c.pages);
    const std::string qOut = dir.file("qfx.tif");
    ASSERT_EQ(q.reader->writeAll(qOut, q.count), 0);
    const auto written = readBytes(qOut);
    EXPECT_LT(written.size(), qfx.size());  // each coded byte at most once
    EXPECT_EQ(tiffPageSizes(qOut).size(), c.pages);
  }
}

// The coded bytes one write copies stay within a few times the file: a BIT FAX directory that
// points every page at the same bytes gets its first pages written, the rest left out by name.
TEST(BoundedWork, RepeatedDataIsCopiedAFewTimesAtMost) {
  TempTree dir;
  const CodedPage page = codePage(sparseBitmap(1728, 200), 5, 1);
  std::vector<uint8_t> file = buildBitFax({page});
  const int listed = 20;
  container::put16(file, 9, listed);
  for (int i = 1; i < listed; ++i) {
    std::copy_n(file.begin() + 16, 16, file.begin() + 16 + 16 * i);
  }
  Opened o = openBytes(FaxFormat::kBfx, file);
  ASSERT_TRUE(o.reader);
  ASSERT_EQ(o.count, listed);
  const std::string out = dir.file("out.tif");
  ASSERT_EQ(o.reader->writeAll(out, o.count), 0);
  const std::size_t kept = FaxReader::kMaxCopiesOfFile * file.size() / page.bytes.size();
  EXPECT_EQ(tiffPageSizes(out).size(), std::min<std::size_t>(kept, listed));
  EXPECT_LE(std::filesystem::file_size(out),
            FaxReader::kMaxCopiesOfFile * file.size() + 4096 * listed);
  ASSERT_EQ(o.reader->leftOutPages().size(), listed - std::min<std::size_t>(kept, listed));
  for (const LeftOutPage& p : o.reader->leftOutPages()) {
    EXPECT_EQ(p.reason, LeftOutReason::kRepeatedData);
  }
}

// Pages have the rows their data holds: a DCX page declaring 4,000 rows with row data for 10
// (the last one cut short) has 10; a CALS page of blank Group 4 rows has one row per 1 bit; a
// BMP has its stored rows. A page with no row data at all is left out, or, for a BMP, an error.
TEST(BoundedWork, PagesHaveTheRowsTheirDataHolds) {
  TempTree dir;
  {
    const Bitmap ten = sparseBitmap(1728, 10);
    std::vector<uint8_t> pcx = buildPcx(ten);
    container::put16(pcx, 10, 3999);  // ymax: 4,000 rows declared
    pcx.resize(pcx.size() - 5);       // the last row cut short
    Opened o = openBytes(FaxFormat::kDcx, buildDcx({pcx}));
    ASSERT_EQ(o.count, 1);
    FaxPage page;
    ASSERT_EQ(o.reader->describePage(0, page), 0);
    EXPECT_EQ(page.rows, 10);
    EXPECT_EQ(page.bitmap.size(), 10u * page.bytesPerRow);

    std::vector<uint8_t> empty = buildPcx(ten);
    empty.resize(DcxReader::kPcxHeaderSize);
    Opened e = openBytes(FaxFormat::kDcx, buildDcx({buildPcx(ten), empty}));
    ASSERT_EQ(e.count, 2);
    ASSERT_EQ(e.reader->writeAll(dir.file("dcx.tif"), e.count), 0);
    EXPECT_EQ(tiffPageSizes(dir.file("dcx.tif")).size(), 1u);
    ASSERT_EQ(e.reader->leftOutPages().size(), 1u);
    EXPECT_EQ(leftOutText(e.reader->leftOutPages()[0]), "page 2 of 2 left out: no data");
  }
  for (const FaxFormat format : {FaxFormat::kCals, FaxFormat::kEd}) {
    SCOPED_TRACE(static_cast<int>(format));
    // 100 bytes of 1 bits: 800 blank rows coded against the blank row before.
    const std::vector<uint8_t> t6(100, 0xFF);
    const std::vector<uint8_t> file = format == FaxFormat::kCals
                                          ? buildCals(t6, "1728,5000", "200")
                                          : buildEd(t6, 1728, 5000, 200);
    Opened o = openBytes(format, file);
    ASSERT_EQ(o.count, 1);
    ASSERT_EQ(o.reader->writeAll(dir.file("t6.tif"), 1), 0);
    const auto sizes = tiffPageSizes(dir.file("t6.tif"));
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0], std::make_pair(1728u, 800u));
  }
  {
    const Bitmap page = sparseBitmap(1700, 50);
    struct Case {
      const char* name;
      std::size_t cut;     // bytes cut from the end
      bool topDown;
      int rows;            // rows written; 0: the write fails
    };
    const std::size_t stride = (1700 + 31) / 32 * 4;
    for (const Case& c : {Case{"whole", 0, false, 50}, Case{"last row short", 3, false, 50},
                          Case{"ten rows missing", 10 * stride, true, 40},
                          Case{"no pixel data", 50 * stride, false, 0}}) {
      SCOPED_TRACE(c.name);
      BmpOptions options;
      options.topDown = c.topDown;
      std::vector<uint8_t> file = buildBmp(page, options);
      file.resize(file.size() - c.cut);
      Opened o = openBytes(FaxFormat::kBmp, file);
      ASSERT_EQ(o.count, 1);
      FaxPage described;
      (void)o.reader->describePage(0, described);
      EXPECT_EQ(described.width, 1700);
      EXPECT_EQ(described.rows, c.rows == 0 ? 50 : c.rows);  // declared when nothing is held
      // The record never claims rows its bitmap does not hold (a fuzz finding: a BMP whose
      // pixel offset lay past the end described 50 rows of 213 bytes over an empty bitmap).
      EXPECT_GE(described.bitmap.size(),
                static_cast<std::size_t>(described.rows) * static_cast<std::size_t>(described.bytesPerRow));
      const int written = o.reader->writeAll(dir.file("bmp.tif"), 1);
      if (c.rows == 0) {
        EXPECT_EQ(written, BmpReader::kNoPixelData);
        continue;
      }
      ASSERT_EQ(written, 0);
      std::vector<TiffPage> pages;
      ASSERT_TRUE(readTiffPages(dir.file("bmp.tif"), pages));
      ASSERT_EQ(pages.size(), 1u);
      // The rows held are the page's first rows (top-down) and keep their pixels.
      EXPECT_EQ(pages[0].bitmap.rows, static_cast<uint32_t>(c.rows));
      if (c.cut == 0 || c.topDown) {
        EXPECT_EQ(pages[0].bitmap, page.rowsOf(0, static_cast<uint32_t>(c.rows)));
      }
    }
  }
}

// Every page left out while others are written is named with its number, the file's page count
// and the reason: no coding found, no data, no rows, a coding the TIFF cannot hold.
TEST(BoundedWork, PagesLeftOutAreNamed) {
  TempTree dir;
  const Bitmap page = makePage(Pattern::kWords, 1728, 60, 1);
  const CodedPage g3 = codePage(page, 5, 1);
  struct Case {
    const char* name;
    FaxFormat format;
    std::vector<uint8_t> file;
    std::vector<std::string> texts;
  };
  std::vector<Case> cases;
  {
    // A middle page of random bytes.
    CodedPage random = g3;
    random.bytes = noise(3000, 7);
    cases.push_back({"qliifax random page", FaxFormat::kQfx, buildQliiFax({g3, random, g3}),
                     {"page 2 of 3 left out: no Group 3 or Group 4 coding found"}});
  }
  {
    // The last page's position lies at the end of the file.
    std::vector<uint8_t> file = buildQliiFax({g3, g3});
    container::put16(file, 8, 3);
    container::put32(file, 32 + 8, static_cast<uint32_t>(file.size()));
    cases.push_back({"qliifax page at the end", FaxFormat::kQfx, file,
                     {"page 3 of 3 left out: no data"}});
  }
  {
    CodedPage unknown = g3;
    unknown.coding = 0;
    cases.push_back({"mrv coding 0", FaxFormat::kMrv, buildMrv({g3, unknown}),
                     {"page 2 of 2 left out: coding 0 cannot be written"}});
    CodedPage noRows = g3;
    noRows.coding = 1;  // uncompressed, with less than one row of data
    noRows.bytes.resize(100);
    cases.push_back({"mrv no rows", FaxFormat::kMrv, buildMrv({noRows, g3}),
                     {"page 1 of 2 left out: no rows decoded"}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened o = openBytes(c.format, c.file);
    ASSERT_TRUE(o.reader);
    ASSERT_EQ(o.reader->writeAll(dir.file("out.tif"), o.count), 0);
    std::vector<std::string> texts;
    for (const LeftOutPage& p : o.reader->leftOutPages()) texts.push_back(leftOutText(p));
    EXPECT_EQ(texts, c.texts);
  }
}

// The engine hands the pages it left out to its caller.
TEST(BoundedWork, EngineReportsThePagesItLeftOut) {
  TempTree dir;
  const CodedPage g3 = codePage(makePage(Pattern::kWords, 1728, 60, 1), 5, 1);
  CodedPage random = g3;
  random.bytes = noise(3000, 11);
  const std::string source = dir.file("a.qfx");
  writeBytes(source, buildQliiFax({g3, random, g3}));
  FaxConverter engine(setupIn(dir));
  ASSERT_EQ(engine.open(source, FaxFormat::kQfx), FaxResult::kOk);
  ASSERT_TRUE(engine.hasPages());
  EXPECT_TRUE(engine.leftOutPages().empty());
  ASSERT_EQ(engine.convert(dir.file("trwintif.tmp")), FaxResult::kOk);
  const std::vector<LeftOutPage> left = engine.leftOutPages();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].page, 2);
  EXPECT_EQ(left[0].count, 3);
  EXPECT_EQ(left[0].reason, LeftOutReason::kNoCoding);
}

}  // namespace
}  // namespace tarnwell
