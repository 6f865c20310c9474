// The reader base on bytes in memory: every checked read answers as it does for the same bytes in
// a file, and every container reader gives the same pages and the same output TIFF either way.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ContainerBuilders.h"
#include "faxin/readers/ReaderFactory.h"
#include "faxin/readers/TiffFaxReader.h"
#include "faxreader_support.h"
#include "support/FixedClock.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace tarnwell::test;

// ---- the checked reads, file against memory ----

struct Read {
  uint64_t offset;
  std::size_t size;
};

TEST(FaxReaderMemory, CheckedReadsMatchTheFile) {
  TempTree dir;
  const std::string path = dir.file("source.bin");
  Bytes six{1, 2, 3, 4, 5, 6};
  Bytes many(1000);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::vector<Read> reads = {{0, 0},   {0, 1},      {2, 4},          {3, 4},
                                   {5, 1},   {6, 0},      {6, 1},          {7, 0},
                                   {0, 999}, {0, 1000},   {0, 1001},       {998, 5},
                                   {1000, 1}, {UINT64_MAX - 1, 4}, {UINT64_MAX, 0}};

  for (const Bytes& content : {Bytes{}, six, many}) {
    SCOPED_TRACE("file of " + std::to_string(content.size()) + " bytes");
    ASSERT_TRUE(writeBytes(path, content));
    writertest::ChainReader file;
    writertest::ChainReader memory;
    ASSERT_TRUE(file.open(path));
    ASSERT_TRUE(memory.openBytes(content));
    EXPECT_TRUE(memory.isOpen());
    EXPECT_EQ(memory.fileSize(), file.fileSize());

    for (const Read& r : reads) {
      SCOPED_TRACE("read " + std::to_string(r.size) + " at " + std::to_string(r.offset));
      Bytes a(r.size, 0xEE);
      Bytes b(r.size, 0xEE);
      EXPECT_EQ(memory.readAt(r.offset, b), file.readAt(r.offset, a));
      EXPECT_EQ(b, a);
      std::fill(a.begin(), a.end(), 0xEE);
      std::fill(b.begin(), b.end(), 0xEE);
      EXPECT_EQ(memory.readSome(r.offset, b), file.readSome(r.offset, a));
      EXPECT_EQ(b, a);
      EXPECT_EQ(memory.loadPageData(r.offset, r.size), file.loadPageData(r.offset, r.size));
      EXPECT_EQ(Bytes(memory.pageData().begin(), memory.pageData().end()),
                Bytes(file.pageData().begin(), file.pageData().end()));
    }
    Bytes wholeFile;
    Bytes wholeMemory;
    EXPECT_TRUE(file.readWholeFile(wholeFile));
    EXPECT_TRUE(memory.readWholeFile(wholeMemory));
    EXPECT_EQ(wholeMemory, content);
    EXPECT_EQ(wholeFile, content);
  }
}

TEST(FaxReaderMemory, ClosingOrReopeningLetsGoOfTheBytes) {
  TempTree dir;
  const std::string path = dir.file("source.bin");
  ASSERT_TRUE(writeBytes(path, Bytes{9, 8, 7}));
  const Bytes held{1, 2, 3, 4, 5};
  writertest::ChainReader reader;
  Bytes two(2);

  ASSERT_TRUE(reader.openBytes(held));
  ASSERT_TRUE(reader.loadPageData(0, 5) == 0);
  reader.close();
  EXPECT_FALSE(reader.isOpen());
  EXPECT_FALSE(reader.readAt(0, two));
  EXPECT_EQ(reader.readSome(0, two), 0u);
  EXPECT_EQ(reader.loadPageData(0, 1), -1);

  // A file opened after memory reads the file; memory opened after a file reads the memory,
  // with a fresh page table and no page data left from before.
  ASSERT_TRUE(reader.openBytes(held));
  ASSERT_TRUE(reader.open(path));
  EXPECT_EQ(reader.fileSize(), 3u);
  ASSERT_TRUE(reader.readAt(1, two));
  EXPECT_EQ(two, (Bytes{8, 7}));
  ASSERT_EQ(reader.addPage(4), 0);
  ASSERT_EQ(reader.loadPageData(0, 3), 0);
  ASSERT_TRUE(reader.openBytes(held));
  EXPECT_EQ(reader.pageCount(), 0);
  EXPECT_TRUE(reader.pageData().empty());
  EXPECT_EQ(reader.fileSize(), 5u);
  ASSERT_TRUE(reader.readAt(3, two));
  EXPECT_EQ(two, (Bytes{4, 5}));

  // A failed open of a file leaves nothing of the memory open.
  EXPECT_FALSE(reader.open(dir.file("missing")));
  EXPECT_FALSE(reader.isOpen());
}

