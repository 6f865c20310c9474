// End-to-end: fax files of several kinds converted by the built program ("tarnwell /f in out"),
// the PDF checked with qpdf, its page count, and its pages rendered by Ghostscript compared pixel
// for pixel with the bitmaps the fax files were made from.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/Bitmap.h"
#include "support/Ghostscript.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

Bitmap makeBitmap(uint32_t width, uint32_t rows, uint32_t seed) {
  return makePage(Pattern::kWords, width, rows, seed);
}

// Converts with the program, its working files in the temporary tree; returns its report.
std::string convert(const TempTree& dir, const std::string& source, const std::string& pdf,
                    const std::string& options = "") {
  const CommandResult r = runProgram({"", "", dir.path(), {}}, "/f " + options + " " +
                                                               shellQuote(source) + " " + shellQuote(pdf));
  return r.out + r.err;
}

// Page `page` (from 1) rendered as a bilevel bitmap (1 = black) at the given resolution.
bool render(const std::string& pdf, int page, int xres, int yres, Bitmap& out) {
  Raster raster;
  if (!renderPdfPage(pdf, page, static_cast<float>(xres), static_cast<float>(yres), raster)) return false;
  out = toBitmap(raster);
  return true;
}

class FaxEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
    // The PDF stages must work for a plain Group 4 TIFF before fax files can be judged.
    const std::string probe = dir_.file("probe.tif");
    ASSERT_TRUE(writeFaxTiff(probe, {makeBitmap(1728, 20, 1)}, FaxTiffOptions{}));
    std::string report = convert(dir_, probe, dir_.file("probe.pdf"), "/q");
    if (qpdfPageCount(dir_.file("probe.pdf")) != 1) {
      GTEST_SKIP() << "the PDF stages do not convert a plain Group 4 TIFF yet";
    }
  }

  // Converts and checks report, qpdf, page count and every page's pixels.
  void expectPdf(const std::string& source, const std::vector<Bitmap>& pages, int xres, int yres,
                 const std::string& options = "") {
    const std::string pdf = dir_.file("out.pdf");
    std::filesystem::remove(pdf);
    std::string report = convert(dir_, source, pdf, options);
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    ASSERT_TRUE(qpdfCheck(pdf));
    ASSERT_EQ(qpdfPageCount(pdf), static_cast<int>(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      Bitmap rendered;
      ASSERT_TRUE(render(pdf, static_cast<int>(i + 1), xres, yres, rendered));
      EXPECT_EQ(differingPixels(rendered, pages[i]), 0u)
          << rendered.width << "x" << rendered.rows;
    }
  }

  std::string reportFor(const std::string& source) {
    return convert(dir_, source, dir_.file("bad.pdf"));
  }

  TempTree dir_;
};

struct TiffFileCase {
  const char* name;
  const char* suffix;
  uint16_t compression;
  uint32_t t4Options;
  bool bigEndian;
  uint16_t fillOrder;
  uint32_t rowsPerStrip;
};

class FaxTiffEndToEndTest : public FaxEndToEndTest,
                            public ::testing::WithParamInterface<TiffFileCase> {};

TEST_P(FaxTiffEndToEndTest, EveryPageArrivesPixelForPixel) {
  const TiffFileCase& c = GetParam();
  std::vector<Bitmap> pages = {makeBitmap(1728, 120, 3), makeBitmap(1728, 90, 4)};
  FaxTiffOptions o;
  o.compression = c.compression;
  o.t4Options = c.t4Options;
  o.bigEndian = c.bigEndian;
  o.fillOrder = c.fillOrder;
  o.rowsPerStrip = c.rowsPerStrip;
  o.xResolution = 200;
  o.yResolution = 200;
  const std::string source = dir_.file(std::string("fax.") + c.suffix);
  ASSERT_TRUE(writeFaxTiff(source, pages, o));
  expectPdf(source, pages, 200, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FaxTiffEndToEndTest,
    ::testing::Values(TiffFileCase{"FmfG4", "FMF", COMPRESSION_CCITTFAX4, 0, false, 1, 0},
                      TiffFileCase{"FmfG4Strips", "FMF", COMPRESSION_CCITTFAX4, 0, true, 2, 25},
                      TiffFileCase{"G3nT4TwoD", "G3N", COMPRESSION_CCITTFAX3, 5, true, 1, 0},
                      TiffFileCase{"G3nT4OneD", "G3N", COMPRESSION_CCITTFAX3, 4, false, 2, 40},
                      TiffFileCase{"G3fT4OneD", "G3F", COMPRESSION_CCITTFAX3, 0, false, 1, 0},
                      TiffFileCase{"G3fMh", "G3F", COMPRESSION_CCITTRLE, 0, false, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaxEndToEndTest, RawGroup3StreamFromLibtiff) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 300, 7)};
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX3;
  o.t4Options = 0;
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, o));
  const std::string raw = dir_.file("fax.g3");
  writeBytes(raw, rawStripBytes(tif));
  // A short stream: the vertical resolution is estimated as 100 lines per inch.
  expectPdf(raw, pages, 200, 100);
}

