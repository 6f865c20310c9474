// The five container readers on the edges of their formats and on damaged or hostile files: pages
// no probe recognises, limits of the page tables, positions and sizes past the end of the file,
// chains that do not move forward, codings the decoders do not know, recounted rows, truncation
// at every length and long chains.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "faxin/FaxConverter.h"
#include "faxin/FaxFormat.h"
#include "support/ContainerBuilders.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"
#include "faxin/engine_settings.h"
#include "faxin/readers/ReaderFactory.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;
using container::put32;

std::unique_ptr<FaxReader> openAsEngine(FaxFormat format, const std::string& path,
                                        uint16_t& count, uint8_t flagNum = 3,
                                        bool recountLines = false) {
  EngineSetup setup;
  setup.settings.threshold = 50;
  setup.settings.flagNum = flagNum;
  setup.settings.recountLines = recountLines ? 1 : 0;
  auto reader = makeFaxReader(format, setup);
  if (!reader || !reader->open(path)) return nullptr;
  if (reader->hasHeaderCheck() && reader->checkHeader() != 0) return nullptr;
  count = reader->countPages();
  return reader;
}

// Width and ImageLength of every directory, read with libtiff without decoding the pages.
std::vector<std::pair<uint32_t, uint32_t>> pageSizes(const std::string& path) {
  quietLibtiff();
  std::vector<std::pair<uint32_t, uint32_t>> out;
  TiffHandle t(TIFFOpen(path.c_str(), "r"));
  if (!t) return out;
  do {
    uint32_t w = 0, h = 0;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h);
    out.emplace_back(w, h);
  } while (TIFFReadDirectory(t.get()));
  return out;
}

std::vector<uint8_t> noise(std::size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return bytes;
}

std::vector<uint8_t> buildFor(FaxFormat format, const std::vector<CodedPage>& pages) {
  switch (format) {
    case FaxFormat::kPcResearch: return buildPcResearch(pages);
    case FaxFormat::kQfx: return buildQliiFax(pages);
    case FaxFormat::kBfx: return buildBitFax(pages);
    case FaxFormat::kMrv: return buildMrv(pages);
    default: return buildFx(pages);
  }
}

const char* formatName(FaxFormat format) {
  switch (format) {
    case FaxFormat::kPcResearch: return "PcResearch";
    case FaxFormat::kQfx: return "Qlii";
    case FaxFormat::kBfx: return "BitFax";
    case FaxFormat::kMrv: return "Mrv";
    default: return "Fx";
  }
}

class ContainerEdges : public ::testing::Test {
 protected:
  CodedPage page(uint32_t rows, uint32_t seed, uint8_t coding = 5, uint8_t fill = 1) {
    return codePage(makePage(Pattern::kWords, 1728, rows, seed), coding, fill);
  }
  std::string write(const std::vector<uint8_t>& bytes) {
    const std::string path = dir_.file("fax" + std::to_string(++files_) + ".bin");
    writeBytes(path, bytes);
    return path;
  }
  TempTree dir_;
  int files_ = 0;
};

TEST_F(ContainerEdges, PcResearchPageRunsToTheByteBeforeTheNextMark) {
  const std::vector<CodedPage> pages = {page(80, 1), page(90, 2), page(70, 3)};
  uint16_t count = 0;
  auto reader = openAsEngine(FaxFormat::kPcResearch, write(buildPcResearch(pages)), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 3);
  FaxPage described;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(reader->describePage(i, described), 0);
    EXPECT_EQ(described.rows, static_cast<int32_t>(pages[i].bitmap.rows));
    EXPECT_TRUE(std::ranges::equal(reader->pageData(), pages[i].bytes));
  }
}

// A page no probe recognises is left out: the other pages keep their own geometry and bytes, and
// the one-file-per-page variant writes no file for it.
class UnrecognisedPage : public ContainerEdges, public ::testing::WithParamInterface<FaxFormat> {};

TEST_P(UnrecognisedPage, IsLeftOutAndTheOthersConvert) {
  std::vector<CodedPage> pages = {page(80, 1), page(90, 2, 6, 2), page(70, 3)};
  pages[1].bytes = noise(3000, 7);
  const std::string out = dir_.file("out.tif");
  uint16_t count = 0;
  auto reader = openAsEngine(GetParam(), write(buildFor(GetParam(), pages)), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 3);
  ASSERT_EQ(reader->writeAll(out, count), 0);
  std::vector<TiffPage> written;
  ASSERT_TRUE(readTiffPages(out, written));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].bitmap, pages[0].bitmap);
  EXPECT_EQ(written[1].bitmap, pages[2].bitmap);
  ASSERT_EQ(reader->writeEachPage(out, count), 0);
  EXPECT_TRUE(std::filesystem::exists(FaxReader::pageFileName(out, 1001)));
  EXPECT_FALSE(std::filesystem::exists(FaxReader::pageFileName(out, 1002)));
  EXPECT_TRUE(std::filesystem::exists(FaxReader::pageFileName(out, 1003)));
}