// ---- whole readers, file against memory ----

// What one run of a reader gives, as the engine drives it.
struct Outcome {
  int header = INT32_MIN;
  uint16_t count = 0;
  std::vector<FaxPage> pages;
  std::vector<int> described;
  int written = INT32_MIN;
  Bytes output;
};

// `open` opens the reader on its source; the rest is the same for both sources.
template <typename Open>
Outcome drive(FaxReader& reader, Open open, const std::string& output) {
  Outcome o;
  std::filesystem::remove(output);
  if (!open(reader)) return o;
  o.header = reader.checkHeader();
  if (o.header != 0) return o;
  o.count = reader.countPages();
  for (int i = 0; i < o.count; ++i) {
    FaxPage page;
    o.described.push_back(reader.describePage(i, page));
    o.pages.push_back(page);
  }
  o.written = reader.writeAll(output, o.count);
  o.output = readBytes(output);
  return o;
}

void expectSameOutcome(const Outcome& file, const Outcome& memory) {
  EXPECT_EQ(memory.header, file.header);
  EXPECT_EQ(memory.count, file.count);
  EXPECT_EQ(memory.described, file.described);
  ASSERT_EQ(memory.pages.size(), file.pages.size());
  for (std::size_t i = 0; i < file.pages.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    EXPECT_EQ(memory.pages[i].width, file.pages[i].width);
    EXPECT_EQ(memory.pages[i].rows, file.pages[i].rows);
    EXPECT_EQ(memory.pages[i].coding, file.pages[i].coding);
    EXPECT_EQ(memory.pages[i].codedSize, file.pages[i].codedSize);
    EXPECT_EQ(memory.pages[i].bitmap, file.pages[i].bitmap);
  }
  EXPECT_EQ(memory.written, file.written);
  EXPECT_EQ(memory.output, file.output);  // byte for byte, under a fixed clock
}

// One file of every container the engine opens itself: the shared samples, then the page-chain
// and page-table formats with coded pages.
struct NamedFile {
  std::string name;
  FaxFormat format;
  Bytes bytes;
  std::size_t pages;
};

std::vector<NamedFile> everyContainer(const TempTree& dir) {
  std::vector<NamedFile> files;
  for (const ContainerSample& c : containerSamples()) {
    std::vector<Bitmap> pages;
    Bytes bytes = c.build(dir, pages);
    files.push_back({c.name, c.format, std::move(bytes), pages.size()});
  }
  const std::vector<CodedPage> coded = {codePage(sparseBitmap(1728, 80), 5, 1),
                                        codePage(sparseBitmap(1728, 70), 6, 2),
                                        codePage(sparseBitmap(1728, 60), 7, 1)};
  files.push_back({"PcResearch", FaxFormat::kPcResearch, buildPcResearch(coded), coded.size()});
  files.push_back({"QliiFax", FaxFormat::kQfx, buildQliiFax(coded), coded.size()});
  files.push_back({"BitFax", FaxFormat::kBfx, buildBitFax(coded), coded.size()});
  files.push_back({"Mrv", FaxFormat::kMrv, buildMrv(coded), coded.size()});
  files.push_back({"Fx", FaxFormat::kFx, buildFx(coded), coded.size()});
  return files;
}

