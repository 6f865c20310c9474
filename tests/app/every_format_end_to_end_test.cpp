// End-to-end: one source tree holding a file of every input kind the program reads (raw Group 3
// and Group 4 streams, TIFF, the TIFF-based FMF, G3N, G3F and AWD files, and the twelve
// containers), converted by one "tarnwell /d /i" run. Every report line, the total, and every PDF
// are checked: qpdf's check, the page count, and each page rendered by Ghostscript at the page's
// own resolution must equal the bitmap the file was made from. A table of the outcome per format
// is printed to standard output.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <set>
#include <sstream>

#include "support/ContainerBuilders.h"
#include "faxin/raw_test_support.h"
#include "support/Ghostscript.h"
#include "support/Ig4DsFiles.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/Raster.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

// A page a file must give, with the resolution its PDF page must have.
struct ExpectedPage {
  Bitmap bitmap;
  float xdpi = 200;
  float ydpi = 200;
};

// A source file's bytes and the pages that must come out of it.
struct SourceFile {
  std::vector<uint8_t> bytes;
  std::vector<ExpectedPage> pages;
};

using Builder = std::function<SourceFile(const TempTree&)>;

struct FormatRow {
  const char* format;
  const char* file;  // relative to the source tree; its stem names the PDF
  Builder build;
};

Bitmap words(uint32_t width, uint32_t rows, uint32_t seed) {
  return makePage(Pattern::kWords, width, rows, seed);
}

std::vector<ExpectedPage> at(const std::vector<Bitmap>& pages, float xdpi, float ydpi) {
  std::vector<ExpectedPage> out;
  for (const Bitmap& b : pages) out.push_back({b, xdpi, ydpi});
  return out;
}

// The pages as a fax TIFF written by libtiff.
std::vector<uint8_t> faxTiff(const TempTree& dir, const std::vector<Bitmap>& pages,
                             FaxTiffOptions o) {
  const std::string path = dir.file("libtiff-pages.tif");
  EXPECT_TRUE(writeFaxTiff(path, pages, o));
  return readBytes(path);
}

FaxTiffOptions faxOptions(uint16_t compression, uint32_t t4Options, float xdpi, float ydpi,
                          bool bigEndian = false, uint16_t fillOrder = FILLORDER_MSB2LSB) {
  FaxTiffOptions o;
  o.compression = compression;
  o.t4Options = t4Options;
  o.xResolution = xdpi;
  o.yResolution = ydpi;
  o.bigEndian = bigEndian;
  o.fillOrder = fillOrder;
  return o;
}

// A TIFF-based file: two pages written by libtiff as the options say.
Builder tiffFile(uint32_t seed, const FaxTiffOptions& o) {
  return [=](const TempTree& dir) {
    const std::vector<Bitmap> pages = {words(1728, 120, seed), words(1728, 90, seed + 1)};
    return SourceFile{faxTiff(dir, pages, o), at(pages, o.xResolution, o.yResolution)};
  };
}

// How a container stores one page: its coding (FaxCoding), bit order and width.
struct PageCoding {
  uint8_t coding;
  uint8_t fillOrder;
  uint32_t width;
};

// Two pages as a container stores them, coded by libtiff; each page may be coded and sized
// differently, as every page is read on its own.
std::vector<CodedPage> codedPages(uint32_t seed, PageCoding first, PageCoding second) {
  return {codePage(words(first.width, 130, seed), first.coding, first.fillOrder),
          codePage(words(second.width, 95, seed + 1), second.coding, second.fillOrder)};
}

std::vector<Bitmap> bitmapsOf(const std::vector<CodedPage>& pages) {
  std::vector<Bitmap> out;
  for (const CodedPage& p : pages) out.push_back(p.bitmap);
  return out;
}