INSTANTIATE_TEST_SUITE_P(ProbeReaders, UnrecognisedPage,
                         ::testing::Values(FaxFormat::kPcResearch, FaxFormat::kQfx,
                                           FaxFormat::kBfx),
                         [](const auto& info) { return std::string(formatName(info.param)); });

TEST_F(ContainerEdges, QliiFaxLimitsAndRowCounts) {
  // More than 375 declared pages count as 375.
  uint16_t count = 0;
  auto reader = openAsEngine(FaxFormat::kQfx, write(buildQliiFax({page(60, 1)}, {400})), count);
  ASSERT_TRUE(reader);
  EXPECT_EQ(count, 375);

  // The last page is decoded with the row count at 10, every other with the one at 12.
  const CodedPage tall = codePage(sparseBitmap(1728, 2300), 5, 1);
  QliiFaxLayout layout;
  layout.lastRows = 1100;
  layout.otherRows = 2200;
  reader = openAsEngine(FaxFormat::kQfx, write(buildQliiFax({tall, tall, tall}, layout)), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 3);
  FaxPage described;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(reader->describePage(i, described), 0);
    EXPECT_EQ(described.rows, i == 2 ? 1100 : 2200);
  }
}

TEST_F(ContainerEdges, QliiFaxShortHeaderReadsAsZeros) {
  // The signature and a count of 2, nothing more: no table, so no page, and nothing read beyond.
  std::vector<uint8_t> bytes = {'Q', 'L', 'I', 'I', 'F', 'A', 'X', 0, 2, 0};
  uint16_t count = 0;
  auto reader = openAsEngine(FaxFormat::kQfx, write(bytes), count);
  ASSERT_TRUE(reader);
  EXPECT_EQ(count, 2);
  FaxPage described;
  EXPECT_LT(reader->describePage(0, described), 0);
  EXPECT_EQ(described.rows, 0);
  EXPECT_EQ(reader->writeAll(dir_.file("out.tif"), count), -4);
}

// Positions and sizes that point past the end of the file: data is cut to the file, a position
// at or beyond its end is no page.
TEST_F(ContainerEdges, QliiFaxAndBitFaxPositionsPastTheEnd) {
  const std::vector<CodedPage> pages = {page(80, 1), page(90, 2)};
  std::vector<uint8_t> qlii = buildQliiFax(pages);
  put32(qlii, 32 + 4, 0xFFFFFFFF);  // page 2 beyond the end; page 1 runs to the end of the file
  std::vector<uint8_t> bit = buildBitFax(pages);
  put32(bit, 16 + 4, 0xFFFFFFFF);      // page 1 declares more data than the file holds
  put32(bit, 16 + 16 + 8, 0xFFFFFFF0);  // page 2 beyond the end
  for (auto [format, bytes] : {std::pair{FaxFormat::kQfx, qlii}, std::pair{FaxFormat::kBfx, bit}}) {
    SCOPED_TRACE(formatName(format));
    uint16_t count = 0;
    auto reader = openAsEngine(format, write(bytes), count);
    ASSERT_TRUE(reader);
    ASSERT_EQ(count, 2);
    const std::string out = dir_.file("out.tif");
    ASSERT_EQ(reader->writeAll(out, count), 0);
    std::vector<TiffPage> written;
    ASSERT_TRUE(readTiffPages(out, written));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].bitmap, pages[0].bitmap);
  }
}

TEST_F(ContainerEdges, BitFaxWithoutPagesIsNotAFax) {
  const std::string path = write(buildBitFax({page(80, 1)}, 0));
  FaxConverter converter(setupIn(dir_));
  (void)converter.open(path, FaxFormat::kBfx);
  EXPECT_FALSE(converter.valid());
  EXPECT_FALSE(converter.hasPages());
}

