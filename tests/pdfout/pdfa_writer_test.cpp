// Archival PDFs straight from the writer: every kind of page is PDF/A-1b as Preflight sees it,
// passes qpdf and renders to the plain PDF's pixels; the metadata from files is made safe.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <cstring>
#include <functional>
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
using I = TiffImage&;

// The images give no resolution: the writer takes 300 dpi, where their pixels render one to one.
constexpr float kDpi = 300;

TiffImage picture(uint16_t photometric, uint16_t samples, uint16_t bits = 8) {
  TiffImage image;
  image.width = 40;
  image.length = 24;
  image.bitsPerSample = bits;
  image.samplesPerPixel = samples;
  image.photometric = photometric;
  image.pixels = test::grayPattern(40, 24, samples, 3);
  image.pixels.resize(image.pixels.size() * bits / 8);
  return image;
}

TiffImage with(TiffImage image, const std::function<void(TiffImage&)>& change) {
  change(image);
  return image;
}

TiffImage fax() {
  return with(test::bilevelImage(300, 120, COMPRESSION_CCITTFAX4), [](I i) { i.extraTags = {}; });
}

// A kind of document: how the archival outcome's first note starts, whether its pages keep the
// plain PDF's pixels (not where colours change on purpose), whether page 1 gets a text layer.
struct Kind {
  const char* name;
  std::vector<TiffImage> images;
  const char* note = "";
  bool samePixels = true;
  PdfMetadata metadata{};
  bool text = false;
};

std::vector<Kind> kinds() {
  const TiffImage rgb = picture(PHOTOMETRIC_RGB, 3), gray = picture(PHOTOMETRIC_MINISBLACK, 1);
  const TiffImage cmyk = picture(PHOTOMETRIC_SEPARATED, 4);
  std::vector<uint16_t> map;
  for (int i = 0; i < 3 * 16; ++i) map.push_back(static_cast<uint16_t>(i * 1361));
  const auto palette = [&](I i) { i.colorMap = map; };
  const auto tiles = [](I i) { i.tileWidth = i.tileLength = 16; };
  const auto planes = [](I i) { i.planar = PLANARCONFIG_SEPARATE; };
  PdfMetadata given;
  given.title = "Brief \xC3\xBC" "ber.tif";
  given.createDate = {2009, 1, 7, 15, 30, 12, 60};
  const char* toRgb = "page 1: CMYK colours without a colour profile are converted to RGB";
  std::vector<Kind> all = {
      {"metadata", {with(fax(), [](I i) {
         i.description = "Fax from <ACME> & \"Co\"\x01\x1b" + std::string(5000, 'x');
         i.artist = "M\xFCller";  // Latin-1
         i.software = "Scan\x7f 1.0";
       })}, "", true, given},
      {"fax", {fax(), fax()}, "", true, {}, true},
      {"gray", {gray}}, {"rgb", {rgb}}, {"gray4", {picture(PHOTOMETRIC_MINISWHITE, 1, 4)}},
      {"palette", {with(picture(PHOTOMETRIC_PALETTE, 1, 4), palette)}},
      {"lzwRgb", {with(rgb, [](I i) { i.compression = COMPRESSION_LZW; })}},
      {"lzwGray", {with(gray, [](I i) { i.compression = COMPRESSION_LZW; })}},
      {"tiled", {with(rgb, tiles)}}, {"planar", {with(rgb, planes)}},
      {"rgba", {with(picture(PHOTOMETRIC_RGB, 4), [](I i) { i.extraSamples = {2}; })}},
      {"lab", {picture(PHOTOMETRIC_CIELAB, 3)}},
      {"calGray", {with(gray, [](I i) { i.whitePoint = {0.3127f, 0.329f}; })}},
      {"calRgb", {with(rgb, [](I i) {
         i.whitePoint = {0.3127f, 0.329f};
         i.primaries = {0.64f, 0.33f, 0.3f, 0.6f, 0.15f, 0.06f};
       })}},
      {"ownProfile", {with(rgb, [](I i) { i.iccProfile = srgbIccProfile(); })}},
      {"transfer", {with(gray, [](I i) { i.transfer.assign(256, 0); })},
       "page 1: its transfer function is left out", false},
      {"g3", {with(fax(), [](I i) { i.compression = COMPRESSION_CCITTFAX3; })}},
      {"turned", {with(fax(), [](I i) { i.orientation = 6; })}},
      {"cmyk", {cmyk}, toRgb, false},
      {"cmyk4", {picture(PHOTOMETRIC_SEPARATED, 4, 4)}, toRgb, false},
      {"cmykTiled", {with(cmyk, tiles)}, toRgb, false},
      {"cmykPlanar", {with(cmyk, planes)}, toRgb, false},
      {"inverseCmyk", {picture(PHOTOMETRIC_RGB, 4)}, toRgb, false},
      {"cmykPalette", {with(with(picture(PHOTOMETRIC_SEPARATED, 1, 4), palette), [](I i) {
         i.extraTags = [](TIFF* t) { TIFFSetField(t, TIFFTAG_INDEXED, uint16_t{1}); };
       })}, toRgb, false},
  };
  // A CMYK page keeps a version 2 profile of its own: Ghostscript's, where it is installed.
  const std::string icc = test::readText("/usr/share/color/icc/ghostscript/default_cmyk.icc");
  if (!icc.empty())
    all.push_back({"cmykProfile", {with(cmyk, [&](I i) {
                     i.iccProfile.assign(icc.begin(), icc.end());
                   })}});
  return all;
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
  const std::vector<ocr::PageText> text = {
      {true, 300, 120, {{"Fax", 10, 20, 60, 40}, {"\xC3\xBC" "ber", 70, 20, 140, 40}}}};
  for (const Kind& kind : kinds()) {
    SCOPED_TRACE(kind.name);
    const std::string tif = dir.file(std::string(kind.name) + ".tif");
    const std::string plain = tif + "-plain.pdf", pdfa = dir.file(std::string(kind.name) + ".pdf");
    ASSERT_TRUE(test::writeTiff(tif, kind.images));
    T2pOptions options;
    options.pageText = kind.text ? &text : nullptr;
    ASSERT_EQ(t2p_convert_file(tif, plain, options).result, T2pResult::kWritten);
    options.pdfa = true;
    options.metadata = kind.metadata;
    const T2pOutcome outcome = t2p_convert_file(tif, pdfa, options);
    ASSERT_EQ(outcome.result, T2pResult::kWritten) << outcome.reason;
    EXPECT_EQ(outcome.notes.empty() ? "" : outcome.notes[0].substr(0, std::strlen(kind.note)),
              kind.note);
    EXPECT_TRUE(test::qpdfCheck(pdfa));
    const std::string bytes = test::readText(pdfa);
    ids.insert(bytes.substr(bytes.find("/ID [<")));
    archival.push_back(pdfa);
    if (kind.images[0].compression == COMPRESSION_LZW) {
      EXPECT_NE(bytes.find("/Filter /FlateDecode"), std::string::npos);
    }
    if (kind.images[0].compression == COMPRESSION_CCITTFAX4) {  // the Group 4 bytes stay
      EXPECT_NE(bytes.find(test::streamOf(test::readText(plain), 7)), std::string::npos);
    }
    for (int page = 1; kind.samePixels && page <= int(kind.images.size()); ++page) {
      test::Raster a, b;
      ASSERT_TRUE(test::renderPdfPage(plain, page, kDpi, kDpi, a));
      ASSERT_TRUE(test::renderPdfPage(pdfa, page, kDpi, kDpi, b));
      EXPECT_EQ(test::countDifferences(a, b), 0) << "page " << page;
    }
  }
  EXPECT_EQ(ids.size(), kinds().size());  // a digest of the content: each document its own
  if (!test::havePreflight()) GTEST_SKIP() << "java or PDFBox Preflight missing";
  EXPECT_EQ(test::preflightProblems(archival), "");
}

