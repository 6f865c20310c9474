// Real TIFF files from the shared sample corpus: each converts into a PDF that qpdf accepts
// and whose gray and bilevel pages render as libtiff decodes them, or is refused cleanly.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>

#include "pdfout/pdf/t2p.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> corpusTiffs() {
  std::vector<std::string> files;
  const fs::path root = fs::path(TARNWELL_SOURCE_DIR) / ".." / "shared" / "corpus";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (entry.is_regular_file() && (ext == ".tif" || ext == ".tiff") &&
        entry.file_size() < 2 * 1024 * 1024) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Page resolution and whether the page is small and simple enough to render and compare.
bool comparablePage(TIFF* tif, float& xdpi, float& ydpi) {
  uint32_t w = 0, l = 0;
  uint16_t bits = 1, spp = 1, photometric = 0, unit = RESUNIT_INCH;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  xdpi = ydpi = 0;
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xdpi);
  TIFFGetField(tif, TIFFTAG_YRESOLUTION, &ydpi);
  if (xdpi <= 0) xdpi = 300;
  if (ydpi <= 0) ydpi = 300;
  if (unit == RESUNIT_CENTIMETER) {
    xdpi *= 2.54f;
    ydpi *= 2.54f;
  }
  return spp == 1 && bits <= 8 && photometric <= PHOTOMETRIC_MINISBLACK &&
         uint64_t{w} * l <= 10'000'000;
}

TEST(CorpusTest, EveryCorpusTiffConvertsOrIsRefusedCleanly) {
  const std::vector<std::string> files = corpusTiffs();
  if (files.empty()) GTEST_SKIP() << "sample corpus not present";
  test::TempTree dir;
  test::TiffMessages messages;
  int converted = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string pdf = dir.file("out.pdf");
    if (t2p_convert_file(file, pdf).result != T2pResult::kWritten) {
      EXPECT_FALSE(test::fileExists(pdf));
      continue;
    }
    ++converted;
    ASSERT_EQ(test::pdfProblems(pdf), "");
    const test::TiffHandle tif = test::openTiff(file);
    ASSERT_TRUE(tif);
    // Only files whose every directory is a page map page n to directory n - 1.
    const int directories = TIFFNumberOfDirectories(tif.get());
    for (int d = 0; d < directories && d < 3; ++d) {
      ASSERT_TRUE(TIFFSetDirectory(tif.get(), static_cast<tdir_t>(d)));
      uint32_t subfile = 0;
      if (TIFFGetField(tif.get(), TIFFTAG_SUBFILETYPE, &subfile) && subfile != 0 &&
          !(subfile & FILETYPE_PAGE)) {
        break;
      }
      float xdpi = 0, ydpi = 0;
      if (!comparablePage(tif.get(), xdpi, ydpi)) continue;
      test::Raster expected, rendered;
      if (!test::decodeTiffDirectory(file, static_cast<uint16_t>(d), expected)) continue;
      ASSERT_TRUE(test::renderPdfPage(pdf, d + 1, xdpi, ydpi, rendered));
      EXPECT_EQ(test::countDifferences(expected, rendered), 0) << "page " << d + 1;
    }
    fs::remove(pdf);
  }
  EXPECT_GT(converted, 0);
}

}  // namespace
}  // namespace tarnwell
