// The program on the test kit's hostile inputs (files that declare far more than they hold):
// each ends with the report it must give, a PDF that qpdf accepts, of the pages the data holds
// and of a size in proportion to the input, a line on standard error for each page it left
// out, and one more with the reason when the file fails. Time and memory are measured by scripts/hostile_limits.sh, not here.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/HostileInputs.h"
#include "support/PdfCheck.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

struct Expected {
  const char* report;  // the end of the report line
  int pages;           // PDF pages, 0 for no PDF
  int leftOut;         // lines on standard error for left-out pages
};

const std::map<std::string, Expected>& expectations() {
  static const std::map<std::string, Expected> table{
      {"declared-huge.bmp", {"- Error Fax", 0, 0}},
      {"offset-past-end.bmp", {"- Error Fax", 0, 0}},
      {"repeated-page.dcx", {"Success !", 1, 0}},
      {"declared-large.dcx", {"Success !", 1, 0}},
      {"declared-huge.dcx", {"- Not Fax", 0, 0}},
      {"sparse-tiles.tif", {"- Error in prearing to pdf conversion", 0, 0}},
      {"sparse-strips.tif", {"Success !", 1, 0}},
      {"declared-huge.fmf", {"- Error in prearing to pdf conversion", 0, 0}},
      {"repeated-page.qfx", {"Success !", 1, 0}},
      // 374 one-byte pages between the positions of a falling table: no coding in any of them.
      {"falling-table.qfx", {"Success !", 1, 374}},
      {"declared-huge.ig4", {"- Error in prearing to pdf conversion", 0, 0}},
      {"declared-large.cal", {"Success !", 1, 0}},
      {"declared-large.ed", {"Success !", 1, 0}},
      {"ones-1m.raw", {"- Not Fax", 0, 0}},
  };
  return table;
}

class HostileInputTest : public ::testing::TestWithParam<HostileInput> {};

TEST_P(HostileInputTest, EndsInProportionToItsBytes) {
  const HostileInput& input = GetParam();
  const auto found = expectations().find(input.name);
  ASSERT_NE(found, expectations().end()) << "no expectation for " << input.name;
  const Expected& expected = found->second;

  TempTree dir;
  const std::string source = dir.file(input.name);
  {
    std::ofstream out(source, std::ios::binary);
    out.write(reinterpret_cast<const char*>(input.bytes.data()),
              static_cast<std::streamsize>(input.bytes.size()));
  }
  const std::string pdf = dir.file("out.pdf");
  ProgramRun how;
  how.tmpDir = dir.path();
  const CommandResult run = runProgram(how, {"/f", source, pdf});
  EXPECT_NE(run.out.find(source + " --> " + pdf + " : "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(expected.report), std::string::npos) << run.out;

  // A file that fails gets one more line, with the reason, after those of its left-out pages.
  const int failed = expected.pages == 0 ? 1 : 0;
  const auto lines = std::count(run.err.begin(), run.err.end(), '\n');
  EXPECT_EQ(lines, expected.leftOut + failed) << run.err.substr(0, 400);
  if (expected.leftOut > 0) {
    EXPECT_EQ(run.err.rfind("tarnwell: " + source + ": page ", 0), 0u) << run.err.substr(0, 400);
  }
  if (failed != 0) {
    const std::size_t last = run.err.rfind('\n', run.err.size() - 2);
    const std::string reasonLine = run.err.substr(last == std::string::npos ? 0 : last + 1);
    EXPECT_EQ(reasonLine.rfind("tarnwell: " + source + ": ", 0), 0u) << reasonLine;
    EXPECT_EQ(reasonLine.find(": page "), std::string::npos) << reasonLine;
  }

  if (expected.pages == 0) {
    EXPECT_FALSE(std::filesystem::exists(pdf));
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_LE(std::filesystem::file_size(pdf),
            std::max<uint64_t>(uint64_t{1} << 20, 100 * uint64_t{input.bytes.size()}));
  if (!haveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  EXPECT_TRUE(qpdfCheck(pdf));
  EXPECT_EQ(qpdfPageCount(pdf), expected.pages);
}

INSTANTIATE_TEST_SUITE_P(Kit, HostileInputTest, ::testing::ValuesIn(hostileInputs()),
                         [](const ::testing::TestParamInfo<HostileInput>& info) {
                           std::string name = info.param.name;
                           std::replace_if(name.begin(), name.end(),
                                           [](char c) { return !std::isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
}  // namespace tarnwell