TEST_F(FaxEndToEndTest, RawGroup4StreamWithoutFlags) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 300, 8)};
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, FaxTiffOptions{}));
  const std::string raw = dir_.file("fax.g4");
  writeBytes(raw, rawStripBytes(tif));
  expectPdf(raw, pages, 200, 100, "/raw");
}

TEST_F(FaxEndToEndTest, RawGroup3StreamFromPbmtog3) {
  if (!haveTool("pbmtog3")) GTEST_SKIP() << "netpbm missing";
  Bitmap page = makeBitmap(1728, 250, 9);
  std::string pbm = "P4\n1728 250\n";
  pbm.append(page.bits.begin(), page.bits.end());
  writeBytes(dir_.file("page.pbm"), std::vector<uint8_t>(pbm.begin(), pbm.end()));
  const std::string raw = dir_.file("pbm.g3");
  ASSERT_EQ(runCommand("pbmtog3 " + shellQuote(dir_.file("page.pbm")) + " >" + shellQuote(raw) +
                         " 2>/dev/null").exitCode, 0);
  expectPdf(raw, {page}, 200, 100);
}

// A Group 4 page whose first rows are blank, behind a flag of 0xFF bytes. A blank row against a
// blank reference row is a single 1 bit at every width and in either bit order, so such rows must
// not decide the bit order or the width. With the default settings the blank top rows cannot be
// told from the flag and are merged into it; with "/raw" there is no flag and every 1 bit of the
// flag is a blank row.
struct BlankMarginCase {
  const char* name;
  uint32_t width;
  uint16_t fillOrder;
  const char* options;
};

class RawGroup4BlankMarginTest : public FaxEndToEndTest,
                                 public ::testing::WithParamInterface<BlankMarginCase> {};

TEST_P(RawGroup4BlankMarginTest, PageArrivesInItsBitOrderAndWidth) {
  const BlankMarginCase& c = GetParam();
  constexpr uint32_t kMargin = 93;
  constexpr uint32_t kFlagBytes = 4;
  // Lines of text with blank rows between them, as on a letter.
  Bitmap text = makeBitmap(c.width, 260, c.width + c.fillOrder);
  const uint32_t bpr = text.bytesPerRow();
  for (uint32_t y = 0; y < text.rows; ++y) {
    if (y % 32 >= 12) std::fill_n(text.bits.begin() + ptrdiff_t{y} * bpr, bpr, 0);
  }
  Bitmap page{c.width, kMargin + text.rows, std::vector<uint8_t>(size_t{kMargin} * bpr)};
  page.bits.insert(page.bits.end(), text.bits.begin(), text.bits.end());
  FaxTiffOptions o;
  o.fillOrder = c.fillOrder;
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, {page}, o));
  std::vector<uint8_t> raw(kFlagBytes, 0xFF);
  const std::vector<uint8_t> coded = rawStripBytes(tif);
  raw.insert(raw.end(), coded.begin(), coded.end());
  const std::string source = dir_.file("margin.g4");
  writeBytes(source, raw);

  // The page as it must arrive: the text from its first black row, behind as many blank rows as
  // the flag and the margin are decoded into.
  auto blank = [&](uint32_t y) {
    const auto row = page.bits.begin() + ptrdiff_t{y} * bpr;
    return std::all_of(row, row + bpr, [](uint8_t b) { return b == 0; });
  };
  uint32_t first = 0;
  while (first < page.rows && blank(first)) ++first;
  const bool flagless = std::string(c.options) == "/raw";
  const uint32_t blankRows = flagless ? kFlagBytes * 8 + first : 0;
  Bitmap expected{c.width, blankRows + page.rows - first, std::vector<uint8_t>(size_t{blankRows} * bpr)};
  expected.bits.insert(expected.bits.end(), page.bits.begin() + ptrdiff_t{first} * bpr, page.bits.end());
  expectPdf(source, {expected}, 200, 100, c.options);
}