// A raw stream of two pages, each long enough that the two never share a page: Group 3 pages
// separated by their RTC and a damaged row, Group 4 pages behind flags with a damaged row between
// them. The short stream's vertical resolution is estimated as 100 lines per inch.
Builder rawStream(rawtest::Coding coding, int fillOrder) {
  return [=](const TempTree&) {
    const Bitmap page1 = rawtest::makePage(1728, 612, 31);
    const Bitmap page2 = rawtest::makePage(1728, 595, 32);
    std::vector<uint8_t> stream = rawtest::junk(41, 3);
    if (coding == rawtest::Coding::kG4) {
      const std::vector<uint8_t> flag = {0xFF, 0xFF, 0xFF};
      rawtest::append(stream, flag);
      rawtest::append(stream, rawtest::encodeStrip(page1, coding, fillOrder));
      rawtest::append(stream, flag);
      rawtest::append(stream, {0x02, 0x02, 0x02});  // the extension code: a damaged row
      rawtest::append(stream, flag);
      rawtest::append(stream, rawtest::encodeStrip(page2, coding, fillOrder));
    } else {
      const bool twoD = coding == rawtest::Coding::kG3TwoD;
      rawtest::append(stream, rawtest::encodeStrip(page1, coding, fillOrder));
      rawtest::append(stream, rawtest::rtc(twoD, fillOrder));
      rawtest::append(stream, rawtest::corruptedRow(twoD, fillOrder));
      rawtest::append(stream, rawtest::encodeStrip(page2, coding, fillOrder));
      rawtest::append(stream, rawtest::rtc(twoD, fillOrder));
    }
    return SourceFile{stream, at({page1, page2}, 200, 100)};
  };
}

