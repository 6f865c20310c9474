// Archival PDFs straight from the writer: every kind of page is PDF/A-1b as Preflight sees it,
// passes qpdf and renders to the plain PDF's pixels; the metadata from files is made safe.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "pdfout/pdf/pdf_digest.h"
#include "pdfout/pdf/pdfa_icc.h"
#include "pdfout/pdf/pdfa_metadata.h"
#include "pdfout/pdf/t2p.h"
#include "pdfout/pdf/t2p_samples.h"
#include "pdfout/tiffio/messages.h"
#include "support/Ghostscript.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Preflight.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using test::TiffImage;

constexpr float kDpi = 100;

TiffImage picture(uint16_t photometric, uint16_t samples, uint16_t bits = 8) {
  TiffImage image;
  image.width = 40;
  image.length = 24;
  image.bitsPerSample = bits;
  image.samplesPerPixel = samples;
  image.photometric = photometric;
  image.xres = image.yres = kDpi;
  image.resolutionUnit = RESUNIT_INCH;
  image.dateTime = "2008:03:14 09:05:07";
  image.pixels = test::grayPattern(40, 24, samples, 3);
  if (bits == 4) image.pixels.resize(20 * 24 * samples);
  return image;
}

TiffImage fax() {
  TiffImage page = test::bilevelImage(300, 120, COMPRESSION_CCITTFAX4);
  page.extraTags = nullptr;
  page.xres = page.yres = kDpi;
  page.resolutionUnit = RESUNIT_INCH;
  page.dateTime = "2008:03:14 09:05:07";
  return page;
}

struct Kind {
  const char* name;
  std::vector<TiffImage> images;
  const char* note = "";     // a note the archival outcome carries
  bool samePixels = true;    // false where the colours change on purpose
  PdfMetadata metadata;
  bool text = false;         // an invisible text layer on page 1
};

std::vector<Kind> kinds() {
  TiffImage palette = picture(PHOTOMETRIC_PALETTE, 1, 4);
  for (int i = 0; i < 3 * 16; ++i) palette.colorMap.push_back(static_cast<uint16_t>(i * 1361));
  TiffImage lzwRgb = picture(PHOTOMETRIC_RGB, 3);
  lzwRgb.compression = COMPRESSION_LZW;
  TiffImage lzwGray = picture(PHOTOMETRIC_MINISBLACK, 1);
  lzwGray.compression = COMPRESSION_LZW;
  TiffImage tiled = picture(PHOTOMETRIC_RGB, 3);
  tiled.tileWidth = tiled.tileLength = 16;
  TiffImage profiled = picture(PHOTOMETRIC_RGB, 3);
  profiled.iccProfile = srgbIccProfile();
  TiffImage transfer = picture(PHOTOMETRIC_MINISBLACK, 1);
  for (int i = 0; i < 256; ++i) transfer.transfer.push_back(static_cast<uint16_t>(i * 257));
  TiffImage hostile = fax();
  hostile.description = "Fax from <ACME> & \"Co\"\x01\x1b" + std::string(5000, 'x');
  hostile.artist = "M\xFCller";  // Latin-1
  hostile.software = "Scan\x7f 1.0";
  TiffImage rgba = picture(PHOTOMETRIC_RGB, 4);
  rgba.extraSamples = {EXTRASAMPLE_UNASSALPHA};
  TiffImage lab = picture(PHOTOMETRIC_CIELAB, 3);
  TiffImage calRgb = picture(PHOTOMETRIC_RGB, 3);
  calRgb.whitePoint = {0.3127f, 0.329f};
  calRgb.primaries = {0.64f, 0.33f, 0.3f, 0.6f, 0.15f, 0.06f};
  TiffImage calGray = picture(PHOTOMETRIC_MINISBLACK, 1);
  calGray.whitePoint = {0.3127f, 0.329f};
  TiffImage planar = picture(PHOTOMETRIC_RGB, 3);
  planar.planar = PLANARCONFIG_SEPARATE;
  TiffImage inverse = picture(PHOTOMETRIC_RGB, 4);
  TiffImage cmyk4 = picture(PHOTOMETRIC_SEPARATED, 4, 4);
  TiffImage cmykTiled = picture(PHOTOMETRIC_SEPARATED, 4);
  cmykTiled.tileWidth = cmykTiled.tileLength = 16;
  TiffImage cmykPlanar = picture(PHOTOMETRIC_SEPARATED, 4);
  cmykPlanar.planar = PLANARCONFIG_SEPARATE;
  TiffImage cmykPalette = picture(PHOTOMETRIC_SEPARATED, 1, 4);
  cmykPalette.colorMap = palette.colorMap;
  cmykPalette.extraTags = [](TIFF* tif) { TIFFSetField(tif, TIFFTAG_INDEXED, uint16_t{1}); };
  TiffImage g3 = fax();
  g3.compression = COMPRESSION_CCITTFAX3;
  TiffImage turned = fax();
  turned.orientation = 6;
  TiffImage gray2 = picture(PHOTOMETRIC_MINISWHITE, 1, 4);
  PdfMetadata given;
  given.title = "Brief \xC3\xBC" "ber.tif";
  given.createDate = {2009, 1, 7, 15, 30, 12, 60};
  std::vector<Kind> all = {
      {"fax", {fax(), fax()}, "", true, {}, true},
      {"gray", {picture(PHOTOMETRIC_MINISBLACK, 1)}},
      {"rgb", {picture(PHOTOMETRIC_RGB, 3)}},
      {"palette", {palette}},
      {"lzwRgb", {lzwRgb}},
      {"lzwGray", {lzwGray}},
      {"tiled", {tiled}},
      {"ownProfile", {profiled}},
      {"transfer", {transfer}, "page 1: its transfer function is left out"},
      {"cmyk", {picture(PHOTOMETRIC_SEPARATED, 4)}, "page 1: CMYK colours", false},
      {"metadata", {hostile}, "", true, given},
      {"rgba", {rgba}}, {"lab", {lab}}, {"calRgb", {calRgb}}, {"calGray", {calGray}},
      {"planar", {planar}}, {"inverse", {inverse}, "page 1: CMYK", false},
      {"cmyk4", {cmyk4}, "page 1: CMYK", false}, {"cmykTiled", {cmykTiled}, "page 1: CMYK", false},
      {"cmykPlanar", {cmykPlanar}, "page 1: CMYK", false}, {"g3", {g3}}, {"turned", {turned}},
      {"gray4", {gray2}}, {"cmykPalette", {cmykPalette}, "page 1: CMYK", false},
  };
  // A CMYK page keeps a version 2 profile of its own: Ghostscript's, where it is installed.
  const std::string cmykProfile = test::readText("/usr/share/color/icc/ghostscript/default_cmyk.icc");
  if (!cmykProfile.empty()) {
    TiffImage cmyk = picture(PHOTOMETRIC_SEPARATED, 4);
    cmyk.iccProfile.assign(cmykProfile.begin(), cmykProfile.end());
    all.push_back({"cmykProfile", {cmyk}});
  }
  return all;
}

