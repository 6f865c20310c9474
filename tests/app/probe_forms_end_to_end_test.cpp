// Group 4 pages whose coding, bit order and width the program must find out from the data:
// ruled forms and framed text, where most rows repeat the row above, at three widths and in
// both bit orders, as a raw stream behind a flag and as the page of a BIT FAX and a QLIIFAX
// file. Each converts to one page that Ghostscript renders pixel for pixel like its source.
// Also a one-dimensional Group 3 stream with invalid codes between good rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>

#include "support/ContainerBuilders.h"
#include "support/BitWriter.h"
#include "support/Ghostscript.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/Raster.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// The program on one file with the default settings, its working files in the scratch tree.
std::string convert(const TempTree& dir, const std::string& source, const std::string& pdf) {
  ProgramRun how;
  how.tmpDir = dir.path();
  return runProgram(how, std::vector<std::string>{"/f", source, pdf}).out;
}

// The page without its blank top rows: behind a flag they are 1 bits like the flag's own.
Bitmap withoutBlankTop(const Bitmap& page) {
  const uint32_t bpr = page.bytesPerRow();
  uint32_t first = 0;
  while (first < page.rows &&
         std::all_of(page.row(first), page.row(first) + bpr, [](uint8_t b) { return b == 0; })) {
    ++first;
  }
  return page.rowsOf(first, page.rows - first);
}

class ProbedPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
  }

  // Converts, then checks the report, qpdf, one page and its pixels at the given resolution.
  void expectOnePage(const std::string& source, const Bitmap& expected, float xdpi, float ydpi) {
    const std::string pdf = dir_.file("out.pdf");
    std::filesystem::remove(pdf);
    const std::string report = convert(dir_, source, pdf);
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    ASSERT_TRUE(qpdfCheck(pdf));
    ASSERT_EQ(qpdfPageCount(pdf), 1);
    Raster raster;
    ASSERT_TRUE(renderPdfPage(pdf, 1, xdpi, ydpi, raster));
    const Bitmap rendered = toBitmap(raster);
    EXPECT_EQ(differingPixels(rendered, expected), 0u)
        << rendered.width << "x" << rendered.rows << ", expected " << expected.width << "x"
        << expected.rows;
  }

  TempTree dir_;
};

enum class Carrier { kRawBehindFlag, kBitFax, kQliiFax };

using ProbeCase = std::tuple<Pattern, Carrier, uint32_t, uint8_t>;

class ProbedGroup4PageTest : public ProbedPagesTest,
                             public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbedGroup4PageTest, ConvertsToItsOwnPixels) {
  const auto& [pattern, carrier, width, fillOrder] = GetParam();
  const Bitmap bitmap = makePage(pattern, width, 1000, width + fillOrder);
  const CodedPage page = codePage(bitmap, 7, fillOrder);
  ASSERT_FALSE(page.bytes.empty());
  switch (carrier) {
    case Carrier::kRawBehindFlag: {
      std::vector<uint8_t> raw(4, 0xFF);
      raw.insert(raw.end(), page.bytes.begin(), page.bytes.end());
      const std::string source = dir_.file("form.g4");
      ASSERT_TRUE(writeBytes(source, raw));
      // A stream this short is taken for 100 lines per inch.
      expectOnePage(source, withoutBlankTop(bitmap), 200, 100);
      break;
    }
    case Carrier::kBitFax: {
      const std::string source = dir_.file("form.bfx");
      ASSERT_TRUE(writeBytes(source, buildBitFax({page})));
      expectOnePage(source, bitmap, 200, 200);
      break;
    }
    case Carrier::kQliiFax: {
      const std::string source = dir_.file("form.qfx");
      ASSERT_TRUE(writeBytes(source, buildQliiFax({page})));
      expectOnePage(source, bitmap, 200, 200);
      break;
    }
  }
}

std::string caseName(const ProbeCase& c) {
  static const char* const kCarriers[] = {"Raw", "BitFax", "QliiFax"};
  return std::string(patternName(std::get<0>(c))) + kCarriers[static_cast<int>(std::get<1>(c))] +
         std::to_string(std::get<2>(c)) + (std::get<3>(c) == 1 ? "HighBitFirst" : "LowBitFirst");
}

INSTANTIATE_TEST_SUITE_P(
    FormsAndFramedText, ProbedGroup4PageTest,
    ::testing::Combine(::testing::Values(Pattern::kRuledForm, Pattern::kFramedText),
                       ::testing::Values(Carrier::kRawBehindFlag, Carrier::kBitFax,
                                         Carrier::kQliiFax),
                       ::testing::Values(1728u, 2048u, 2432u), ::testing::Values(1, 2)),
    [](const auto& info) { return caseName(info.param); });

// A one-dimensional Group 3 stream of 1728-pixel rows in which every `interval`-th row is broken
// by an invalid code after a few good codes: the broken rows are left out, the others arrive.
// Invalid codes leave the count of equal widths as it was, so rows between them add up.
class BrokenRowsTest : public ProbedPagesTest, public ::testing::WithParamInterface<int> {};

TEST_P(BrokenRowsTest, ConvertUnlessEveryRowIsBroken) {
  const uint32_t interval = static_cast<uint32_t>(GetParam());
  const Bitmap bitmap = makePage(Pattern::kWords, 1728, 300, 41);
  const std::vector<std::vector<uint8_t>> rows =
      codeStrips(dir_, bitmap, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB, true);
  ASSERT_EQ(rows.size(), bitmap.rows);
  // EOL, a white run of 100, a black run of 20, then eight 0 bits and a 1: no code starts so.
  const std::vector<uint8_t> broken =
      BitWriter().put("000000000001 11011 00010101 0000110100 0 000000001 0101").bytes(true);
  std::vector<uint8_t> stream;
  Bitmap kept(bitmap.width, 0);
  for (uint32_t y = 0; y < bitmap.rows; ++y) {
    if (y % interval == interval - 1) {
      stream.insert(stream.end(), broken.begin(), broken.end());
      continue;
    }
    stream.insert(stream.end(), rows[y].begin(), rows[y].end());
    kept.bits.insert(kept.bits.end(), bitmap.row(y), bitmap.row(y) + bitmap.bytesPerRow());
    ++kept.rows;
  }
  const std::string source = dir_.file("broken.g3");
  ASSERT_TRUE(writeBytes(source, stream));
  if (kept.rows == 0) {
    const std::string report = convert(dir_, source, dir_.file("none.pdf"));
    EXPECT_NE(report.find(" - Not Fax"), std::string::npos) << report;
    return;
  }
  expectOnePage(source, kept, 200, 100);
}

INSTANTIATE_TEST_SUITE_P(Intervals, BrokenRowsTest, ::testing::Values(30, 1),
                         [](const auto& info) {
                           return "Every" + std::to_string(info.param) + "Rows";
                         });

}  // namespace
}  // namespace tarnwell
