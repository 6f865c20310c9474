#include "faxin/FormatClassifier.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempTree.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

struct SuffixCase {
  const char* path;
  int expected;  // the code's number
};

class ClassifyBySuffix : public testing::TestWithParam<SuffixCase> {};

TEST_P(ClassifyBySuffix, GivesCode) {
  EXPECT_EQ(static_cast<int>(classifyFile(GetParam().path)), GetParam().expected)
      << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ClassifyBySuffix,
    testing::Values(
        SuffixCase{"PAGE.TIF", 15}, SuffixCase{"page.tif", 15}, SuffixCase{"page.Tiff", 15},
        SuffixCase{"reporttif", 15}, SuffixCase{"a.fmf", 9}, SuffixCase{"a.FXD", 10},
        SuffixCase{"a.fxm", 10}, SuffixCase{"a.fxr", 10}, SuffixCase{"a.fxs", 10},
        SuffixCase{"a.bfx", 3}, SuffixCase{"a.bmp", 4}, SuffixCase{"a.dcx", 6},
        SuffixCase{"x.cals", 5}, SuffixCase{"x.cal", 5}, SuffixCase{"x.als", 0},
        SuffixCase{"x.ras", 5}, SuffixCase{"x.img", 5}, SuffixCase{"x.gp4", 5},
        SuffixCase{"x.mil", 5}, SuffixCase{"x.oda", 5}, SuffixCase{"a.apf", 1},
        SuffixCase{"a.awd", 2}, SuffixCase{"a.ig4", 12}, SuffixCase{"a.qfx", 13},
        SuffixCase{"a.g3n", 16}, SuffixCase{"fax.ds", 7}, SuffixCase{"fax.DS", 7},
        SuffixCase{"faxds", 7}, SuffixCase{"abc.shred", 8}, SuffixCase{"a.ed", 8},
        SuffixCase{"a.mrv", 17}, SuffixCase{"notes.txt", -2}, SuffixCase{"Thumbs.db", -2},
        SuffixCase{"setup.dll", -2}, SuffixCase{"a.SYS", -2}, SuffixCase{"a.bat", -2},
        SuffixCase{"a.lnk", -2}, SuffixCase{"a.zip", -2}, SuffixCase{"a.rar", -2},
        SuffixCase{"scan.abc", 0}, SuffixCase{"noext", 0}, SuffixCase{"report.pdf", 0},
        SuffixCase{"", 0}, SuffixCase{"f", 0}, SuffixCase{"ds", 7},
        // Suffix tests stop at multi-byte characters: their bytes never equal ASCII letters.
        SuffixCase{"fax.t\xC3\xAF" "f", 0}, SuffixCase{"\xC3\xA9" "ds", 7},
        SuffixCase{"dir.tif/file", 0}),
    [](const auto& info) { return test::nameFrom(info.param.path); });

// The number of the code a path is classified as.
int codeOf(const std::string& path) { return static_cast<int>(classifyFile(path)); }

class ProbeG3f : public testing::Test {
 protected:
  test::TempTree tree;
};

TEST_F(ProbeG3f, RecognisesLittleEndianTiffByBytesTwoAndThree) {
  EXPECT_EQ(codeOf(tree.write("a.g3f", std::string("II\x2A\0rest", 8))), 16);
  // Bytes 0 and 1 are not looked at.
  EXPECT_EQ(codeOf(tree.write("b.G3F", std::string("zz\x2A\0", 4))), 16);
}

TEST_F(ProbeG3f, RecognisesPcResearchHeaderAtOffsetOne) {
  EXPECT_EQ(codeOf(tree.write("a.g3f", "xPC Research, Inc and more")), 11);
  EXPECT_EQ(codeOf(tree.write("b.g3f", "xPC research, Inc")), 0);
  EXPECT_EQ(codeOf(tree.write("c.g3f", "PC Research, Inc")), 0);
  EXPECT_EQ(codeOf(tree.write("d.g3f", "xPC Research, In")), 0);  // one byte short
}

TEST_F(ProbeG3f, AnythingElseIsRaw) {
  EXPECT_EQ(codeOf(tree.write("big.g3f", std::string("MM\0\x2A", 4))), 0);
  EXPECT_EQ(codeOf(tree.write("empty.g3f", "")), 0);
  EXPECT_EQ(codeOf(tree.path("missing.g3f")), 0);
  EXPECT_EQ(codeOf(tree.mkdir("dir.g3f")), 0);
  EXPECT_EQ(codeOf(tree.write("short.g3f", "I")), 0);
}

TEST_F(ProbeG3f, NamedPipeDoesNotBlock) {
  const std::string fifo = tree.path("pipe.g3f");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(codeOf(fifo), 0);
}

}  // namespace
}  // namespace tarnwell
