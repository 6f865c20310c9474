// Searchable PDFs end to end: fax pages with known text rendered by Ghostscript, converted by the
// built program with and without /ocr. The text comes back through pdftotext (recall), sits on
// the words' ink (pdftotext -bbox), and the images are byte for byte those of the plain PDF.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "app/FileConversion.h"
#include "support/Ghostscript.h"
#include "support/LibtiffWriter.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"
#include "support/TextPage.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct BoxWord {
  std::string text;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points, y downwards from the top
};

std::vector<BoxWord> boxWords(const std::string& pdf, int page) {
  const CommandResult r = runCommand("pdftotext -bbox -f " + std::to_string(page) + " -l " +
                                     std::to_string(page) + " " + shellQuote(pdf) + " -");
  std::vector<BoxWord> words;
  static const std::regex kWord(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" )re"
                                R"re(xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), kWord);
       it != std::sregex_iterator(); ++it) {
    words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4])});
  }
  return words;
}

std::string pageText(const std::string& pdf, int page = 0) {
  const std::string range =
      page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
  return runCommand("pdftotext" + range + " " + shellQuote(pdf) + " -").out;
}

std::vector<std::string> truthWords(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return normalisedWords(all);
}

class SearchablePdfFixture : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("gs") || !haveTool("pdftotext") || !haveTool("qpdf"))
      GTEST_SKIP() << "Ghostscript, pdftotext or qpdf missing";
  }
  CommandResult convert(const std::string& options, const std::string& tiff,
                        const std::string& pdf) {
    std::vector<std::string> args;
    std::istringstream in(options);
    for (std::string o; in >> o;) args.push_back(o);
    args.insert(args.end(), {"/q", "/f", tiff, pdf});
    return runProgram({"", "", dir_.path(), {}}, args);
  }
  std::string writeTiff(const std::string& name, const std::vector<Bitmap>& pages, float xdpi,
                        float ydpi) {
    FaxTiffOptions options;
    options.xResolution = xdpi;
    options.yResolution = ydpi;
    const std::string path = dir_.file(name);
    EXPECT_TRUE(writeFaxTiff(path, pages, options));
    return path;
  }
  // Both PDFs pass the checks, and the image objects of every page (object 7 + 5p and its
  // length) are the same bytes.
  void expectSameImages(const std::string& plain, const std::string& searchable, int pages) {
    EXPECT_EQ(pdfProblems(plain), "");
    EXPECT_EQ(pdfProblems(searchable), "");
    const std::string a = readText(plain), b = readText(searchable);
    for (int p = 0; p < pages; ++p) {
      for (int object : {7 + 5 * p, 8 + 5 * p}) {
        ASSERT_FALSE(objectText(a, object).empty()) << object;
        EXPECT_EQ(objectText(a, object), objectText(b, object)) << "object " << object;
      }
    }
  }
  TempTree dir_;
};

// One synthetic fax page and what recognition must reach on it.
struct RecallCase {
  const char* name;
  float xdpi, ydpi;
  double points, skew, speckle;
  double minRecall;
  bool checkBoxes;  // word boxes are compared with the ink (upright pages only)
};

class SearchablePdfRecallTest : public SearchablePdfFixture,
                                public testing::WithParamInterface<RecallCase> {};

TEST_P(SearchablePdfRecallTest, TextIsFoundOnItsInkAndTheImageIsUnchanged) {
  const RecallCase& c = GetParam();
  TextPageLayout layout;
  layout.lines = letterLines(14, 7);
  layout.pointSize = c.points;
  layout.xdpi = c.xdpi;
  layout.ydpi = c.ydpi;
  layout.skewDegrees = c.skew;
  layout.speckle = c.speckle;
  TextPage page;
  ASSERT_TRUE(renderTextPage(layout, page));
  const std::string tiff = writeTiff("page.tif", {page.bitmap}, c.xdpi, c.ydpi);
  const std::string plain = dir_.file("plain.pdf"), searchable = dir_.file("searchable.pdf");
  ASSERT_EQ(convert("", tiff, plain).exitCode, 0);
  const CommandResult r = convert("/ocr", tiff, searchable);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  expectSameImages(plain, searchable, 1);
  const PageComparison shown = comparePdfWithTiff(searchable, tiff);
  EXPECT_EQ(shown.problems, "");

  const std::vector<std::string> truth = truthWords(layout.lines);
  const double recall = wordRecall(truth, normalisedWords(pageText(searchable)));
  RecordProperty("recall", std::to_string(recall));
  EXPECT_GE(recall, c.minRecall);
  EXPECT_EQ(pageText(plain).find_first_not_of(" \n\f"), std::string::npos);

  if (!c.checkBoxes) return;
  // Each word found that is a word of the page has the middle of its box on the ink of one
  // of the page's words of that text (two pixels of slack for rounding).
  std::size_t placed = 0, matched = 0;
  for (const BoxWord& w : boxWords(searchable, 1)) {
    const std::vector<std::string> norm = normalisedWords(w.text);
    if (norm.size() != 1) continue;
    const double cx = (w.xMin + w.xMax) / 2 * c.xdpi / 72, cy = (w.yMin + w.yMax) / 2 * c.ydpi / 72;
    bool known = false, onInk = false;
    for (const InkWord& ink : page.words) {
      if (normalisedWords(ink.text) != norm) continue;
      known = true;
      onInk = onInk || (cx >= ink.left - 2 && cx <= ink.right + 2 && cy >= ink.top - 2 &&
                        cy <= ink.bottom + 2);
    }
    matched += known ? 1 : 0;
    placed += onInk ? 1 : 0;
  }
  ASSERT_GT(matched, truth.size() / 2);
  EXPECT_EQ(placed, matched);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SearchablePdfRecallTest,
    testing::Values(RecallCase{"Fine12pt", 204, 196, 12, 0, 0, 0.95, true},
                    RecallCase{"Normal12pt", 204, 98, 12, 0, 0, 0.9, true},
                    RecallCase{"FineSmallType9pt", 204, 196, 9, 0, 0, 0.9, true},
                    RecallCase{"FineSkewed1Degree", 204, 196, 12, 1.0, 0, 0.9, false},
                    RecallCase{"FineSpeckled", 204, 196, 12, 0, 0.002, 0.9, true}),
    [](const testing::TestParamInfo<RecallCase>& info) { return std::string(info.param.name); });