// The same document gives the same bytes; the caller's metadata wins over the TIFF's, arrives
// printable and escaped, and the information dictionary says what the XMP says.
TEST_F(PdfaWriterTest, MetadataIsSafeAndTheSameInBothPlaces) {
  const Kind kind = kinds().front();
  const std::string tif = dir.file("in.tif");
  ASSERT_TRUE(test::writeTiff(tif, kind.images));
  T2pOptions options;
  options.pdfa = true;
  options.metadata = kind.metadata;
  ASSERT_EQ(t2p_convert_file(tif, dir.file("a.pdf"), options).result, T2pResult::kWritten);
  ASSERT_EQ(t2p_convert_file(tif, dir.file("b.pdf"), options).result, T2pResult::kWritten);
  const std::string pdf = test::readText(dir.file("a.pdf"));
  EXPECT_TRUE(pdf == test::readText(dir.file("b.pdf")));
  for (const std::string& part : std::vector<std::string>{
           "/Title <FEFF00420072006900650066002000FC006200650072002E007400690066>",
           "/Author <FEFF004D00FC006C006C00650072>", "/Creator (Scan 1.0)",
           "/CreationDate (D:20090107153012+01'00')",
           "<rdf:li xml:lang=\"x-default\">Brief \xC3\xBC" "ber.tif<",
           "Fax from &lt;ACME&gt; &amp; &quot;Co&quot;" +
               std::string(kMaxMetadataCharacters - 22, 'x') + "</rdf:li>",
           "<xmp:CreateDate>2009-01-07T15:30:12+01:00</xmp:CreateDate>",
           "<rdf:Seq><rdf:li>M\xC3\xBCller</rdf:li>", "<xmpTPg:NPages>1</xmpTPg:NPages>"})
    EXPECT_NE(pdf.find(part), std::string::npos) << part;
  // Without the caller's date the TIFF's DateTime counts, and without that the file's date.
  options.metadata = {};
  options.metadata.fileDate = {2001, 2, 3, 4, 5, 6, 0};
  for (const char* date : {"2008:03:14 09:05:07", ""}) {
    ASSERT_TRUE(test::writeTiff(tif, {with(fax(), [&](I i) { i.dateTime = date; })}));
    ASSERT_EQ(t2p_convert_file(tif, dir.file("c.pdf"), options).result, T2pResult::kWritten);
    EXPECT_NE(test::readText(dir.file("c.pdf"))
                  .find(*date != '\0' ? "(D:20080314090507" : "(D:20010203040506+00'00')"),
              std::string::npos) << date;
  }
}