std::string idOf(const std::string& pdf) {
  const std::size_t at = pdf.find("/ID [<");
  return at == std::string::npos ? "" : pdf.substr(at + 6, 32);
}

class PdfaWriterTest : public testing::Test {
 protected:
  void SetUp() override {
    silenceTiffMessages();
    if (!test::haveTool("qpdf") || !test::haveTool("gs")) GTEST_SKIP() << "qpdf or gs missing";
  }
  test::TempTree dir;
};

TEST_F(PdfaWriterTest, EveryKindIsValidPdfaWithThePlainPixels) {
  std::vector<std::string> archival;
  std::set<std::string> ids;
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    const std::string tif = dir.file(std::string(kind.name) + ".tif");
    const std::string plain = dir.file(std::string(kind.name) + "-plain.pdf");
    const std::string pdfa = dir.file(std::string(kind.name) + ".pdf");
    ASSERT_TRUE(test::writeTiff(tif, kind.images));
    std::vector<ocr::PageText> text(1);
    text[0] = {true, 300, 120, {{"Fax", 10, 20, 60, 40}, {"\xC3\xBC" "ber", 70, 20, 140, 40}}};
    T2pOptions options;
    options.pageText = kind.text ? &text : nullptr;
    ASSERT_EQ(t2p_convert_file(tif, plain, options).result, T2pResult::kWritten);
    options.pdfa = true;
    options.metadata = kind.metadata;
    const T2pOutcome outcome = t2p_convert_file(tif, pdfa, options);
    ASSERT_EQ(outcome.result, T2pResult::kWritten) << outcome.reason;
    EXPECT_EQ(outcome.notes.empty() ? "" : outcome.notes[0].substr(0, std::strlen(kind.note)),
              kind.note);
    std::string qpdf;
    EXPECT_TRUE(test::qpdfCheck(pdfa, &qpdf)) << qpdf;
    const std::string bytes = test::readText(pdfa);
    EXPECT_EQ(bytes.substr(0, 15), "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    ids.insert(idOf(bytes));
    archival.push_back(pdfa);
    if (kind.images[0].compression == COMPRESSION_LZW)
      EXPECT_NE(bytes.find("/Filter /FlateDecode"), std::string::npos);
    if (kind.images[0].compression == COMPRESSION_CCITTFAX4)  // the Group 4 bytes stay
      EXPECT_NE(bytes.find(test::streamOf(test::readText(plain), 7)), std::string::npos);
    for (int page = 1; kind.samePixels && page <= int(kind.images.size()); ++page) {
      test::Raster a, b;
      ASSERT_TRUE(test::renderPdfPage(plain, page, kDpi, kDpi, a));
      ASSERT_TRUE(test::renderPdfPage(pdfa, page, kDpi, kDpi, b));
      EXPECT_EQ(test::countDifferences(a, b), 0) << "page " << page;
    }
  }
  EXPECT_EQ(ids.size(), kinds().size());  // a digest of the content: each document its own
  if (!test::havePreflight()) GTEST_SKIP() << "java or PDFBox Preflight missing";
  const std::vector<std::string> problems = test::preflightProblems(archival);
  ASSERT_EQ(problems.size(), archival.size());
  for (std::size_t i = 0; i < archival.size(); ++i) EXPECT_EQ(problems[i], "") << archival[i];
}

