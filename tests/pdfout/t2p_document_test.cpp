// The document skeleton: header, objects 1 to 3, cross-reference table, trailer, information
// dictionary, and the entry's handling of failures.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <regex>
#include <utility>

#include "pdfout/pdf/t2p.h"
#include "pdfout/pdf/t2p_sink.h"
#include "pdfout/tiffio/messages.h"
#include "platform/Platform.h"
#include "support/FixedClock.h"
#include "support/Ghostscript.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/TempTree.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

using test::TempTree;
using test::TiffImage;

TiffImage faxPage(uint32_t width = 64, uint32_t length = 40) {
  TiffImage s;
  s.width = width;
  s.length = length;
  s.compression = COMPRESSION_CCITTFAX4;
  s.photometric = PHOTOMETRIC_MINISWHITE;
  s.xres = 204;
  s.yres = 196;
  s.resolutionUnit = RESUNIT_INCH;
  s.pixels = test::makePage(test::Pattern::kBands, width, length).bits;
  return s;
}

class DocumentTest : public ::testing::Test {
 protected:
  // Writes the TIFF, converts it and checks the PDF with qpdf and its xref; returns its bytes.
  std::string convert(const std::vector<TiffImage>& images) {
    const std::string tif = dir.file("in.tif"), pdf = dir.file("out.pdf");
    EXPECT_TRUE(test::writeTiff(tif, images));
    EXPECT_EQ(t2p_convert_file(tif, pdf).result, T2pResult::kWritten);
    EXPECT_EQ(test::pdfProblems(pdf), "");
    return test::readText(pdf);
  }
  TempTree dir;
  test::TiffMessages messages;
};