// One file of every input kind. Each stem is unique, since the directory run flattens the tree.
std::vector<FormatRow> everyFormat() {
  return {
      {"raw G3", "streams/raw-g3.g3", rawStream(rawtest::Coding::kG3TwoD, FILLORDER_LSB2MSB)},
      {"raw G4", "streams/raw-g4.g4", rawStream(rawtest::Coding::kG4, FILLORDER_MSB2LSB)},
      {"TIFF", "tiff/letter.tif",
       tiffFile(1, faxOptions(COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, 204, 196))},
      {"FMF", "tiff/fmf.FMF", tiffFile(3, faxOptions(COMPRESSION_CCITTFAX4, 0, 200, 200, true))},
      {"G3N", "tiff/g3n.G3N",
       tiffFile(5, faxOptions(COMPRESSION_CCITTFAX3, 5, 200, 100, true, FILLORDER_LSB2MSB))},
      {"G3F (TIFF)", "tiff/tiff-g3f.G3F",
       tiffFile(7, faxOptions(COMPRESSION_CCITTFAX3, 0, 200, 200, false, FILLORDER_LSB2MSB))},
      {"AWD", "awd/awd.AWD", tiffFile(9, faxOptions(COMPRESSION_CCITTFAX4, 0, 200, 200))},
      {"PC Research", "containers/pcresearch.g3f",
       [](const TempTree&) {
         const std::vector<CodedPage> pages = codedPages(11, {5, 1, 1728}, {6, 2, 1728});
         return SourceFile{buildPcResearch(pages), at(bitmapsOf(pages), 200, 200)};
       }},
      {"QLIIFAX", "containers/qlii.qfx",
       [](const TempTree&) {
         const std::vector<CodedPage> pages = codedPages(13, {6, 2, 1728}, {7, 1, 2048});
         QliiFaxLayout layout;
         layout.resolutionCode = 2;  // 100 lines per inch
         return SourceFile{buildQliiFax(pages, layout), at(bitmapsOf(pages), 200, 100)};
       }},
      {"BIT FAX", "containers/bitfax.bfx",
       [](const TempTree&) {
         const std::vector<CodedPage> pages = codedPages(15, {5, 1, 2048}, {7, 2, 1728});
         return SourceFile{buildBitFax(pages, -1, 1), at(bitmapsOf(pages), 200, 200)};
       }},
      {"MRV-FAX", "containers/mrv.mrv",
       [](const TempTree&) {
         const std::vector<CodedPage> pages = codedPages(17, {7, 1, 2048}, {6, 2, 1728});
         return SourceFile{buildMrv(pages), at(bitmapsOf(pages), 200, 200)};
       }},
      {"FX", "containers/fx.fxd",
       [](const TempTree&) {
         const std::vector<CodedPage> pages = codedPages(19, {5, 2, 1728}, {7, 2, 2048});
         return SourceFile{buildFx(pages), at(bitmapsOf(pages), 200, 200)};
       }},
      {"APF", "containers/apf.apf",
       [](const TempTree& dir) {
         // A normal page, then a fine wide one with a 16-bit word before and after every row.
         const Bitmap normal = words(1728, 90, 21), fine = words(2048, 60, 22);
         return SourceFile{
             buildApf({{apfData(dir, normal, false), 0x00}, {apfData(dir, fine, true), 0x07}}, 2),
             {{normal, 200, 100}, {fine, 200, 200}}};
       }},
      {"DCX", "containers/dcx.dcx",
       [](const TempTree&) {
         const std::vector<Bitmap> pages = {words(1728, 40, 23), words(2048, 30, 24)};
         return SourceFile{buildDcx({buildPcx(pages[0]), buildPcx(pages[1])}),
                           at(pages, 200, 200)};
       }},
      {"CALS", "containers/cals.cal",
       [](const TempTree& dir) {
         const Bitmap page = words(1728, 80, 25);
         return SourceFile{
             buildCals(joined(codeStrips(dir, page, COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB)),
                       "001728,000080", "0300"),
             at({page}, 300, 300)};
       }},
      {"ED", "containers/scan.ed",
       [](const TempTree& dir) {
         const Bitmap page = words(2592, 60, 26);
         return SourceFile{
             buildEd(joined(codeStrips(dir, page, COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB)), 2592,
                     60, 300),
             at({page}, 300, 300)};
       }},
      {"BMP", "containers/bmp.bmp",
       [](const TempTree&) {
         const Bitmap page = words(1700, 33, 27);
         return SourceFile{buildBmp(page), at({page}, 200, 200)};
       }},
      {"IG4", "containers/ig4.ig4",
       [](const TempTree&) {
         // The strips hold the page bottom row first; the page must show upright.
         const Bitmap page = makePage(Pattern::kText, 1728, 150, 28);
         return SourceFile{buildIg4(t6Strips(flippedRows(page), 3), 1728, 150, 50).bytes,
                           at({page}, 300, 300)};
       }},
      {"DS", "containers/fax.ds",
       [](const TempTree& dir) {
         const std::vector<Bitmap> pages = {words(1728, 70, 29), words(1728, 50, 30)};
         const FaxTiffOptions o = faxOptions(COMPRESSION_CCITTFAX4, 0, 200, 200);
         return SourceFile{buildDs("DOC", {dsPage("P1", faxTiff(dir, {pages[0]}, o), 20),
                                           DsRecord{"NOTE", std::vector<uint8_t>(64, 0x20)},
                                           dsPage("P2", faxTiff(dir, {pages[1]}, o), 0)}),
                           at(pages, 200, 200)};
       }},
  };
}

