// The engine's word on which pages of its TIFF hold Group 4 known to decode whole: the copy step
// passes those strips into the PDF without decoding them again, so a page marked wrongly would
// carry the source's bytes, damaged or not, unchecked. Every container sample and raw streams of
// each coding are written by the engine. A page is marked exactly when it is one Group 4 strip
// that libtiff decodes into the sample's page: pages coded anew from decoded rows, and pages
// whose Group 4 bytes come from the source and pass the engine's check; never a damaged one.

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
  EXPECT_EQ(converter.convert(out), FaxResult::kOk);
  w.marks = converter.wholeGroup4Pages();
  EXPECT_TRUE(readTiffPages(out, w.pages));
  return w;
}

// Marks exactly the pages that are one whole Group 4 strip giving the expected bitmap; returns
// how many were marked.
std::size_t checkMarks(const Written& w, const std::vector<Bitmap>& expected) {
  EXPECT_EQ(w.marks.size(), w.pages.size());
  std::size_t marked = 0;
  for (std::size_t i = 0; i < w.pages.size() && i < w.marks.size(); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const TiffPage& page = w.pages[i];
    const bool whole = page.compression == COMPRESSION_CCITTFAX4 && page.rawStrips.size() == 1 &&
                       !page.decodeFailed && i < expected.size() &&
                       page.bitmap.width == expected[i].width &&
                       page.bitmap.bits == expected[i].bits;
    EXPECT_EQ(w.marks[i], whole);
    if (w.marks[i]) ++marked;
  }
  return marked;
}

TEST(WholeGroup4Pages, ExactlyTheWholeGroup4Strips) {
  TempTree dir;
  for (const ContainerSample& c : containerSamples()) {
    SCOPED_TRACE(c.name);
    std::vector<Bitmap> pages;
    const std::string source = dir.file(c.fileName);
    ASSERT_TRUE(writeBytes(source, c.build(dir, pages)));
    const Written w = runEngine(dir, source, c.format);
    const std::size_t marked = checkMarks(w, pages);
    // APF, DCX and BMP pages are bitmaps coded anew, CALS and ED pages are the source's own
    // whole Group 4 bytes.
    EXPECT_EQ(marked, w.pages.size());
  }

  // Raw streams: Group 3 pages are coded anew from their rows, a whole Group 4 page keeps the
  // source's bytes and is checked; a damaged one is never marked.
  struct RawCase {
    const char* name;
    rawtest::Coding coding;
    bool damaged;
  };
  for (const RawCase& r : {RawCase{"one-dimensional", rawtest::Coding::kG3OneD, false},
                           RawCase{"two-dimensional", rawtest::Coding::kG3TwoD, false},
                           RawCase{"Group 4", rawtest::Coding::kG4, false},
                           RawCase{"damaged Group 4", rawtest::Coding::kG4, true}}) {
    SCOPED_TRACE(r.name);
    const Bitmap page = rawtest::makePage(1728, 300, 7);
    std::vector<uint8_t> stream;
    if (r.coding == rawtest::Coding::kG4) rawtest::append(stream, {0xFF, 0xFF, 0xFF});
    std::vector<uint8_t> strip = rawtest::encodeStrip(page, r.coding, FILLORDER_MSB2LSB);
    if (r.damaged) {
      for (std::size_t k = strip.size() / 2; k < strip.size() / 2 + 40; ++k) strip[k] ^= 0x5A;
    }
    rawtest::append(stream, strip);
    if (r.coding != rawtest::Coding::kG4) {
      rawtest::append(stream, rawtest::rtc(r.coding == rawtest::Coding::kG3TwoD, FILLORDER_MSB2LSB));
    }
    const std::string source = dir.file("fax.raw");
    ASSERT_TRUE(writeBytes(source, stream));
    const Written w = runEngine(dir, source, FaxFormat::kRaw);
    ASSERT_EQ(w.pages.size(), 1u);
    if (!r.damaged) {
      EXPECT_EQ(checkMarks(w, {page}), 1u);
      continue;
    }
    // The engine may mend a damaged page by decoding it and coding its rows anew, which marks
    // it whole; the damaged bytes themselves never are.
    const TiffPage& written = w.pages[0];
    ASSERT_EQ(w.marks.size(), 1u);
    if (w.marks[0]) {
      EXPECT_EQ(written.compression, COMPRESSION_CCITTFAX4);
      ASSERT_EQ(written.rawStrips.size(), 1u);
      EXPECT_FALSE(written.decodeFailed);
      EXPECT_NE(written.rawStrips[0], strip);
    }
  }
}

}  // namespace
}  // namespace tarnwell