// A T.6 page behind bytes that do not decode is found by resynchronising on a flag of flagNum
// 0xFF bytes; without flags the fallback probe cannot get past the bad bytes.
TEST_F(ContainerEdges, T6FallbackResynchronisesOnFlags) {
  CodedPage g4 = page(120, 5, 7, 1);
  // 0x02 starts with the extension code, which the decoders do not take.
  std::vector<uint8_t> flagged = {0x02, 0x02, 0x02, 0x02, 0xFF, 0xFF, 0xFF};
  flagged.insert(flagged.end(), g4.bytes.begin(), g4.bytes.end());
  g4.bytes = flagged;
  for (FaxFormat format : {FaxFormat::kQfx, FaxFormat::kBfx}) {
    SCOPED_TRACE(formatName(format));
    const std::string path = write(buildFor(format, {g4}));
    uint16_t count = 0;
    auto reader = openAsEngine(format, path, count, 3);
    ASSERT_TRUE(reader);
    FaxPage described;
    ASSERT_EQ(reader->describePage(0, described), 0);
    EXPECT_EQ(described.coding, 7);
    EXPECT_EQ(described.width, 1728);
    EXPECT_EQ(described.rows, 120);
    reader = openAsEngine(format, path, count, 0);
    ASSERT_TRUE(reader);
    FaxPage unflagged;
    EXPECT_EQ(reader->describePage(0, unflagged), -1);
  }
}

// A header of zero geometry: each page takes the format's default size, or with recounting the
// rows it decodes to.
struct PageSpec {
  uint32_t rows;
  uint32_t seed;
  uint8_t coding;
  uint8_t fill;
};

struct ZeroGeometryCase {
  const char* name;
  FaxFormat format;
  uint32_t defaultRows;
  std::vector<PageSpec> pages;
};

class ZeroGeometry : public ContainerEdges, public ::testing::WithParamInterface<ZeroGeometryCase> {};