// The same document gives the same bytes; the caller's metadata wins over the TIFF's, arrives
// printable and escaped, and the information dictionary says what the XMP says.
TEST_F(PdfaWriterTest, MetadataIsSafeAndTheSameInBothPlaces) {
  const std::vector<Kind> all = kinds();
  const Kind& kind = *std::find_if(all.begin(), all.end(), [](const Kind& k) {
    return std::string(k.name) == "metadata";
  });
  const std::string tif = dir.file("in.tif");
  ASSERT_TRUE(test::writeTiff(tif, kind.images));
  T2pOptions options;
  options.pdfa = true;
  options.metadata = kind.metadata;
  ASSERT_EQ(t2p_convert_file(tif, dir.file("a.pdf"), options).result, T2pResult::kWritten);
  ASSERT_EQ(t2p_convert_file(tif, dir.file("b.pdf"), options).result, T2pResult::kWritten);
  const std::string pdf = test::readText(dir.file("a.pdf"));
  EXPECT_TRUE(pdf == test::readText(dir.file("b.pdf")));
  const std::string info = test::objectText(pdf, 2);
  EXPECT_NE(info.find("/Title <FEFF00420072006900650066002000FC006200650072002E007400690066>"),
            std::string::npos) << info;
  EXPECT_NE(info.find("/Author <FEFF004D00FC006C006C00650072>"), std::string::npos);
  EXPECT_NE(info.find("/Creator (Scan 1.0)"), std::string::npos);
  EXPECT_NE(info.find("/CreationDate (D:20090107153012+01'00')"), std::string::npos);
  EXPECT_NE(pdf.find("<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Brief \xC3\xBC" "ber.tif<"),
            std::string::npos);
  const std::string description = "Fax from &lt;ACME&gt; &amp; &quot;Co&quot;" +
                                  std::string(kMaxMetadataCharacters - 22, 'x') + "</rdf:li>";
  EXPECT_NE(pdf.find(description), std::string::npos);
  EXPECT_NE(pdf.find("<xmp:CreateDate>2009-01-07T15:30:12+01:00</xmp:CreateDate>"),
            std::string::npos);
  EXPECT_NE(pdf.find("<dc:creator><rdf:Seq><rdf:li>M\xC3\xBCller</rdf:li>"), std::string::npos);
  EXPECT_NE(pdf.find("<xmpTPg:NPages>1</xmpTPg:NPages>"), std::string::npos);
  // Without the caller's date the TIFF's DateTime counts, and without that the file's date.
  options.metadata = {};
  options.metadata.fileDate = {2001, 2, 3, 4, 5, 6, 0};
  for (const char* dateTime : {"2008:03:14 09:05:07", ""}) {
    TiffImage page = picture(PHOTOMETRIC_MINISBLACK, 1);
    page.dateTime = dateTime;
    ASSERT_TRUE(test::writeTiff(tif, {page}));
    ASSERT_EQ(t2p_convert_file(tif, dir.file("c.pdf"), options).result, T2pResult::kWritten);
    EXPECT_NE(test::readText(dir.file("c.pdf")).find(*dateTime != '\0' ? "(D:20080314090507"
                                                                         : "(D:20010203040506+00'00')"),
              std::string::npos) << dateTime;
  }
}