// Three pages recognised side by side: each page's words land on that page.
TEST_F(SearchablePdfFixture, EveryPageGetsItsOwnText) {
  std::vector<Bitmap> bitmaps;
  std::vector<std::vector<std::string>> lines;
  for (uint32_t p = 0; p < 3; ++p) {
    TextPageLayout layout;
    layout.lines = {"page " + std::string(p == 0 ? "alpha" : p == 1 ? "bravo" : "charlie") +
                  " carries this sentence"};
    TextPage page;
    ASSERT_TRUE(renderTextPage(layout, page));
    bitmaps.push_back(page.bitmap);
    lines.push_back(layout.lines);
  }
  const std::string tiff = writeTiff("three.tif", bitmaps, 204, 196);
  const std::string plain = dir_.file("plain.pdf"), searchable = dir_.file("searchable.pdf");
  ASSERT_EQ(convert("", tiff, plain).exitCode, 0);
  ASSERT_EQ(convert("/ocr", tiff, searchable).exitCode, 0);
  expectSameImages(plain, searchable, 3);
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(normalisedWords(pageText(searchable, p + 1)), truthWords(lines[p])) << p;
  }
}

// A blank page is recognised and gets no words; the PDF stays valid and nothing is reported.
TEST_F(SearchablePdfFixture, BlankPageHasNoText) {
  const std::string tiff = writeTiff("blank.tif", {Bitmap(1728, 1100)}, 204, 98);
  const std::string plain = dir_.file("plain.pdf"), searchable = dir_.file("blank.pdf");
  ASSERT_EQ(convert("", tiff, plain).exitCode, 0);
  const CommandResult r = convert("/ocr", tiff, searchable);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  expectSameImages(plain, searchable, 1);
  EXPECT_TRUE(normalisedWords(pageText(searchable)).empty());
  // Without words nothing of the text layer is written at all.
  EXPECT_EQ(readText(searchable).find("/Font"), std::string::npos);
}

// Languages that are not installed, or no language list at all: one line on standard error,
// the PDF written without text (the same bytes as without /ocr), the report line a success.
TEST_F(SearchablePdfFixture, MissingLanguageWarnsOnceAndWritesThePlainPdf) {
  TextPageLayout layout;
  layout.lines = {"nothing will be read here"};
  TextPage page;
  ASSERT_TRUE(renderTextPage(layout, page));
  const std::string tiff = writeTiff("page.tif", {page.bitmap}, 204, 196);
  const std::string plain = dir_.file("plain.pdf");
  ASSERT_EQ(convert("", tiff, plain).exitCode, 0);
  for (const char* option : {"/ocr=xqz", "/ocr=eng+xqz", "/ocr=../eng"}) {
    const std::string pdf = dir_.file("missing.pdf");
    const CommandResult r = convert(option, tiff, pdf);
    EXPECT_EQ(r.exitCode, 0) << option;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << option << ": " << r.err;
    EXPECT_NE(r.err.find("without text"), std::string::npos) << r.err;
    EXPECT_EQ(pdfProblems(pdf), "");
    // The dates of the two runs may differ by a second; everything else is the same.
    const std::regex date(R"(\(D:[0-9]{14}\))");
    EXPECT_EQ(std::regex_replace(readText(pdf), date, "(D)"),
              std::regex_replace(readText(plain), date, "(D)"))
        << option;
  }
}

// The stages themselves: a TIFF that cannot be read gets no text and no problem to report, and
// the writer leaves no PDF.
TEST_F(SearchablePdfFixture, UnreadableTiffFailsWithoutWarning) {
  const std::string bad = dir_.write("bad.tif", std::string("II*\0garbage", 11));
  const ocr::RecognitionResult text = pipelineStages().recognizeText(bad, "eng");
  EXPECT_TRUE(text.pages.empty());
  EXPECT_EQ(text.problem, "");
  const std::string pdf = dir_.file("none.pdf");
  T2pOptions options;
  options.pageText = &text.pages;
  EXPECT_EQ(pipelineStages().writePdf(bad, pdf, options).result, T2pResult::kFailed);
  EXPECT_FALSE(fileExists(pdf));
}

}  // namespace
}  // namespace tarnwell
