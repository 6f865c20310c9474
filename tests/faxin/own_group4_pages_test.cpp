// The engine's word on which pages of its TIFF hold Group 4 it coded itself: the copy step passes
// those strips into the PDF without decoding them again, so a page marked wrongly would carry
// the source's bytes, damaged or not, unchecked. Every container sample and raw streams of each
// coding are written by the engine; a marked page must be Group 4 that libtiff decodes into the
// sample's page, and pages whose coded bytes come from the source must stay unmarked.

#include <gtest/gtest.h>

#include "faxin/FaxConverter.h"
#include "faxin/engine_settings.h"
#include "faxin/raw_test_support.h"
#include "support/ContainerBuilders.h"
#include "support/LibtiffReader.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct Written {
  std::vector<bool> marks;
  std::vector<TiffPage> pages;
};

Written runEngine(const TempTree& dir, const std::string& source, FaxFormat format) {
  Written w;
  FaxConverter converter(setupIn(dir));
  (void)converter.open(source, format);
  const std::string out = dir.file("engine.tif");
  EXPECT_TRUE(converter.hasPages());
  EXPECT_EQ(converter.convert(out, format), 0);
  w.marks = converter.ownGroup4Pages();
  EXPECT_TRUE(readTiffPages(out, w.pages));
  return w;
}

// Marked pages are whole Group 4 giving the expected bitmaps; returns how many were marked.
std::size_t checkMarks(const Written& w, const std::vector<Bitmap>& expected) {
  EXPECT_EQ(w.marks.size(), w.pages.size());
  std::size_t marked = 0;
  for (std::size_t i = 0; i < w.pages.size() && i < w.marks.size(); ++i) {
    if (!w.marks[i]) continue;
    ++marked;
    SCOPED_TRACE("page " + std::to_string(i + 1));
    EXPECT_EQ(w.pages[i].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(w.pages[i].rawStrips.size(), 1u);
    EXPECT_FALSE(w.pages[i].decodeFailed);
    if (i < expected.size()) {
      EXPECT_EQ(w.pages[i].bitmap.width, expected[i].width);
      EXPECT_EQ(w.pages[i].bitmap.bits, expected[i].bits);
    }
  }
  return marked;
}

TEST(OwnGroup4Pages, OnlyPagesCodedFromDecodedRows) {
  TempTree dir;
  for (const ContainerSample& c : containerSamples()) {
    SCOPED_TRACE(c.name);
    std::vector<Bitmap> pages;
    const std::string source = dir.file(c.fileName);
    ASSERT_TRUE(writeBytes(source, c.build(dir, pages)));
    const Written w = runEngine(dir, source, c.format);
    const std::size_t marked = checkMarks(w, pages);
    // APF and DCX pages are decoded into bitmaps and coded anew; CALS and ED pages are the
    // source's own Group 4 bytes, BMP pages its own pixels.
    const bool decoded = c.format == FaxFormat::kApf || c.format == FaxFormat::kDcx;
    EXPECT_EQ(marked, decoded ? w.pages.size() : 0u);
  }

  // Raw streams: Group 3 pages are coded anew from their rows, a whole Group 4 page keeps the
  // source's bytes.
  struct RawCase {
    const char* name;
    rawtest::Coding coding;
    bool marked;
  };
  for (const RawCase& r : {RawCase{"one-dimensional", rawtest::Coding::kG3OneD, true},
                           RawCase{"two-dimensional", rawtest::Coding::kG3TwoD, true},
                           RawCase{"Group 4", rawtest::Coding::kG4, false}}) {
    SCOPED_TRACE(r.name);
    const Bitmap page = rawtest::makePage(1728, 300, 7);
    std::vector<uint8_t> stream;
    if (r.coding == rawtest::Coding::kG4) rawtest::append(stream, {0xFF, 0xFF, 0xFF});
    rawtest::append(stream, rawtest::encodeStrip(page, r.coding, FILLORDER_MSB2LSB));
    if (r.coding != rawtest::Coding::kG4) {
      rawtest::append(stream, rawtest::rtc(r.coding == rawtest::Coding::kG3TwoD, FILLORDER_MSB2LSB));
    }
    const std::string source = dir.file("fax.raw");
    ASSERT_TRUE(writeBytes(source, stream));
    const Written w = runEngine(dir, source, FaxFormat::kRaw);
    ASSERT_EQ(w.pages.size(), 1u);
    EXPECT_EQ(checkMarks(w, {page}), r.marked ? 1u : 0u);
  }
}

}  // namespace
}  // namespace tarnwell