struct TextCase {
  const char* name;
  std::string bytes, kept;
};

class ArchivalTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(ArchivalTextTest, KeepsPrintableCharacters) {
  EXPECT_EQ(archivalText(GetParam().bytes, 8), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ArchivalTextTest,
    testing::Values(TextCase{"Utf8Kept", "S\xC3\xBC" "d", "S\xC3\xBC" "d"},
                    TextCase{"Latin1Read", "S\xFC" "d", "S\xC3\xBC" "d"},
                    TextCase{"ControlsDropped", "a\tb\x1b\x7f" "c\xC2\x85", "abc"},
                    TextCase{"BlanksTrimmed", "  ab  ", "ab"},
                    TextCase{"CutAtCharacters", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                                                "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
                             "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"},
                    TextCase{"BrokenUtf8IsLatin1", "\xE2\xA9", "\xC3\xA2\xC2\xA9"}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(PdfaDatesTest, TiffDateTimeMustBeAWholeDate) {
  const PdfDate good = tiffDateTime("2008:03:14 09:05:07");
  EXPECT_EQ(xmpDateText(good).substr(0, 19), "2008-03-14T09:05:07");
  EXPECT_EQ(pdfDateText(good).substr(0, 16), "D:20080314090507");
  for (const char* bad : {"2008:02:30 09:05:07", "2008-03-14 09:05:07", "2008:03:14 24:00:00",
                          "2008:03:14 09:05", "0000:01:01 00:00:00", "2008:03:14 09:05:0x"})
    EXPECT_EQ(tiffDateTime(bad).year, 0) << bad;
  EXPECT_EQ(pdfDateText({2009, 1, 7, 15, 30, 12, -330}), "D:20090107153012-05'30'");
  EXPECT_EQ(xmpDateText({2009, 1, 7, 15, 30, 12, -330}), "2009-01-07T15:30:12-05:30");
}

// Inks add up and saturate; samples of 4 bits are widened; inverse samples count white; in
// place the buffer shrinks to the RGB bytes; a short buffer converts only its whole rows.
TEST(CmykToRgbTest, FollowsTheDeviceSpacesRelation) {
  const std::vector<uint8_t> four = {0xF0, 0x00, 0x00, 0x08, 0x00, 0xFF, 0xFF, 0x00};
  std::vector<uint8_t> rgb(12);
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(four, rgb, 2, 1, 4, false), 6u);
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 6),
            (std::vector<uint8_t>{0, 255, 255, 119, 119, 119}));
  std::vector<uint8_t> eight = {200, 100, 0, 100, 255, 255, 255, 0};
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(eight, eight, 2, 1, 8, false), 6u);
  EXPECT_EQ(std::vector<uint8_t>(eight.begin(), eight.begin() + 6),
            (std::vector<uint8_t>{0, 55, 155, 0, 0, 0}));
  std::vector<uint8_t> inverse = {255, 255, 255, 255, 255, 255, 0, 255};
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(inverse, inverse, 2, 1, 8, true), 6u);
  EXPECT_EQ(std::vector<uint8_t>(inverse.begin(), inverse.begin() + 6),
            (std::vector<uint8_t>{255, 255, 255, 255, 255, 0}));
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(four, rgb, 2, 9, 4, false), 12u);  // two whole rows there
}

// RFC 1321's own test values, fed whole and in pieces of 7 bytes across the 64-byte blocks.
TEST(Md5Test, GivesTheReferenceDigests) {
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  const std::pair<std::string, std::string> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {digits, "57edf4a22be3c955ac49da2e2107b67a"}};
  const auto hex = [](const std::array<uint8_t, 16>& digest) {
    std::string out;
    for (const uint8_t b : digest) {
      out += "0123456789abcdef"[b >> 4];
      out += "0123456789abcdef"[b & 15];
    }
    return out;
  };
  for (const auto& [text, expected] : cases) {
    Md5 whole, pieces;
    whole.update(text.data(), text.size());
    for (std::size_t i = 0; i < text.size(); i += 7)
      pieces.update(text.data() + i, std::min<std::size_t>(7, text.size() - i));
    EXPECT_EQ(hex(whole.finish()), expected) << text;
    EXPECT_EQ(hex(pieces.finish()), expected) << text;
  }
}

}  // namespace
}  // namespace tarnwell
