// Group 3 and Group 4 pages of the shared sample files: strips read raw with libtiff, decoded by
// our decoders and compared bit for bit with libtiff's decode of the same strips.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "decoder_support.h"
#include "codec/FaxDecoder.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"

namespace tarnwell {
namespace {

struct StripCheck {
  int compared = 0;      // strips compared with libtiff
  int decodedOnly = 0;   // strips libtiff itself does not decode cleanly
};

// Decodes every fax strip of every directory of one file; failures are reported with the path.
void checkFile(const std::string& path, StripCheck& check) {
  const test::TiffHandle tif = test::openTiff(path);
  if (!tif) return;
  TIFF* t = tif.get();
  do {
    uint16_t compression = 0, bps = 1, fillOrder = 1;
    uint32_t width = 0, length = 0, rowsPerStrip = 0, t4 = 0, t6 = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fillOrder);
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    uint8_t coding = 0;
    switch (compression) {
      case COMPRESSION_CCITTRLE: coding = 3; break;
      case COMPRESSION_CCITTRLEW: coding = 4; break;
      case COMPRESSION_CCITTFAX3:
        TIFFGetFieldDefaulted(t, TIFFTAG_GROUP3OPTIONS, &t4);
        coding = (t4 & GROUP3OPT_2DENCODING) ? 6 : 5;
        break;
      case COMPRESSION_CCITTFAX4:
        TIFFGetFieldDefaulted(t, TIFFTAG_GROUP4OPTIONS, &t6);
        coding = 7;
        break;
      default: break;
    }
    if (coding == 0 || bps != 1 || width == 0 || TIFFIsTiled(t)) continue;
    const uint32_t strips = TIFFNumberOfStrips(t);
    const int bpr = static_cast<int>((width + 7) / 8);
    for (uint32_t s = 0; s < strips; ++s) {
      const uint32_t firstRow = s * rowsPerStrip;
      if (firstRow >= length) break;
      const int rows = static_cast<int>(std::min(rowsPerStrip, length - firstRow));
      uint64_t* counts = nullptr;
      ASSERT_EQ(TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts), 1);
      std::vector<uint8_t> raw(static_cast<std::size_t>(counts[s]));
      ASSERT_GE(TIFFReadRawStrip(t, s, raw.data(), static_cast<tmsize_t>(raw.size())), 0) << path;

      FaxDecodeParams p;
      p.coding = coding;
      p.width = static_cast<int32_t>(width);
      p.rowLimit = rows;
      p.bitOrder = fillOrder == FILLORDER_LSB2MSB ? 2 : 1;
      p.photometric = 1;  // black runs as 1 bits, as libtiff's fax codec delivers them
      p.t6Options = t6;
      FaxPage page;
      const int result = coding == 7 ? decodePageT6(raw, p, page) : decodePage(raw, p, page);

      std::vector<uint8_t> theirs(static_cast<std::size_t>(rows) * bpr);
      const test::TiffMessages silence;
      const tmsize_t got = TIFFReadEncodedStrip(t, s, theirs.data(), static_cast<tmsize_t>(theirs.size()));
      if (got != static_cast<tmsize_t>(theirs.size())) {
        ++check.decodedOnly;
        continue;
      }
      EXPECT_GE(result, 0) << path << " strip " << s;
      ASSERT_EQ(page.rows, rows) << path << " strip " << s;
      for (int y = 0; y < rows; ++y) {
        ASSERT_TRUE(test::rowsEqual(page.bitmap.data() + static_cast<std::size_t>(y) * bpr,
                                    theirs.data() + static_cast<std::size_t>(y) * bpr,
                                    static_cast<int>(width)))
            << path << " strip " << s << " row " << y;
      }
      ++check.compared;
    }
  } while (TIFFReadDirectory(t));
}

TEST(DecoderCorpus, FaxPagesOfTheSampleFilesMatchLibtiff) {
  const std::filesystem::path corpus = TARNWELL_SOURCE_DIR "/../shared/corpus";
  std::error_code ec;
  if (!std::filesystem::is_directory(corpus, ec)) GTEST_SKIP() << "no sample corpus";
  TIFFSetWarningHandler(nullptr);
  StripCheck check;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".tif" && ext != ".tiff") continue;
    checkFile(entry.path().string(), check);
  }
  EXPECT_GT(check.compared, 10) << "too few fax strips found in the corpus";
  std::printf("fax strips compared with libtiff: %d, not decoded by libtiff: %d\n", check.compared,
              check.decodedOnly);
}

}  // namespace
}  // namespace tarnwell