// The AWD stand-in converter: checks that it is called with "/c" and copies its source (already
// a TIFF here) to the TIFF it must leave.
std::string writeAwdConverter(const TempTree& dir) {
  const std::string bin = dir.mkdir("bin");
  const std::string path =
      dir.write("bin/AWDVSTUB.EXE", "#!/bin/sh\n[ \"$1\" = /c ] || exit 3\ncp \"$2\" \"$3\"\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  return bin;
}

// Judges one PDF: qpdf's check, the page count, and every page rendered at its own resolution
// against the bitmap it must show. "pixels equal" when all is well, else what is wrong.
std::string judgePdf(const std::string& pdf, const std::vector<ExpectedPage>& pages,
                     int& pageCount) {
  pageCount = -1;
  if (!qpdfCheck(pdf)) return "qpdf --check fails";
  pageCount = qpdfPageCount(pdf);
  if (pageCount != static_cast<int>(pages.size())) {
    return std::to_string(pages.size()) + " pages expected";
  }
  std::string problems;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    Raster raster;
    const std::size_t differing =
        renderPdfPage(pdf, static_cast<int>(i + 1), pages[i].xdpi, pages[i].ydpi, raster)
            ? differingPixels(toBitmap(raster), pages[i].bitmap)
            : SIZE_MAX;
    if (differing == 0) continue;
    problems += (problems.empty() ? "page " : ", page ") + std::to_string(i + 1) +
                (differing == SIZE_MAX ? " of the wrong size or not rendered"
                                       : ": " + std::to_string(differing) + " pixels differ");
  }
  return problems.empty() ? "pixels equal" : problems;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(EveryFormatEndToEndTest, OneDirectoryRunConvertsEveryInputKind) {
  if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
  TempTree dir;
  const std::string source = dir.mkdir("in");
  const std::string destination = dir.path("out");
  const std::vector<FormatRow> rows = everyFormat();
  std::vector<SourceFile> files;
  std::set<std::string> stems;
  for (const FormatRow& row : rows) {
    ASSERT_TRUE(stems.insert(std::filesystem::path(row.file).stem().string()).second) << row.file;
    files.push_back(row.build(dir));
    ASSERT_FALSE(files.back().bytes.empty()) << row.format;
    dir.write("in/" + std::string(row.file), files.back().bytes);
  }

  const char* path = std::getenv("PATH");
  ProgramRun how{"", "", dir.mkdir("tmp"),
                 {"PATH=" + writeAwdConverter(dir) + (path ? ":" + std::string(path) : ""),
                  "TARNWELL_WORKDIR=" + dir.mkdir("work")}};
  const CommandResult run = runProgram(how, {"/d", "/i", source, destination});
  const std::string& report = run.out;
  EXPECT_EQ(run.exitCode, 0) << report << run.err;
  const std::string header = "Source Dir: " + source + "\r\nDestination Dir: " + destination;
  EXPECT_NE(report.find(header + "\r\n\r\n"), std::string::npos) << report;
  const std::string total = "Total converted FAX files: " + std::to_string(rows.size());
  EXPECT_NE(report.find("\r\n---------\r\n" + total + "\r\n"), std::string::npos) << report;
  // One report line per file, no more.
  EXPECT_EQ(occurrences(report, " --> "), rows.size()) << report;

  std::ostringstream table;
  table << std::left << std::setw(12) << "format" << std::setw(30) << "file" << std::setw(7)
        << "pages" << "result\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const FormatRow& row = rows[r];
    const std::vector<ExpectedPage>& pages = files[r].pages;
    SCOPED_TRACE(row.format);
    const std::string stem = std::filesystem::path(row.file).stem().string();
    const std::string pdf = destination + "/" + stem + ".pdf";
    const std::string line = source + "/" + row.file + " --> " + pdf + " : ";
    std::string result;
    const std::size_t lineAt = report.find(line);
    if (lineAt == std::string::npos) {
      result = "no report line";
    } else {
      const std::size_t end = report.find("\r\n", lineAt);
      result = report.substr(lineAt + line.size(), end - lineAt - line.size());
    }
    EXPECT_EQ(result, "Success !") << report;

    int pageCount = -1;
    const std::string pdfResult = judgePdf(pdf, pages, pageCount);
    EXPECT_EQ(pdfResult, "pixels equal");
    table << std::setw(12) << row.format << std::setw(30) << row.file << std::setw(7)
          << (pageCount < 0 ? "-" : std::to_string(pageCount)) << result << ", " << pdfResult
          << "\n";
  }
  std::cout << table.str() << std::flush;
}

}  // namespace
}  // namespace tarnwell
