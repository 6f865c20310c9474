// End-to-end: fax files of several kinds converted by the built program ("tarnwell /f in out"),
// the PDF checked with qpdf, its page count, and its pages rendered by Ghostscript compared pixel
// for pixel with the bitmaps the fax files were made from.

#include <gtest/gtest.h>

#include "app/end_to_end_support.h"

namespace tarnwell {
namespace {

using namespace tarnwell::testing;

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
  writeFile(raw, rawStripBytes(tif));
  // A short stream: the vertical resolution is estimated as 100 lines per inch.
  expectPdf(raw, pages, 200, 100);
}

TEST_F(FaxEndToEndTest, RawGroup4StreamWithoutFlags) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 300, 8)};
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, FaxTiffOptions{}));
  const std::string raw = dir_.file("fax.g4");
  writeFile(raw, rawStripBytes(tif));
  expectPdf(raw, pages, 200, 100, "/raw");
}

TEST_F(FaxEndToEndTest, RawGroup3StreamFromPbmtog3) {
  if (!haveTool("pbmtog3")) GTEST_SKIP() << "netpbm missing";
  Bitmap page = makeBitmap(1728, 250, 9);
  std::string pbm = "P4\n1728 250\n";
  pbm.append(page.bits.begin(), page.bits.end());
  writeFile(dir_.file("page.pbm"), std::vector<uint8_t>(pbm.begin(), pbm.end()));
  const std::string raw = dir_.file("pbm.g3");
  ASSERT_EQ(std::system(("pbmtog3 " + quote(dir_.file("page.pbm")) + " >" + quote(raw) +
                         " 2>/dev/null").c_str()), 0);
  expectPdf(raw, {page}, 200, 100);
}

TEST_F(FaxEndToEndTest, BadInputsEndAsNotFaxOrErrorFax) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 120, 3), makeBitmap(1728, 90, 4)};
  const std::string good = dir_.file("good.tif");
  ASSERT_TRUE(writeFaxTiff(good, pages, FaxTiffOptions{}));
  std::vector<uint8_t> bytes = readFile(good);

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
    writeFile(dir_.file(name), content);
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
