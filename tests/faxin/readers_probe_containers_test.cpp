// The PC Research, QLIIFAX, BIT FAX, MRV-FAX and FX readers on containers built around pages coded
// by libtiff: every page decodes to its source bitmap and reaches the fax TIFF with its own coded
// bytes, which libtiff decodes back to the same bitmap.

#include <gtest/gtest.h>

#include <filesystem>

#include "faxin/FaxFormat.h"
#include "support/ContainerBuilders.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"
#include "faxin/readers/ReaderFactory.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct RoundTripCase {
  std::string name;
  FaxFormat format;
  uint8_t coding;
  uint8_t fillOrder;
  uint32_t width;
};

std::vector<uint8_t> buildContainer(FaxFormat format, const std::vector<CodedPage>& pages) {
  switch (format) {
    case FaxFormat::kPcResearch: return buildPcResearch(pages);
    case FaxFormat::kQfx: return buildQliiFax(pages);
    case FaxFormat::kBfx: return buildBitFax(pages);
    case FaxFormat::kMrv: return buildMrv(pages);
    default: return buildFx(pages);
  }
}

// Opens the container as the engine does; the reader, or nullptr when it was not taken.
std::unique_ptr<FaxReader> openAsEngine(FaxFormat format, const std::string& path,
                                        uint16_t& count) {
  EngineSetup setup;
  setup.settings.threshold = 50;
  setup.settings.flagNum = 3;
  auto reader = makeFaxReader(format, setup);
  if (!reader || !reader->open(path)) return nullptr;
  if (reader->hasHeaderCheck() && reader->checkHeader() != 0) return nullptr;
  count = reader->countPages();
  return reader;
}

Bitmap whiteIsOne(const Bitmap& b) {
  Bitmap out = b;
  for (auto& v : out.bits) v = static_cast<uint8_t>(~v);
  // Padding bits behind the last pixel stay as the decoder leaves them: compare over the width.
  return out;
}

bool samePixels(const std::vector<uint8_t>& decoded, const Bitmap& expected) {
  if (decoded.size() != expected.bits.size()) return false;
  for (uint32_t y = 0; y < expected.rows; ++y) {
    for (uint32_t x = 0; x < expected.width; ++x) {
      const std::size_t i = size_t{y} * expected.bytesPerRow() + x / 8;
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
      if ((decoded[i] & mask) != (expected.bits[i] & mask)) return false;
    }
  }
  return true;
}

uint16_t compressionOf(uint8_t coding) { return coding == 7 ? 4 : 3; }

std::vector<RoundTripCase> roundTripCases() {
  struct Container {
    const char* name;
    FaxFormat format;
    std::vector<uint8_t> codings;
    std::vector<uint8_t> fillOrders;
    std::vector<uint32_t> widths;
  };
  const std::vector<Container> containers = {
      // PC Research pages are decoded 1728 pixels wide and have no T.6 fallback.
      {"PcResearch", FaxFormat::kPcResearch, {5, 6}, {1, 2}, {1728}},
      {"Qlii", FaxFormat::kQfx, {5, 6, 7}, {1, 2}, {1728, 2048}},
      {"BitFax", FaxFormat::kBfx, {5, 6, 7}, {1, 2}, {1728, 2048}},
      {"Mrv", FaxFormat::kMrv, {5, 6, 7}, {1, 2}, {1728, 2048}},
      // FX data is always least significant bit first.
      {"Fx", FaxFormat::kFx, {5, 7}, {2}, {1728, 2048}},
  };
  std::vector<RoundTripCase> cases;
  for (const Container& c : containers) {
    for (uint8_t coding : c.codings) {
      for (uint8_t fill : c.fillOrders) {
        for (uint32_t width : c.widths) {
          const char* codingName = coding == 5 ? "G3OneD" : coding == 6 ? "G3TwoD" : "G4";
          cases.push_back({std::string(c.name) + "_" + codingName + (fill == 1 ? "_Msb_" : "_Lsb_") +
                               std::to_string(width),
                           c.format, coding, fill, width});
        }
      }
    }
  }
  return cases;
}

class ContainerRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ContainerRoundTrip, PagesDecodeAndPassThroughUnchanged) {
  const RoundTripCase& c = GetParam();
  TempTree dir;
  std::vector<CodedPage> pages;
  for (uint32_t seed : {3u, 4u}) {
    pages.push_back(codePage(makePage(Pattern::kWords, c.width, 100 + 30 * seed, seed), c.coding, c.fillOrder));
    ASSERT_FALSE(pages.back().bytes.empty());
  }
  const std::string source = dir.file("fax.bin");
  writeBytes(source, buildContainer(c.format, pages));

  uint16_t count = 0;
  auto reader = openAsEngine(c.format, source, count);
  ASSERT_TRUE(reader);
  ASSERT_EQ(count, 2);

  // The first page's description, as the engine asks for it.
  FaxPage page;
  ASSERT_EQ(reader->describePage(0, page), 0);
  EXPECT_EQ(page.width, static_cast<int32_t>(c.width));
  EXPECT_EQ(page.rows, static_cast<int32_t>(pages[0].bitmap.rows));
  EXPECT_EQ(page.coding, c.coding);
  EXPECT_EQ(page.fillOrder, c.fillOrder);
  EXPECT_EQ(page.xResolution, 200);
  EXPECT_EQ(page.yResolution, 200);
  EXPECT_TRUE(samePixels(page.bitmap, whiteIsOne(pages[0].bitmap)));

  // Both write variants: the coded bytes unchanged, libtiff decodes the source bitmaps.
  const std::string all = dir.file("all.tif");
  ASSERT_EQ(reader->writeAll(all, count), 0);
  std::vector<TiffPage> written;
  ASSERT_TRUE(readTiffPages(all, written));
  ASSERT_EQ(written.size(), 2u);
  ASSERT_EQ(reader->writeEachPage(all, count), 0);
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    EXPECT_EQ(written[i].bitmap, pages[i].bitmap);
    EXPECT_EQ(written[i].compression, compressionOf(c.coding));
    EXPECT_EQ(written[i].fillOrder, c.fillOrder);
    if (c.coding == 6) {
      EXPECT_EQ(written[i].t4Options & 1u, 1u);
    }
    const std::string single = FaxReader::pageFileName(all, FaxReader::kFirstPageFileNumber + static_cast<int>(i));
    std::vector<TiffPage> one;
    ASSERT_TRUE(readTiffPages(single, one));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].bitmap, pages[i].bitmap);
    EXPECT_EQ(one[0].pageIndex, i);
    EXPECT_EQ(one[0].pageCount, 2);
    EXPECT_EQ(rawStripBytes(single), pages[i].bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, ContainerRoundTrip, ::testing::ValuesIn(roundTripCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarnwell
