// Both samples and every fax of the shared corpus, made PDF-ready as the program makes them (a
// TIFF copied keeping its compression, any other fax through the engine and copied with Group 4)
// and written as PDF/A-1b: Preflight accepts every one in a single Java run, qpdf passes them,
// and each page renders as libtiff decodes the PDF-ready TIFF, the plain PDF's own pixels.
// TARNWELL_CORPUS names the corpus where it is not at ../shared/corpus beside the sources.

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
  if (format == FaxFormat::kTiff) {
    options.compression = -1;
    return tiff_copy_file(source, ready, options) == 0;
  }
  EngineSetup setup;
  setup.files = {dir.file("trwtmp.tmp"), dir.file("trwseg.tmp"), dir.file("trwtif.tmp")};
  FaxConverter engine(setup);
  const std::string intermediate = dir.file("engine.tif");
  if (engine.open(source, format) != 0 || !engine.hasPages() ||
      engine.convert(intermediate, format) != 0)
    return false;
  return tiff_copy_file(intermediate, ready, options) == 0;
}

TEST(PdfaCorpusTest, EverySampleAndCorpusFaxIsValidPdfa) {
  silenceTiffMessages();
  if (!test::haveTool("qpdf") || !test::haveTool("gs")) GTEST_SKIP() << "qpdf or gs missing";
  test::TempTree dir;
  std::vector<std::string> archival;
  int index = 0;
  for (const std::string& source : sources()) {
    SCOPED_TRACE(source);
    const std::string ready = dir.file("ready.tif");
    const std::string pdf = dir.file(std::to_string(index++) + ".pdf");
    if (!pdfReady(source, dir, ready)) continue;
    T2pOptions options;
    const bool plain = t2p_convert_file(ready, dir.file("plain.pdf"), options).result ==
                       T2pResult::kWritten;
    options.pdfa = true;
    options.metadata.title = fs::path(source).filename().string();
    EXPECT_EQ(t2p_convert_file(ready, pdf, options).result == T2pResult::kWritten, plain);
    if (!plain) continue;
    EXPECT_TRUE(test::qpdfCheck(pdf));
    EXPECT_EQ(test::comparePdfWithTiff(pdf, ready).problems, "");
    archival.push_back(pdf);
  }
  EXPECT_GE(archival.size(), 2u);
  if (!test::havePreflight()) GTEST_SKIP() << "java or PDFBox Preflight missing";
  const std::vector<std::string> problems = test::preflightProblems(archival);
  ASSERT_EQ(problems.size(), archival.size());
  for (std::size_t i = 0; i < archival.size(); ++i) EXPECT_EQ(problems[i], "") << archival[i];
}

}  // namespace
}  // namespace tarnwell
