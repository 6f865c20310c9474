// The include check (scripts/include_cycles.py) on small trees made for each case: it finds every
// include that points up or sideways between the rooms and every include cycle, and nothing else.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/Process.h"
#include "support/TempTree.h"

namespace tarnwell {
namespace {

struct LayerCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // path in the tree, contents
  int exitCode;
  std::string output;  // the check's whole output
};

const LayerCase kLayerCases[] = {
    {"DownwardIncludesPass",
     {{"codec/FaxDecoder.cpp", "#include \"codec/FaxDecoder.h\"\n#include <vector>\n"},
      {"faxin/Reader.cpp", "#include \"codec/FaxDecoder.h\"\n#include \"platform/Platform.h\"\n"},
      {"pdfout/copy.cpp", "#include \"codec/FaxDecoder.h\"\n#include \"ocr/PageText.h\"\n"},
      {"app/Run.cpp", "#include \"faxin/Reader.h\"\n#include \"pdfout/t2p.h\"\n"},
      {"ui/Window.cpp", "#include \"app/Run.h\"\n  #  include \"platform/Platform.h\"\n"}},
     0,
     ""},
    {"CodecIncludingFaxinPointsUp",
     {{"codec/FaxProbe.h", "#pragma once\n\n#include \"faxin/FaxPage.h\"\n"}},
     1,
     "up: codec/FaxProbe.h:3 includes faxin/FaxPage.h (faxin is above codec)\n"},
    {"PdfoutIncludingFaxinPointsSideways",
     {{"pdfout/tiff_copy_g4.cpp", "#include \"pdfout/tiff_copy_g4.h\"\n#include \"faxin/x.h\"\n"}},
     1,
     "up: pdfout/tiff_copy_g4.cpp:2 includes faxin/x.h (faxin is beside pdfout)\n"},
    {"EveryUpwardIncludeIsListed",
     {{"platform/Platform.cpp", "#include \"ui/Window.h\"\n#include \"app/Run.h\"\n"},
      {"ocr/Recognizer.cpp", "#include \"pdfout/t2p.h\"\n"}},
     1,
     "up: platform/Platform.cpp:1 includes ui/Window.h (ui is above platform)\n"
     "up: platform/Platform.cpp:2 includes app/Run.h (app is above platform)\n"
     "up: ocr/Recognizer.cpp:1 includes pdfout/t2p.h (pdfout is above ocr)\n"},
    {"ProgramEntryMayMakeTheWindow",
     {{"app/main.cpp", "#include \"ui/Window.h\"\n"}},
     0,
     ""},
    {"OtherAppFilesMayNot",
     {{"app/Program.cpp", "#include \"ui/Window.h\"\n"}},
     1,
     "up: app/Program.cpp:1 includes ui/Window.h (ui is above app)\n"},
    {"IncludesNamingNoRoomAndCommentsAreLeftAlone",
     {{"faxin/a.cpp", "// #include \"ui/Window.h\"\n#include \"local.h\"\n#include <ui/x.h>\n"},
      {"tests/faxin/t.cpp", "#include \"ui/Window.h\"\n"},
      {"bench/b.cpp", "#include \"app/Run.h\"\n"}},
     0,
     ""},
    {"CycleInsideARoom",
     {{"pdfout/t2p.h", "#include \"ocr/PageText.h\"\n"},
      {"pdfout/t2p.cpp", "#include \"pdfout/t2p.h\"\n#include \"pdfout/t2p_document.h\"\n"},
      {"pdfout/t2p_document.cpp", "#include \"pdfout/t2p_document.h\"\n#include \"pdfout/t2p.h\"\n"}},
     1,
     "cycle: pdfout/t2p <-> pdfout/t2p_document\n"},
};

class IncludeLayersTest : public ::testing::TestWithParam<LayerCase> {};

TEST_P(IncludeLayersTest, ReportsWhatPointsUpAndWhatGoesRound) {
  const LayerCase& c = GetParam();
  test::TempTree tree;
  for (const auto& [path, text] : c.files) tree.write(path, text);
  const test::CommandResult r =
      test::runCommand(test::shellQuote(TARNWELL_PYTHON) + " " +
                       test::shellQuote(TARNWELL_SOURCE_DIR "/scripts/include_cycles.py") +
                       " --root " + test::shellQuote(tree.path()));
  EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
  EXPECT_EQ(r.out, c.output);
}

INSTANTIATE_TEST_SUITE_P(Trees, IncludeLayersTest, ::testing::ValuesIn(kLayerCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