TEST_F(DocumentTest, OnePageFaxHasEightObjectsAndExactSkeleton) {
  TiffImage page = faxPage();
  page.dateTime = "2008:03:14 09:05:07";
  const std::string pdf = convert({page});
  const std::string header = std::string("%PDF-1.1 ") + "\x0D\x25\xE2\xE3\xCF\xD3\x0D\x0A";
  EXPECT_EQ(pdf.substr(0, header.size()), header);
  EXPECT_EQ(pdf.substr(pdf.size() - 7), "\r%%EOF\r");
  EXPECT_EQ(pdf.substr(header.size(), 60),
            std::string("1 0 obj\r<< \r/Type /Catalog \r/Pages 3 0 R \r>>\rendobj\r2 0 obj\r")
                .substr(0, 60));
  EXPECT_NE(pdf.find("xref\r0 9 \r0000000000 65535 f\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("trailer\r<<\r/Size 9\r/Root 1 0 R \r/Info 2 0 R \r/ID[<"), std::string::npos);
  EXPECT_NE(pdf.find("/Kids [ 4 0 R ] \r/Count 1 \r>> \r"), std::string::npos);
  EXPECT_NE(pdf.find("/CreationDate (D:20080314090507)\r/ModDate (D:20080314090507)\r"
                     "/Producer (Morvane Studio - 20050315 / d)\r>> \r"),
            std::string::npos);
  // The identifier: the first four values of the classic generator (41, 18467, 6334, 26500),
  // each as four bytes, lowest first.
  const std::string id = "2900000023480000BE18000084670000";
  EXPECT_NE(pdf.find("/ID[<" + id + "><" + id + ">]\r>>\rstartxref\r"), std::string::npos);
  const std::string page4 = test::objectText(pdf, 4);
  EXPECT_EQ(page4,
            "4 0 obj\r<<\r/Type /Page \r/Parent 3 0 R \r/MediaBox [0.0000 0.0000 22.5882 14.6939] \r"
            "/Contents 5 0 R \r/Resources << \r/XObject <<\r/Im1 7 0 R >>\r"
            "/ProcSet [ /ImageB ]\r>>\r>>\rendobj\r");
  EXPECT_EQ(test::streamOf(pdf, 5),
            "q  22.5882 0.0000 0.0000 14.6939 0.0000 0.0000 cm /Im1 Do Q\r");
  EXPECT_EQ(test::objectText(pdf, 6), "6 0 obj\r60\rendobj\r");
  const std::string image = test::objectText(pdf, 7);
  EXPECT_EQ(image.substr(0, image.find("stream\r\n")),
            "7 0 obj\r<< \r/Length 8 0 R \r/Type /XObject \r/Subtype /Image \r/Name /Im1\r"
            "/Width 64\r/Height 40\r/BitsPerComponent 1\r/ColorSpace /DeviceGray \r"
            "/Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns 64 /Rows 40>>\r >>\r");
}

// Without a full DateTime the dates are the local time of the conversion.
TEST_F(DocumentTest, CurrentLocalTimeWhenDateTimeIsShortOrAbsent) {
  const test::FixedClock clock(1234567890);  // 2009-02-13 23:31:30 UTC
  for (const char* dateTime : {"", "2008:03:14 09:05:0"}) {  // absent; 18 characters
    SCOPED_TRACE(std::string("DateTime \"") + dateTime + "\"");
    TiffImage page = faxPage();
    page.dateTime = dateTime;
    const std::string pdf = convert({page});
    EXPECT_NE(pdf.find("/CreationDate (D:20090213233130)\r"), std::string::npos);
    EXPECT_NE(pdf.find("/ModDate (D:20090213233130)\r"), std::string::npos);
  }
}

TEST_F(DocumentTest, InformationTextsAreEscapedAndCut) {
  TiffImage page = faxPage();
  page.software = std::string("a(b)c\\ \xE9\t");
  page.copyright = "Rights Holder";
  page.documentName = std::string(600, 'x');
  page.description = "About";
  const std::string pdf = convert({page});
  EXPECT_NE(pdf.find("/Creator (a\\(b\\)c\\\\ \\351\\011)\r"), std::string::npos);
  EXPECT_NE(pdf.find("/Author (Rights Holder)\r"), std::string::npos);
  EXPECT_NE(pdf.find("/Title (" + std::string(512, 'x') + ")\r"), std::string::npos);
  EXPECT_NE(pdf.find("/Subject (About)\r"), std::string::npos);
  EXPECT_EQ(pdf.find("/Keywords"), std::string::npos);
}

TEST_F(DocumentTest, ArtistWinsOverRightsNotice) {
  TiffImage page = faxPage();
  page.artist = "Artist";
  page.copyright = "Rights";
  const std::string pdf = convert({page});
  EXPECT_NE(pdf.find("/Author (Artist)\r"), std::string::npos);
}

TEST_F(DocumentTest, NinePagesBreakKidsAfterEighthReference) {
  std::vector<TiffImage> pages(9, faxPage(32, 16));
  const std::string pdf = convert(pages);
  EXPECT_NE(pdf.find("/Kids [ 4 0 R 9 0 R 14 0 R 19 0 R 24 0 R 29 0 R 34 0 R 39 0 R \r44 0 R ] "
                     "\r/Count 9 \r"),
            std::string::npos);
  EXPECT_NE(pdf.find("/Size 49\r"), std::string::npos);
}

TEST_F(DocumentTest, SubfileTypesChoosePagesAndPageNumbersDoNotReorder) {
  std::vector<TiffImage> pages;
  for (int i = 0; i < 4; ++i) {
    TiffImage p = faxPage(32 + 8 * i, 16);
    p.pageNumber = 3 - i;
    pages.push_back(p);
  }
  pages[1].pageNumber = -1;
  pages[1].subfileType = FILETYPE_REDUCEDIMAGE;  // skipped
  pages[2].pageNumber = -1;
  pages[2].subfileType = FILETYPE_REDUCEDIMAGE | FILETYPE_PAGE;  // a page
  const std::string pdf = convert(pages);
  EXPECT_NE(pdf.find("/Count 3 \r"), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 7).find("/Width 32\r"), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 12).find("/Width 48\r"), std::string::npos);
  EXPECT_NE(test::objectText(pdf, 17).find("/Width 56\r"), std::string::npos);
}

TEST_F(DocumentTest, VersionRisesWithTransferFunctionAndIccProfile) {
  TiffImage gray;
  gray.width = 16;
  gray.length = 8;
  gray.bitsPerSample = 8;
  gray.photometric = PHOTOMETRIC_MINISBLACK;
  gray.pixels = test::grayPattern(16, 8, 1);
  TiffImage withTransfer = gray;
  for (int i = 0; i < 256; ++i) withTransfer.transfer.push_back(static_cast<uint16_t>(i * 257));
  EXPECT_EQ(convert({withTransfer}).substr(0, 9), "%PDF-1.2 ");
  TiffImage withIcc = gray;
  withIcc.iccProfile.assign(128, 7);
  EXPECT_EQ(convert({withTransfer, withIcc}).substr(0, 9), "%PDF-1.3 ");
}

TEST_F(DocumentTest, MissingInputLeavesNoOutput) {
  const std::string pdf = dir.file("out.pdf");
  EXPECT_EQ(t2p_convert_file(dir.file("absent.tif"), pdf).result, T2pResult::kFailed);
  EXPECT_FALSE(test::fileExists(pdf));
  EXPECT_TRUE(messages.hasError("trnw2pdf: Can't open input file "));
  EXPECT_EQ(t2p_convert_file("", pdf).result, T2pResult::kFailed);
  EXPECT_FALSE(test::fileExists(pdf));
  EXPECT_TRUE(messages.hasError("trnw2pdf: No input file specified"));
}

TEST_F(DocumentTest, UncreatableOutputFails) {
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {faxPage()}));
  EXPECT_EQ(t2p_convert_file(dir.file("in.tif"), dir.file("no/such/dir/out.pdf")).result,
            T2pResult::kFailed);
  EXPECT_TRUE(messages.hasError("trnw2pdf: Can't open output file "));
}

