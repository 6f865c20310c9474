// Both samples and every corpus fax, made PDF-ready as the program does, written as PDF/A-1b:
// Preflight accepts all in one Java run, qpdf passes them, and each page renders as libtiff
// decodes the PDF-ready TIFF. TARNWELL_CORPUS names the corpus if not at ../shared/corpus.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "faxin/FaxConverter.h"
#include "faxin/FormatClassifier.h"
#include "pdfout/copy/tiff_copy.h"
#include "pdfout/pdf/t2p.h"
#include "pdfout/tiffio/messages.h"
#include "support/Ghostscript.h"
#include "support/PdfCheck.h"
#include "support/Preflight.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> sources() {
  std::vector<std::string> files = {TARNWELL_SOURCE_DIR "/samples/letter.tif",
                                    TARNWELL_SOURCE_DIR "/samples/memo.g3"};
  const char* given = std::getenv("TARNWELL_CORPUS");
  const fs::path corpus = given != nullptr ? given : TARNWELL_SOURCE_DIR "/../shared/corpus";
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(corpus, ec)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && ext != ".png" && ext != ".tsv" && ext != ".md")
      files.push_back(entry.path().string());
  }
  std::sort(files.begin() + 2, files.end());
  return files;
}

// The PDF-ready TIFF of a source; false for a file that is no fax.
bool pdfReady(const std::string& source, const test::TempTree& dir, const std::string& ready) {
  const FaxFormat format = classifyFile(source);
  TiffCopyOptions options;
  options.compression = format == FaxFormat::kTiff ? -1 : 6;
  const auto copied = [&](const std::string& from) {
    return tiff_copy_file({from, ready, options}).result == TiffCopyResult::kCopied;
  };
  if (format == FaxFormat::kTiff) return copied(source);
  FaxConverter engine({{}, {dir.file("w.tmp"), dir.file("s.tmp"), dir.file("t.tmp")}, {}});
  const std::string intermediate = dir.file("engine.tif");
  return engine.open(source, format) == FaxResult::kOk && engine.hasPages() &&
         engine.convert(intermediate) == FaxResult::kOk && copied(intermediate);
}

TEST(PdfaCorpusTest, EverySampleAndCorpusFaxIsValidPdfa) {
  silenceTiffMessages();
  if (!test::haveTool("qpdf") || !test::haveTool("gs")) GTEST_SKIP() << "qpdf or gs missing";
  test::TempTree dir;
  const std::string ready = dir.file("ready.tif");
  std::vector<std::string> archival;
  for (const std::string& source : sources()) {
    SCOPED_TRACE(source);
    const std::string pdf = dir.file(std::to_string(archival.size()) + ".pdf");
    if (!pdfReady(source, dir, ready)) continue;
    T2pOptions options;
    const T2pResult plain = t2p_convert_file(ready, dir.file("plain.pdf"), options).result;
    options.pdfa = true;
    options.metadata.title = fs::path(source).filename().string();
    EXPECT_EQ(t2p_convert_file(ready, pdf, options).result, plain);
    if (plain != T2pResult::kWritten) continue;
    EXPECT_TRUE(test::qpdfCheck(pdf));
    EXPECT_EQ(test::comparePdfWithTiff(pdf, ready).problems, "");
    archival.push_back(pdf);
  }
  if (!test::havePreflight()) GTEST_SKIP() << "java or PDFBox Preflight missing";
  EXPECT_EQ(test::preflightProblems(archival), "");
}

}  // namespace
}  // namespace tarnwell