TEST_P(ZeroGeometry, TakesDefaultsOrRecountedRows) {
  const ZeroGeometryCase& c = GetParam();
  std::vector<CodedPage> pages;
  for (const PageSpec& p : c.pages) pages.push_back(page(p.rows, p.seed, p.coding, p.fill));
  const std::string path =
      write(c.format == FaxFormat::kMrv ? buildMrv(pages, true) : buildFx(pages, true));
  for (bool recount : {false, true}) {
    SCOPED_TRACE(recount ? "recounted" : "header rows");
    uint16_t count = 0;
    auto reader = openAsEngine(c.format, path, count, 3, recount);
    ASSERT_TRUE(reader);
    ASSERT_EQ(count, pages.size());
    const std::string out = dir_.file("out.tif");
    ASSERT_EQ(reader->writeAll(out, count), 0);
    const auto sizes = pageSizes(out);
    ASSERT_EQ(sizes.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
      EXPECT_EQ(sizes[i].first, 1728u);
      EXPECT_EQ(sizes[i].second, recount ? pages[i].bitmap.rows : c.defaultRows);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ZeroGeometry,
    ::testing::Values(
        ZeroGeometryCase{"Mrv", FaxFormat::kMrv, 4576, {{80, 1, 7, 1}, {90, 2, 6, 2}, {70, 3, 5, 1}}},
        ZeroGeometryCase{"Fx", FaxFormat::kFx, 3432, {{80, 1, 7, 2}, {70, 3, 5, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

// With recounting, a page that does not decode keeps its header's rows rather than another
// page's count.
TEST_F(ContainerEdges, RecountKeepsTheHeaderRowsOfAPageThatDoesNotDecode) {
  std::vector<CodedPage> pages = {page(80, 1, 7, 2), page(77, 2, 7, 2)};
  pages[1].bytes.assign(500, 0x02);  // no row decodes
  for (FaxFormat format : {FaxFormat::kMrv, FaxFormat::kFx}) {
    SCOPED_TRACE(formatName(format));
    uint16_t count = 0;
    auto reader = openAsEngine(format, write(buildFor(format, pages)), count, 3, true);
    ASSERT_TRUE(reader);
    const std::string out = dir_.file("out.tif");
    ASSERT_EQ(reader->writeAll(out, count), 0);
    const auto sizes = pageSizes(out);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].second, 80u);
    EXPECT_EQ(sizes[1].second, 77u);
  }
}

// MRV-FAX pages stored uncompressed or with PackBits are written with their header values (rows
// cut to what the data holds); a coding the TIFF has no compression for is left out.
TEST_F(ContainerEdges, MrvCodingsOutsideTheDecoders) {
  std::vector<CodedPage> pages = {page(60, 1, 7), page(50, 2, 1), page(40, 3, 8), page(30, 4, 7),
                                  page(20, 5, 7)};
  pages[3].coding = 2;
  std::vector<uint8_t> file = buildMrv(pages);
  uint16_t count = 0;
  auto reader = openAsEngine(FaxFormat::kMrv, write(file), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 5);
  const std::string out = dir_.file("out.tif");
  ASSERT_EQ(reader->writeAll(out, count), 0);
  std::vector<TiffPage> written;
  ASSERT_TRUE(readTiffPages(out, written));
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0].bitmap, pages[0].bitmap);
  EXPECT_EQ(written[1].bitmap, pages[1].bitmap);
  EXPECT_EQ(written[1].compression, COMPRESSION_NONE);
  EXPECT_EQ(written[2].bitmap, pages[2].bitmap);
  EXPECT_EQ(written[2].compression, COMPRESSION_PACKBITS);
  EXPECT_EQ(written[3].bitmap, pages[4].bitmap);

  // An uncompressed first page is not described: the file is no fax.
  FaxConverter converter(setupIn(dir_));
  (void)converter.open(write(buildMrv({pages[1], pages[0]})), FaxFormat::kMrv);
  EXPECT_FALSE(converter.hasPages());

  // An uncompressed page declaring more rows than its data holds keeps only the rows it has.
  CodedPage cut = pages[1];
  cut.bytes.resize(cut.bitmap.bytesPerRow() * 20 + 5);
  reader = openAsEngine(FaxFormat::kMrv, write(buildMrv({pages[0], cut})), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(reader->writeAll(out, count), 0);
  const auto sizes = pageSizes(out);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1].second, 20u);
}

TEST_F(ContainerEdges, ChainsThatDoNotMoveForwardEnd) {
  const CodedPage g4 = page(60, 1, 7, 2);
  struct Case {
    const char* name;
    FaxFormat format;
    std::vector<uint8_t> bytes;
    uint16_t pages;
  };
  std::vector<Case> cases;
  std::vector<uint8_t> mrvSelf = buildMrv({g4});
  put32(mrvSelf, 8, 0);
  put32(mrvSelf, 12, 0);
  cases.push_back({"MrvToItself", FaxFormat::kMrv, mrvSelf, 1});
  std::vector<uint8_t> mrvBack = buildMrv({g4, g4});
  const std::size_t second = 64 + g4.bytes.size();
  put32(mrvBack, second + 8, 0);
  put32(mrvBack, second + 12, 10);
  cases.push_back({"MrvBack", FaxFormat::kMrv, mrvBack, 2});
  std::vector<uint8_t> fxSelf = buildFx({g4, g4});
  put32(fxSelf, 89, 0);
  put32(fxSelf, 105, 0);
  put32(fxSelf, 116, 0);
  container::put8(fxSelf, 113, 0);
  cases.push_back({"FxToItself", FaxFormat::kFx, fxSelf, 1});
  // The last header's next position is the file size: the chain ends after it.
  cases.push_back({"FxToTheEnd", FaxFormat::kFx, buildFx({g4, g4, g4}), 3});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint16_t count = 0;
    auto reader = openAsEngine(c.format, write(c.bytes), count);
    ASSERT_TRUE(reader);
    EXPECT_EQ(count, c.pages);
  }
}

// 1030 pages: the first 1024 are indexed and written, in time that grows with the file only.
class LongChain : public ContainerEdges, public ::testing::WithParamInterface<FaxFormat> {};

TEST_P(LongChain, KeepsTheFirst1024Pages) {
  const CodedPage small = codePage(sparseBitmap(1728, 60), GetParam() == FaxFormat::kPcResearch ? 5 : 7,
                                   GetParam() == FaxFormat::kPcResearch ? 1 : 2);
  const std::vector<CodedPage> pages(1030, small);
  const auto start = std::chrono::steady_clock::now();
  uint16_t count = 0;
  auto reader = openAsEngine(GetParam(), write(buildFor(GetParam(), pages)), count, 3, true);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 1024);
  const std::string out = dir_.file("out.tif");
  ASSERT_EQ(reader->writeAll(out, count), 0);
  EXPECT_EQ(pageSizes(out).size(), 1024u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

INSTANTIATE_TEST_SUITE_P(ChainReaders, LongChain,
                         ::testing::Values(FaxFormat::kPcResearch, FaxFormat::kMrv,
                                           FaxFormat::kFx),
                         [](const auto& info) { return std::string(formatName(info.param)); });

// Every prefix of a valid two-page container, and the same with absurd sizes and positions, runs
// through every reader operation without a crash or a read out of bounds; whatever is written
// is a TIFF libtiff can open.
class Truncated : public ContainerEdges, public ::testing::WithParamInterface<FaxFormat> {};

TEST_P(Truncated, EveryLengthEndsCleanly) {
  const FaxFormat format = GetParam();
  const uint8_t fill = format == FaxFormat::kFx ? 2 : 1;
  const std::vector<CodedPage> pages = {codePage(sparseBitmap(1728, 55), 5, fill),
                                        codePage(sparseBitmap(2048, 55), 7, fill)};
  const std::vector<uint8_t> whole = buildFor(format, pages);
  const std::string path = dir_.file("cut.bin");
  const std::string out = dir_.file("cut.tif");
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    writeBytes(path, std::vector<uint8_t>(whole.begin(), whole.begin() + length));
    uint16_t count = 0;
    auto reader = openAsEngine(format, path, count);
    if (!reader || count == 0) continue;
    FaxPage described;
    (void)reader->describePage(0, described);
    ASSERT_LE(std::size_t(std::max(described.rows, 0)) * std::size_t(std::max(described.bytesPerRow, 0)),
              described.bitmap.size());
    if (reader->writeAll(out, count) == 0) {
      ASSERT_FALSE(pageSizes(out).empty()) << "length " << length;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, Truncated,
                         ::testing::Values(FaxFormat::kPcResearch, FaxFormat::kQfx,
                                           FaxFormat::kBfx, FaxFormat::kMrv, FaxFormat::kFx),
                         [](const auto& info) { return std::string(formatName(info.param)); });

TEST_F(ContainerEdges, AbsurdSizesAndWidths) {
  const CodedPage g4 = page(60, 1, 7, 2);
  struct Case {
    const char* name;
    FaxFormat format;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  std::vector<uint8_t> b = buildMrv({g4, g4});
  put32(b, 64 + g4.bytes.size() + 12, 0xFFFFFFFF);
  cases.push_back({"MrvHugeSize", FaxFormat::kMrv, b});
  b = buildMrv({g4, g4});
  put32(b, 64 + g4.bytes.size() + 16, 0xFFFFFFFF);
  put32(b, 64 + g4.bytes.size() + 20, 0xFFFFFFFF);
  cases.push_back({"MrvHugeGeometry", FaxFormat::kMrv, b});
  b = buildFx({g4, g4});
  put32(b, 128 + g4.bytes.size() + 116, 0xFFFFFFFF);
  cases.push_back({"FxHugeSize", FaxFormat::kFx, b});
  b = buildBitFax({g4});
  put32(b, 16 + 4, 0);
  cases.push_back({"BitFaxSizeZero", FaxFormat::kBfx, b});
  b = buildQliiFax({g4});
  put32(b, 32, 0xFFFFFFFF);
  cases.push_back({"QliiHugePosition", FaxFormat::kQfx, b});
  b = buildPcResearch({g4});
  b.insert(b.end(), 100, 0);
  const std::vector<uint8_t> random = noise(5000, 11);
  b.insert(b.end(), random.begin(), random.end());
  cases.push_back({"PcResearchNoise", FaxFormat::kPcResearch, b});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // All pages into one TIFF with the rows recounted, and one TIFF per page without.
    for (const bool recount : {true, false}) {
      uint16_t count = 0;
      auto reader = openAsEngine(c.format, write(c.bytes), count, 3, recount);
      ASSERT_TRUE(reader);
      FaxPage described;
      (void)reader->describePage(0, described);
      (void)reader->describePage(count > 0 ? count - 1 : 0, described);
      if (recount) {
        (void)reader->writeAll(dir_.file("out.tif"), count);
      } else {
        (void)reader->writeEachPage(dir_.file("out.tif"), count);
      }
    }
  }
  // The last MRV-FAX page's data is cut to the file and still converts.
  b = buildMrv({g4, g4});
  put32(b, 64 + g4.bytes.size() + 12, 0xFFFFFFFF);
  uint16_t count = 0;
  auto reader = openAsEngine(FaxFormat::kMrv, write(b), count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 2);
  ASSERT_EQ(reader->writeAll(dir_.file("cut.tif"), count), 0);
  std::vector<TiffPage> written;
  ASSERT_TRUE(readTiffPages(dir_.file("cut.tif"), written));
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[1].bitmap, g4.bitmap);
}

}  // namespace
}  // namespace tarnwell
