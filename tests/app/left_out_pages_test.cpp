// Pages an engine run leaves out while writing the file's other pages: the report line stays as
// it is, each page gets a line naming the source, the page and the reason, and the program writes
// those lines to standard error.

#include <gtest/gtest.h>

#include <fstream>

#include "app/FakeStages.h"
#include "support/ContainerBuilders.h"
#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

using namespace tarnwell::test;

TEST(LeftOutPages, ReportLineStaysAndEachPageIsNamed) {
  TempTree dir;
  const std::string source = dir.file("a.qfx");
  writeBytes(source, {1, 2, 3});
  struct Case {
    EngineOutcome outcome;
    std::vector<LeftOutPage> pages;
    const char* ending;
    std::vector<std::string> lines;
  };
  const LeftOutPage second{2, 3, LeftOutReason::kNoCoding, 0};
  const LeftOutPage third{3, 3, LeftOutReason::kUnknownCoding, 9};
  for (const Case& c :
       {Case{EngineOutcome::kConverted, {}, "Success !\r\n", {}},
        Case{EngineOutcome::kConverted, {second}, "Success !\r\n",
             {source + ": page 2 of 3 left out: no Group 3 or Group 4 coding found"}},
        Case{EngineOutcome::kConverted, {second, third}, "Success !\r\n",
             {source + ": page 2 of 3 left out: no Group 3 or Group 4 coding found",
              source + ": page 3 of 3 left out: coding 9 cannot be written"}},
        Case{EngineOutcome::kWriteFailed, {third}, " - Error Fax\r\n",
             {source + ": page 3 of 3 left out: coding 9 cannot be written"}}}) {
    FakeStages stages;
    stages.engineOutcome = c.outcome;
    stages.leftOut = c.pages;
    ConversionJob job;
    ConversionSettings settings;
    const WorkingPaths paths = makeWorkingPaths(dir.file("tarnwell"), dir.path() + "/");
    const FileReport report =
        convertFile({source, dir.file("a.pdf")}, job, settings, paths, stages);
    EXPECT_TRUE(report.reportLine.ends_with(c.ending)) << report.reportLine;
    EXPECT_EQ(report.leftOutPages, c.lines);
  }
}

// The program: a QLIIFAX file whose middle page is random bytes converts with its two good pages,
// reports "Success !" and names the page on standard error.
TEST(LeftOutPages, ProgramNamesThePageOnStandardError) {
  TempTree dir;
  const CodedPage g3 = codePage(makePage(Pattern::kWords, 1728, 60, 1), 5, 1);
  CodedPage random = g3;
  uint32_t seed = 5;
  for (auto& b : random.bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  const std::string source = dir.file("a.qfx");
  writeBytes(source, buildQliiFax({g3, random, g3}));
  ProgramRun how;
  how.tmpDir = dir.path();
  const CommandResult run = runProgram(how, {"/f", source, dir.file("a.pdf")});
  EXPECT_NE(run.out.find(source + " --> " + dir.file("a.pdf") + " : Success !"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.err,
            "tarnwell: " + source + ": page 2 of 3 left out: no Group 3 or Group 4 coding found\n");
}

}  // namespace
}  // namespace tarnwell