// Valid UTF-8 stays, other bytes are Latin-1; controls and blanks at the ends go; the cut counts
// characters.
TEST(ArchivalTextTest, KeepsPrintableCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"S\xC3\xBC" "d", "S\xC3\xBC" "d"}, {"S\xFC" "d", "S\xC3\xBC" "d"},
      {"\xE2\xA9", "\xC3\xA2\xC2\xA9"}, {"a\tb\x1b\x7f" "c\xC2\x85", "abc"}, {"  ab  ", "ab"},
      {"aaaaa\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4", "aaaaa\xC3\xA4\xC3\xA4\xC3\xA4"}};
  for (const auto& [bytes, kept] : cases) EXPECT_EQ(archivalText(bytes, 8), kept) << bytes;
}

// A TIFF's DateTime must be a whole, real date; offsets are written in both notations.
TEST(PdfaDatesTest, TiffDateTimeMustBeAWholeDate) {
  EXPECT_EQ(pdfDateText(tiffDateTime("2008:03:14 09:05:07")).substr(0, 16), "D:20080314090507");
  for (const char* bad : {"2008:02:30 09:05:07", "2008-03-14 09:05:07", "2008:03:14 24:00:00",
                          "2008:03:14 09:05", "0000:01:01 00:00:00", "2008:03:14 09:05:0x"})
    EXPECT_EQ(tiffDateTime(bad).year, 0) << bad;
  EXPECT_EQ(pdfDateText({2009, 1, 7, 15, 30, 12, -330}), "D:20090107153012-05'30'");
  EXPECT_EQ(xmpDateText({2009, 1, 7, 15, 30, 12, -330}), "2009-01-07T15:30:12-05:30");
}

// Inks add up and saturate; samples of 4 bits are widened; inverse samples count white; in
// place the buffer shrinks to the RGB bytes; a short buffer converts only its whole rows.
TEST(CmykToRgbTest, FollowsTheDeviceSpacesRelation) {
  using Bytes = std::vector<uint8_t>;
  const Bytes four = {0xF0, 0x00, 0x00, 0x08, 0x00, 0xFF, 0xFF, 0x00};
  Bytes rgb(12), eight = {200, 100, 0, 100, 255, 255, 255, 0};
  Bytes inverse = {255, 255, 255, 255, 255, 255, 0, 255};
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(four, rgb, 2, 1, 4, false), 6u);
  EXPECT_EQ(Bytes(rgb.begin(), rgb.begin() + 6), (Bytes{0, 255, 255, 119, 119, 119}));
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(eight, eight, 2, 1, 8, false), 6u);
  EXPECT_EQ(Bytes(eight.begin(), eight.begin() + 6), (Bytes{0, 55, 155, 0, 0, 0}));
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(inverse, inverse, 2, 1, 8, true), 6u);
  EXPECT_EQ(Bytes(inverse.begin(), inverse.begin() + 6), (Bytes{255, 255, 255, 255, 255, 0}));
  EXPECT_EQ(t2p_sample_cmyk_to_rgb(four, rgb, 2, 9, 4, false), 12u);  // two whole rows there
}

// RFC 1321's reference digest, fed whole and in pieces of 7 bytes.
TEST(Md5Test, GivesTheReferenceDigest) {
  const std::string text = "message digest";
  Md5 whole, pieces;
  whole.update(text.data(), text.size());
  pieces.update(text.data(), 7);
  pieces.update(text.data() + 7, 7);
  const std::array<uint8_t, 16> expected = {0xf9, 0x6b, 0x69, 0x7d, 0x7c, 0xb7, 0x93, 0x8d,
                                            0x52, 0x5a, 0x2f, 0x31, 0xaa, 0xf1, 0x61, 0xd0};
  EXPECT_EQ(whole.finish(), expected);
  EXPECT_EQ(pieces.finish(), expected);
}

}  // namespace
}  // namespace tarnwell