// Each container, whole and cut short: the same pages and the same TIFF from both sources.
TEST(FaxReaderMemory, EveryContainerReadsTheSameFromMemory) {
  const FixedClock clock(1700000000);
  TempTree dir;
  const std::string source = dir.file("source.bin");
  const std::string output = dir.file("out.tif");
  for (const NamedFile& f : everyContainer(dir)) {
    SCOPED_TRACE(f.name);
    const Bytes& whole = f.bytes;
    for (const std::size_t size : {whole.size(), whole.size() * 2 / 3, std::size_t{40}}) {
      SCOPED_TRACE("first " + std::to_string(size) + " bytes");
      const Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(
                                                           std::min(size, whole.size())));
      ASSERT_TRUE(writeBytes(source, bytes));
      auto fromFile = makeFaxReader(f.format);
      auto fromMemory = makeFaxReader(f.format);
      ASSERT_TRUE(fromFile && fromMemory);
      ASSERT_FALSE(fromFile->needsScratchTiff());
      const Outcome file = drive(*fromFile, [&](FaxReader& r) { return r.open(source); }, output);
      const Outcome memory =
          drive(*fromMemory, [&](FaxReader& r) { return r.openBytes(bytes); }, output);
      if (size == whole.size()) {
        ASSERT_EQ(file.count, f.pages);
        ASSERT_EQ(file.written, 0);
      }
      expectSameOutcome(file, memory);
    }
  }
}

// Limits set on a reader bound every page description: no bitmap grows past them, whatever the
// container declares. Readers that size a page from its header (CALS, ED, BMP, DCX) refuse it
// up front; the decoding readers cut the page at the rows that fit.
TEST(FaxReaderMemory, EveryReaderKeepsToItsDescribeLimits) {
  TempTree dir;
  const std::string output = dir.file("out.tif");
  const std::size_t limit = 2000;  // about nine rows of a 1728-pixel page
  for (const NamedFile& f : everyContainer(dir)) {
    SCOPED_TRACE(f.name);
    EngineSetup setup;
    setup.limits = DescribeLimits{8192, limit};
    auto reader = makeFaxReader(f.format, setup);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->openBytes(f.bytes));
    if (reader->checkHeader() != 0) continue;
    const uint16_t count = reader->countPages();
    EXPECT_LE(count, f.pages);
    int described = 0;
    for (int i = 0; i < count; ++i) {
      FaxPage page;
      if (reader->describePage(i, page) == 0 && page.rows > 0) ++described;
      EXPECT_LE(page.bitmap.size(), limit) << "page " << i + 1;
    }
    const bool refuses = f.format == FaxFormat::kBmp || f.format == FaxFormat::kDcx ||
                         f.format == FaxFormat::kCals || f.format == FaxFormat::kEd;
    if (count > 0 && !refuses) {
      EXPECT_GT(described, 0);  // cut, not refused
      EXPECT_EQ(reader->writeAll(output, count), 0);
    }
  }
}

TEST(FaxReaderMemory, TiffReaderReadsTheSameFromMemory) {
  const FixedClock clock(1700000000);
  TempTree dir;
  const std::string source = dir.file("source.tif");
  const std::string output = dir.file("out.tif");
  const std::vector<Bitmap> pages = {makePage(Pattern::kWords, 1728, 40, 1),
                                     makePage(Pattern::kWords, 1728, 30, 2)};
  ASSERT_TRUE(writeFaxTiff(source, pages, FaxTiffOptions{.rowsPerStrip = 16}));
  const Bytes bytes = readBytes(source);
  TiffFaxReader fromFile;
  TiffFaxReader fromMemory;
  const Outcome file = drive(fromFile, [&](FaxReader& r) { return r.open(source); }, output);
  const Outcome memory =
      drive(fromMemory, [&](FaxReader& r) { return r.openBytes(bytes); }, output);
  ASSERT_EQ(file.count, 2);
  ASSERT_EQ(file.written, 0);
  expectSameOutcome(file, memory);
}

}  // namespace
}  // namespace tarnwell
