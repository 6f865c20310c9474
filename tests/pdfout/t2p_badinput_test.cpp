// Hostile and unsupported TIFFs: each ends in a refused conversion that leaves no PDF, or in a
// PDF that qpdf accepts. Never a crash or a hang.

#include <gtest/gtest.h>

#include <filesystem>
#include <tiffio.h>

#include <cstring>

#include "pdfout/pdf/t2p.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"

namespace tarnwell {
namespace {

using test::TiffImage;

using test::RawEntry;
using test::TiffBytes;

constexpr uint16_t kShort = 3, kLong = 4;

// A bilevel, uncompressed directory whose fields the cases change.
std::vector<RawEntry> plainDirectory(TiffBytes& t, uint32_t width, uint32_t length,
                                             uint32_t stripBytes) {
  const uint32_t strip = t.appendText(std::string(stripBytes, '\x55'));
  t.pad();
  return {{256, kLong, 1, width},        {257, kLong, 1, length},
          {258, kShort, 1, 1},           {259, kShort, 1, 1},
          {262, kShort, 1, 0},           {273, kLong, 1, strip},
          {277, kShort, 1, 1},           {278, kLong, 1, length},
          {279, kLong, 1, stripBytes}};
}

class BadInputTest : public ::testing::Test {
 protected:
  // Converts into a fresh destination; a failure must leave no PDF, a success a PDF that
  // passes the checks. The archival PDF of the same bytes is written exactly when the plain one
  // is, and passes qpdf.
  int convertBytes(const std::string& tiff) {
    const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
    const std::string pdfa = dir.file("out-a.pdf");
    EXPECT_TRUE(test::writeText(tif, tiff));
    std::error_code ec;
    std::filesystem::remove(pdf, ec);
    std::filesystem::remove(pdfa, ec);
    const int result = static_cast<int>(t2p_convert_file(tif, pdf).result);
    T2pOptions archival;
    archival.pdfa = true;
    EXPECT_EQ(static_cast<int>(t2p_convert_file(tif, pdfa, archival).result), result);
    if (result == 0) {
      EXPECT_EQ(test::pdfProblems(pdf), "");
      EXPECT_TRUE(test::qpdfCheck(pdfa));
    } else {
      EXPECT_FALSE(test::fileExists(pdf));
      EXPECT_FALSE(test::fileExists(pdfa));
    }
    return result;
  }
  int convertSpec(const TiffImage& desc) {
    const std::string tif = dir.file("desc.tif");
    EXPECT_TRUE(test::writeTiff(tif, {desc}));
    return convertBytes(test::readText(tif));
  }
  test::TempTree dir;
  test::TiffMessages messages;
};

struct RefusalCase {
  const char* name;
  std::function<void(std::vector<RawEntry>&)> change;
  const char* message;  // one of these texts must be reported (ours or libtiff's refusal)
  const char* orMessage;
};

class RefusalTest : public BadInputTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, RefusedWithMessageAndNoPdf) {
  TiffBytes t;
  auto d = plainDirectory(t, 16, 4, 8);
  GetParam().change(d);
  EXPECT_EQ(convertBytes(t.finish({d})), 1);
  const bool reported = messages.hasError(GetParam().message) ||
                        (GetParam().orMessage[0] != '\0' && messages.hasError(GetParam().orMessage));
  EXPECT_TRUE(reported) << GetParam().message;
}

const RefusalCase kRefusals[] = {
    {"ZeroWidth", [](auto& d) { test::setEntry(d, 256, kLong, 0); }, "with zero width", "Can't open input file"},
    {"ZeroLength", [](auto& d) { test::setEntry(d, 257, kLong, 0); }, "with zero length", "Can't open input file"},
    {"MissingWidth", [](auto& d) { test::removeEntry(d, 256); }, "with zero width", "Can't open input file"},
    {"SixteenBits", [](auto& d) { test::setEntry(d, 258, kShort, 16); }, "with 16 bits per sample", ""},
    {"ThreeBits", [](auto& d) { test::setEntry(d, 258, kShort, 3); }, "with 3 bits per sample", ""},
    {"FiveSamples",
     [](auto& d) { test::setEntry(d, 277, kShort, 5); }, "with 5 samples per pixel", "Can't open input file"},
    {"SignedSamples", [](auto& d) { test::setEntry(d, 339, kShort, 2); }, "with sample format 2", ""},
    {"NotConfiguredCodec",
     [](auto& d) { test::setEntry(d, 259, kShort, 34712); }, "with compression type 34712:  not configured",
     "Can't open input file"},
    {"MaskPhotometric",
     [](auto& d) { test::setEntry(d, 262, kShort, 4); }, "with photometric interpretation 4", ""},
    {"LogLuv",
     [](auto& d) { test::setEntry(d, 262, kShort, 32845); }, "with photometric interpretation LogL/LogLuv",
     "Can't open input file"},
    {"RgbTwoSamples",
     [](auto& d) { test::setEntry(d, 262, kShort, 2); test::setEntry(d, 277, kShort, 2); },
     "No support for RGB image", ""},
    {"PaletteWithoutMap",
     [](auto& d) { test::setEntry(d, 262, kShort, 3); }, "has no color map", "Can't open input file"},
    {"SeparatedThreeSamples",
     [](auto& d) { test::setEntry(d, 262, kShort, 5); test::setEntry(d, 277, kShort, 3); },
     "because it has 3 samples per pixel", ""},
    {"SeparatedOtherInks",
     [](auto& d) { test::setEntry(d, 262, kShort, 5); test::setEntry(d, 277, kShort, 4); test::setEntry(d, 332, kShort, 2); },
     "because its inkset is not CMYK", ""},
    {"PlanarSeparateFourBits",
     [](auto& d) { test::setEntry(d, 258, kShort, 4); test::setEntry(d, 284, kShort, 2); },
     "with separated planar configuration and 4 bits per sample", ""},
    {"PlanarThree", [](auto& d) { test::setEntry(d, 284, kShort, 3); }, "with planar configuration 3",
     "Can't open input file"},
    {"AbsurdDimensions",
     [](auto& d) { test::setEntry(d, 256, kLong, 0x7FFFFFFF); test::setEntry(d, 257, kLong, 0x7FFFFFFF); test::setEntry(d, 278, kLong, 0x7FFFFFFF); },
     "Can't allocate", "Can't open input file"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BadInputTest, TruncatedStripsAreSkippedNotFatal) {
  TiffImage desc;
  desc.width = 64;
  desc.length = 64;
  desc.compression = COMPRESSION_CCITTFAX4;
  desc.rowsPerStrip = 16;
  desc.pixels = test::makePage(test::Pattern::kBands, 64, 64).bits;
  ASSERT_TRUE(test::writeTiff(dir.file("good.tif"), {desc}));
  std::string bytes = test::readText(dir.file("good.tif"));
  // Break the data of the second strip: the page is still written.
  const test::TiffHandle in = test::openTiff(dir.file("good.tif"));
  uint64_t* offsets = nullptr;
  ASSERT_TRUE(TIFFGetField(in.get(), TIFFTAG_STRIPOFFSETS, &offsets));
  for (int i = 0; i < 6; ++i) bytes[offsets[1] + i] = '\0';
  EXPECT_EQ(convertBytes(bytes), 0);
}

TEST_F(BadInputTest, TruncatedSingleGroup4StripIsDecodedInstead) {
  TiffImage desc;
  desc.width = 64;
  desc.length = 64;
  desc.compression = COMPRESSION_CCITTFAX4;
  desc.pixels = test::makePage(test::Pattern::kBands, 64, 64).bits;
  ASSERT_TRUE(test::writeTiff(dir.file("good.tif"), {desc}));
  std::string bytes = test::readText(dir.file("good.tif"));
  TiffBytes t;
  // The strip claims more bytes than the file holds.
  std::string strip = bytes.substr(8, 40);
  const uint32_t at = t.appendText(strip);
  t.pad();
  auto d = plainDirectory(t, 64, 64, 1);
  test::setEntry(d, 259, kShort, 4);
  test::setEntry(d, 273, kLong, at);
  test::setEntry(d, 279, kLong, 100000);
  EXPECT_EQ(convertBytes(t.finish({d})), 0);
  EXPECT_TRUE(messages.hasWarning("Can't copy strip 0 of"));
}

TEST_F(BadInputTest, DirectoryLoopEnds) {
  TiffBytes t;
  auto first = plainDirectory(t, 16, 4, 8);
  auto second = plainDirectory(t, 24, 4, 12);
  convertBytes(t.finish({first, second}, {1, 0}));  // second points back at the first
}

TEST_F(BadInputTest, NoPagesAtAllIsAFailure) {
  TiffImage desc;
  desc.width = 16;
  desc.length = 4;
  desc.subfileType = FILETYPE_REDUCEDIMAGE;
  desc.pixels.assign(8, 0x0F);
  EXPECT_EQ(convertSpec(desc), 1);
}

TEST_F(BadInputTest, EveryTruncationEitherFailsCleanlyOrGivesValidPdf) {
  std::vector<TiffImage> pages(2);
  for (int i = 0; i < 2; ++i) {
    pages[i].width = 48;
    pages[i].length = 24;
    pages[i].compression = i == 0 ? COMPRESSION_CCITTFAX4 : COMPRESSION_CCITTFAX3;
    pages[i].rowsPerStrip = i == 0 ? 0 : 8;
    pages[i].pixels = test::makePage(test::Pattern::kBands, 48, 24, i).bits;
  }
  ASSERT_TRUE(test::writeTiff(dir.file("good.tif"), pages));
  const std::string bytes = test::readText(dir.file("good.tif"));
  for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 24) {
    SCOPED_TRACE(cut);
    convertBytes(bytes.substr(0, cut));
  }
}

TEST_F(BadInputTest, FlippedBytesNeverCrash) {
  std::vector<TiffImage> pages(1);
  pages[0].width = 40;
  pages[0].length = 20;
  pages[0].compression = COMPRESSION_CCITTFAX4;
  pages[0].tileWidth = 16;
  pages[0].tileLength = 16;
  pages[0].pixels = test::makePage(test::Pattern::kBands, 40, 20).bits;
  ASSERT_TRUE(test::writeTiff(dir.file("good.tif"), pages));
  const std::string bytes = test::readText(dir.file("good.tif"));
  for (size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 20) {
    SCOPED_TRACE(at);
    std::string broken = bytes;
    broken[at] = static_cast<char>(broken[at] ^ 0xA5);
    convertBytes(broken);
  }
}

}  // namespace
}  // namespace tarnwell