// A failure says why: the first error of the call, or the result's own words without one.
TEST(T2pOutcomeTest, FailureCarriesTheFirstError) {
  silenceTiffMessages();
  TempTree dir;
  const T2pOutcome absent = t2p_convert_file(dir.file("absent.tif"), dir.file("out.pdf"));
  EXPECT_EQ(absent.result, T2pResult::kFailed);
  EXPECT_EQ(absent.reason, dir.file("absent.tif") + ": No such file or directory");
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {faxPage()}));
  EXPECT_EQ(t2p_convert_file(dir.file("in.tif"), dir.file("out.pdf")).reason, "");
}

// A file later in a batch draws its identifier further on in the classic sequence.
TEST_F(DocumentTest, IdentifierPositionPicksLaterValues) {
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {faxPage()}));
  const std::pair<unsigned long long, std::string> cases[] = {
      {4, "E14A00006C3D0000D62C0000AE720000"}, {1000, "2B680000F805000037680000B81E0000"}};
  for (const auto& [position, id] : cases) {
    T2pOptions options;
    options.identifierPosition = position;
    ASSERT_EQ(t2p_convert_file(dir.file("in.tif"), dir.file("o.pdf"), options).result,
              T2pResult::kWritten);
    EXPECT_NE(test::readText(dir.file("o.pdf")).find("/ID[<" + id + "><" + id + ">]"),
              std::string::npos) << position;
  }
}

TEST_F(DocumentTest, DefaultOutputNameReplacesSuffix) {
  ASSERT_TRUE(test::writeTiff(dir.file("fax.page.tif"), {faxPage()}));
  EXPECT_EQ(t2p_convert_file(dir.file("fax.page.tif"), "").result, T2pResult::kWritten);
  EXPECT_TRUE(test::fileExists(dir.file("fax.page.pdf")));
}

// Fault built soundly: when the offsets table cannot be allocated the conversion fails
// instead of reporting success for an empty file.
TEST_F(DocumentTest, OffsetsTableAllocationFailureFails) {
  TiffImage rgb;
  rgb.width = 4;
  rgb.length = 4;
  rgb.bitsPerSample = 8;
  rgb.samplesPerPixel = 3;
  rgb.photometric = PHOTOMETRIC_RGB;
  rgb.pixels = test::grayPattern(4, 4, 3);
  for (int i = 0; i < 3 * 256; ++i) rgb.transfer.push_back(static_cast<uint16_t>(i * 85));
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {rgb}));
  // 12 planned objects need 96 bytes of offsets; the page tables fit in 64.
  T2pOptions options;
  options.allocationLimit = 64;
  const std::string pdf = dir.file("out.pdf");
  EXPECT_EQ(t2p_convert_file(dir.file("in.tif"), pdf, options).result, T2pResult::kFailed);
  EXPECT_TRUE(messages.hasError("trnw2pdf: Can't allocate 48 bytes of memory for t2p_write_pdf"));
  EXPECT_TRUE(messages.hasError("trnw2pdf: An error occurred in converting TIFF"));
  EXPECT_FALSE(test::fileExists(pdf));
}