INSTANTIATE_TEST_SUITE_P(
    WidthsAndBitOrders, RawGroup4BlankMarginTest,
    ::testing::Values(BlankMarginCase{"A4HighBitFirst", 1728, FILLORDER_MSB2LSB, ""},
                      BlankMarginCase{"A4LowBitFirst", 1728, FILLORDER_LSB2MSB, ""},
                      BlankMarginCase{"B4HighBitFirst", 2048, FILLORDER_MSB2LSB, ""},
                      BlankMarginCase{"B4LowBitFirst", 2048, FILLORDER_LSB2MSB, ""},
                      BlankMarginCase{"A3HighBitFirst", 2432, FILLORDER_MSB2LSB, ""},
                      BlankMarginCase{"A3LowBitFirst", 2432, FILLORDER_LSB2MSB, ""},
                      BlankMarginCase{"A4HighBitFirstFlagless", 1728, FILLORDER_MSB2LSB, "/raw"},
                      BlankMarginCase{"A4LowBitFirstFlagless", 1728, FILLORDER_LSB2MSB, "/raw"},
                      BlankMarginCase{"B4HighBitFirstFlagless", 2048, FILLORDER_MSB2LSB, "/raw"},
                      BlankMarginCase{"B4LowBitFirstFlagless", 2048, FILLORDER_LSB2MSB, "/raw"},
                      BlankMarginCase{"A3HighBitFirstFlagless", 2432, FILLORDER_MSB2LSB, "/raw"},
                      BlankMarginCase{"A3LowBitFirstFlagless", 2432, FILLORDER_LSB2MSB, "/raw"}),
    [](const auto& info) { return std::string(info.param.name); });

// A bilevel CCITT page without a PhotometricInterpretation tag is fax data in the TIFF convention,
// 0 bits white: on the PDF road (a TIFF source) and through the engine's TIFF reader (FMF).
struct NoPhotometricCase {
  const char* name;
  const char* suffix;
  uint16_t compression;
};

class NoPhotometricEndToEndTest : public FaxEndToEndTest,
                                  public ::testing::WithParamInterface<NoPhotometricCase> {};

TEST_P(NoPhotometricEndToEndTest, PagesAreReadMinIsWhite) {
  const NoPhotometricCase& c = GetParam();
  std::vector<Bitmap> pages = {makeBitmap(1728, 110, 21), makeBitmap(1728, 70, 22)};
  FaxTiffOptions o;
  o.compression = c.compression;
  o.xResolution = 200;
  o.yResolution = 200;
  const std::string source = dir_.file(std::string("nophotometric.") + c.suffix);
  ASSERT_TRUE(writeFaxTiff(source, pages, o));
  std::vector<uint8_t> bytes = readBytes(source);
  ASSERT_TRUE(dropPhotometric(bytes));
  writeBytes(source, bytes);
  expectPdf(source, pages, 200, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, NoPhotometricEndToEndTest,
    ::testing::Values(NoPhotometricCase{"TiffG4", "tif", COMPRESSION_CCITTFAX4},
                      NoPhotometricCase{"TiffG3", "tif", COMPRESSION_CCITTFAX3},
                      NoPhotometricCase{"TiffModifiedHuffman", "tif", COMPRESSION_CCITTRLE},
                      NoPhotometricCase{"FmfG4", "FMF", COMPRESSION_CCITTFAX4},
                      NoPhotometricCase{"FmfG3", "FMF", COMPRESSION_CCITTFAX3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaxEndToEndTest, BadInputsEndAsNotFaxOrErrorFax) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 120, 3), makeBitmap(1728, 90, 4)};
  const std::string good = dir_.file("good.tif");
  ASSERT_TRUE(writeFaxTiff(good, pages, FaxTiffOptions{}));
  std::vector<uint8_t> bytes = readBytes(good);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
  std::vector<uint8_t> noise(4000);
  uint32_t state = 99;
  for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  inputs.push_back({"noise.FMF", noise});
  inputs.push_back({"noise.g3", noise});
  inputs.push_back({"empty.G3N", {}});
  inputs.push_back({"empty.fax", {}});
  inputs.push_back({"few.FMF", {'I', 'I', 42}});
  inputs.push_back({"cut.FMF", std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 3)});
  for (const auto& [name, content] : inputs) {
    SCOPED_TRACE(name);
    writeBytes(dir_.file(name), content);
    std::string report = reportFor(dir_.file(name));
    if (name.starts_with("cut")) {
      // Cut inside page 1: either nothing decodes, or the rows that do arrive in the PDF.
      bool ended = report.find(" - Not Fax") != std::string::npos ||
                   report.find(" - Error Fax") != std::string::npos ||
                   report.find("Success !") != std::string::npos;
      EXPECT_TRUE(ended) << report;
    } else {
      EXPECT_NE(report.find(" - Not Fax"), std::string::npos) << report;
    }
  }
}

}  // namespace
}  // namespace tarnwell
