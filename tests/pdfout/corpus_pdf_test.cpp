// Every TIFF of the shared sample corpus goes through the PDF output road as a TIFF source
// does (copy keeping its compression, then the PDF writer). The PDF must pass qpdf and render
// pixel for pixel as the PDF-ready TIFF at the image's own resolution.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pdfout/tiffio/messages.h"
#include "support/LibtiffMessages.h"
#include "support/LibtiffReader.h"
#include "support/LibtiffWriter.h"
#include "support/TempTree.h"
#include "support/TiffBytes.h"
#include "tiff_copy_pipeline.h"

namespace tarnwell {
namespace {

const std::string kCorpus = TARNWELL_SOURCE_DIR "/../shared/corpus";

// The TIFF entries of the corpus manifest (first column: path inside the corpus).
std::vector<std::string> corpusTiffs() {
  std::vector<std::string> names;
  std::ifstream manifest(kCorpus + "/MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // header
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string path, repository, inRepository, commit, licence, format;
    std::getline(fields, path, '\t');
    std::getline(fields, repository, '\t');
    std::getline(fields, inRepository, '\t');
    std::getline(fields, commit, '\t');
    std::getline(fields, licence, '\t');
    std::getline(fields, format, '\t');
    if (format.rfind("TIFF", 0) == 0) names.push_back(path);
  }
  if (names.empty()) names.push_back("");  // corpus absent: one case that skips
  return names;
}

class CorpusPdf : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { silenceTiffMessages(); }
  test::TempTree dir;
};

TEST_P(CorpusPdf, ConvertsAndRendersAsTheTiff) {
  if (GetParam().empty() || !std::filesystem::exists(kCorpus + "/" + GetParam())) {
    GTEST_SKIP() << "sample corpus not present";
  }
  const copytest::PipelineResult result =
      copytest::convertAndCompare(kCorpus + "/" + GetParam(), -1, dir.path());
  EXPECT_EQ(result.copyResult, TiffCopyResult::kCopied);
  EXPECT_EQ(result.pdfResult, 0);
  EXPECT_GT(result.pages, 0);
  EXPECT_EQ(result.problems, "") << GetParam();
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.empty() ? "absent" : info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusPdf, ::testing::ValuesIn(corpusTiffs()), caseName);

}  // namespace
}  // namespace tarnwell