// A sink that creates the file but fails once `budget` bytes were written.
class FailingSink : public PdfSink {
 public:
  FailingSink(const std::string& path, uint64_t budget)
      : file_(std::fopen(path.c_str(), "wb")), budget_(budget) {}
  ~FailingSink() override {
    if (file_ != nullptr) std::fclose(file_);
  }

 protected:
  bool put(const void* data, size_t size) override {
    if (size > budget_) return false;
    budget_ -= size;
    return std::fwrite(data, 1, size, file_) == size;
  }

 private:
  std::FILE* file_;
  uint64_t budget_;
};

class WriteFailureTest : public DocumentTest, public ::testing::WithParamInterface<double> {};

// Fault built soundly: a write error anywhere fails the conversion and removes the file.
TEST_P(WriteFailureTest, FailedWriteFailsAndRemovesFile) {
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {faxPage(), faxPage(48, 20)}));
  const std::string pdf = dir.file("out.pdf");
  ASSERT_EQ(t2p_convert_file(dir.file("in.tif"), pdf).result, T2pResult::kWritten);
  const auto size = static_cast<double>(test::readText(pdf).size());
  const auto budget = static_cast<uint64_t>(size * GetParam());
  T2pOptions options;
  options.openSink = [&](const std::string& path) {
    return std::unique_ptr<PdfSink>(new FailingSink(path, budget));
  };
  EXPECT_EQ(t2p_convert_file(dir.file("in.tif"), pdf, options).result, T2pResult::kFailed);
  EXPECT_FALSE(test::fileExists(pdf));
  EXPECT_TRUE(messages.hasError("trnw2pdf: An error occurred in converting TIFF"));
}

// Budgets inside the header, the document objects, the first and second page, the
// cross-reference table and the very last bytes of the trailer.
INSTANTIATE_TEST_SUITE_P(Budgets, WriteFailureTest,
                         ::testing::Values(0.0, 0.01, 0.2, 0.45, 0.6, 0.8, 0.999),
    [](const auto& info) { return "PerMille" + std::to_string(static_cast<int>(info.param * 1000)); });

// A PDF of many megabytes starts going to the disk while it is written; the destination keeps
// its old bytes until the commit and then holds exactly the new ones.
TEST_F(DocumentTest, LargeFileReplacesTheDestinationWhole) {
  const std::string pdf = dir.file("big.pdf");
  ASSERT_TRUE(test::writeText(pdf, "old"));
  std::string expected;
  {
    std::unique_ptr<FileSink> sink = FileSink::open(pdf);
    ASSERT_NE(sink, nullptr);
    std::string piece(300000, '\0');
    for (int k = 0; k < 40; ++k) {  // 12 MB, past the writeback step three times
      for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(i * 7 + k);
      ASSERT_EQ(sink->write(piece), piece.size());
      expected += piece;
    }
    EXPECT_EQ(test::readText(pdf), "old");
    ASSERT_TRUE(sink->finish());
    EXPECT_EQ(test::readText(pdf), "old");
    ASSERT_TRUE(sink->commit());
  }
  EXPECT_TRUE(test::readText(pdf) == expected);
}

TEST_F(DocumentTest, FullDeviceFailsAndIsLeftInPlace) {
  if (!test::fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_TRUE(test::writeTiff(dir.file("in.tif"), {faxPage()}));
  EXPECT_EQ(t2p_convert_file(dir.file("in.tif"), "/dev/full").result, T2pResult::kFailed);
  EXPECT_TRUE(test::fileExists("/dev/full"));
}

}  // namespace
}  // namespace tarnwell
