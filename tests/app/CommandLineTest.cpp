#include "app/CommandLine.h"
#include "app/Options.h"
#include "support/TestNames.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace tarnwell {
namespace {

constexpr const char* kUsage =
    "Usage: tarnwell [/l /q] /f [/b=0] source-file dest-pdf-file\n"
    "or\n"
    "Usage: tarnwell [/l /q] /d [/b=0] source-directory dest-directory [filter]\n";

// The parse results as numbers, so that tables can hold them.
constexpr int kIncompleteRequest = 126;
constexpr int kUnknown = 125;
int code(ParseResult result) {
  switch (result) {
    case ParseResult::kComplete: return 0;
    case ParseResult::kEmpty: return -2;
    case ParseResult::kIncomplete: return kIncompleteRequest;
    case ParseResult::kUnknownOption: return kUnknown;
  }
  return -99;
}

struct Parsed {
  int result = 0;
  ConversionJob job;
  ConversionSettings settings;
  std::string output;
  std::string unknown;
};

// Parses a command line given as one text split at every blank.
Parsed parse(std::string_view text) {
  Parsed p;
  std::ostringstream out;
  const ParsedArguments parsed = parseArguments(p.job, p.settings, splitAtBlanks(text), out);
  p.result = code(parsed.result);
  p.unknown = parsed.unknownOption;
  p.output = out.str();
  return p;
}

// Complete requests: the fields they fill.
struct Complete {
  const char* text;
  int mode;
  const char* source;
  const char* destination;
  const char* filter;
};

class CompleteRequest : public testing::TestWithParam<Complete> {};

TEST_P(CompleteRequest, FillsModeAndPaths) {
  const Complete& c = GetParam();
  Parsed p = parse(std::string_view(c.text));
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.job.mode, c.mode);
  EXPECT_EQ(p.job.sourcePath, c.source);
  EXPECT_EQ(p.job.destinationPath, c.destination);
  EXPECT_EQ(p.job.filter, c.filter);
  EXPECT_EQ(p.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CompleteRequest,
    testing::Values(
        Complete{"/f in.g3 out.pdf", 2, "in.g3", "out.pdf", "*.*"},
        Complete{"/d /i /kh in /out *.fax", 1, "in", "/out", "*.fax"},
        // A path from the root that exists is no unknown option.
        Complete{"/f /tmp /out", 2, "/tmp", "/out", "*.*"},
        // Options after the first path are no options: they land in the filter.
        Complete{"/d in out /i", 1, "in", "out", "/i"},
        // The filter is everything after the destination, blanks included.
        Complete{"/d in out *.g3 *.fax", 1, "in", "out", "*.g3 *.fax"},
        // Trailing white space is removed before parsing.
        Complete{"/f a b \t\r\n", 2, "a", "b", "*.*"},
        // The last mode option wins; letters of paths keep their case.
        Complete{"/d /F Src/A.G3 Out/B.PDF", 2, "Src/A.G3", "Out/B.PDF", "*.*"},
        // A second blank ends the options and leaves an empty source path.
        Complete{"/d  in out", 1, "", "in", "out"},
        // Quotes are not interpreted.
        Complete{"/f \"a\" b", 2, "\"a\"", "b", "*.*"},
        // Non-ASCII bytes pass through unchanged.
        Complete{"/f f\xC3\xA4x.g3 \xE2\x82\xAC/o.pdf", 2, "f\xC3\xA4x.g3", "\xE2\x82\xAC/o.pdf",
                 "*.*"}),
    [](const auto& info) { return test::nameFrom(info.param.text); });

TEST(CommandLine, OptionsInAnyCaseSetFlagsAndSettings) {
  Parsed p = parse("/F /Q /L /KE /I /KH /B=2 /V=3 /M=1 /RAW /RELINES a b");
  ASSERT_EQ(p.result, 0);
  EXPECT_EQ(p.job.quiet, 1);
  EXPECT_EQ(p.job.keepFileTime, 1);
  EXPECT_EQ(p.job.keepSourceExtension, 1);
  EXPECT_EQ(p.job.includeSubdirectories, 1);
  EXPECT_EQ(p.job.keepHierarchy, 1);
  EXPECT_EQ(p.settings.engine.bitOrder, 2);
  EXPECT_EQ(p.settings.engine.verticalResolution, 300);
  EXPECT_EQ(p.settings.engine.splitPages, 1);
  EXPECT_EQ(p.settings.engine.rawFax, 1);
  EXPECT_EQ(p.settings.engine.recountLines, 1);
  EXPECT_EQ(p.settings.engine.nonStandardWidth, 0);  // reset by every parse without "/nw="
  EXPECT_EQ(p.settings.engine.minWidth, 1728);
  EXPECT_EQ(p.settings.engine.threshold, 50);
  EXPECT_EQ(p.settings.engine.flagNum, 3);
}

struct MinWidthCase {
  const char* option;
  int minWidth;
};
class MinWidthOption : public testing::TestWithParam<MinWidthCase> {};

TEST_P(MinWidthOption, ReadsLeadingNumberInSixteenBits) {
  Parsed p = parse(std::string(GetParam().option) + " /f a b");
  ASSERT_EQ(p.result, 0);
  EXPECT_EQ(p.settings.engine.nonStandardWidth, 1);
  EXPECT_EQ(p.settings.engine.minWidth, GetParam().minWidth);
}

// "/j=N" and "--jobs=N" take digits only; anything else is no option (and so the source path).
struct JobsCase {
  const char* option;
  int result;
  int jobs;
};
class JobsOption : public testing::TestWithParam<JobsCase> {};

TEST_P(JobsOption, TakesDigitsOnly) {
  Parsed p = parse(std::string(GetParam().option) + " /d a b");
  EXPECT_EQ(p.result, GetParam().result);
  EXPECT_EQ(p.job.jobs, GetParam().jobs);
}

INSTANTIATE_TEST_SUITE_P(Values, JobsOption,
                         testing::Values(JobsCase{"/j=4", 0, 4}, JobsCase{"/J=0", 0, 0},
                                         JobsCase{"--jobs=2", 0, 2}, JobsCase{"--JOBS=16", 0, 16},
                                         JobsCase{"/j=99999999999", 0, 2147483647},
                                         JobsCase{"/j=", kUnknown, 1},
                                         JobsCase{"/j=-2", kUnknown, 1},
                                         JobsCase{"/j=2x", kUnknown, 1},
                                         JobsCase{"--jobs", kUnknown, 1}),
    [](const auto& info) { return test::nameFrom(info.param.option); });

INSTANTIATE_TEST_SUITE_P(Values, MinWidthOption,
                         testing::Values(MinWidthCase{"/nw=2048", 2048}, MinWidthCase{"/nw=abc", 0},
                                         MinWidthCase{"/nw=", 0}, MinWidthCase{"/NW=1500x", 1500},
                                         MinWidthCase{"/nw=65537", 1},
                                         MinWidthCase{"/nw=-1", 65535},
                                         MinWidthCase{"/nw=99999999999999999999", 65535}),
    [](const auto& info) { return test::nameFrom(info.param.option); });

TEST(CommandLine, VerticalAndBitOrderValues) {
  const int expected[] = {0, 100, 200, 300, 400};
  for (int v = 0; v <= 4; ++v) {
    Parsed p = parse("/v=" + std::to_string(v) + " /f a b");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.settings.engine.verticalResolution, expected[v]);
  }
  EXPECT_EQ(parse("/b=1 /b=0 /f a b").settings.engine.bitOrder, 0);  // last value wins
}

// Incomplete requests print the usage text and give 126.
class IncompleteRequest : public testing::TestWithParam<const char*> {};

TEST_P(IncompleteRequest, PrintsUsage) {
  Parsed p = parse(std::string_view(GetParam()));
  EXPECT_EQ(p.result, 126);
  EXPECT_EQ(p.output, kUsage);
}

INSTANTIATE_TEST_SUITE_P(Texts, IncompleteRequest,
                         testing::Values("/f a.g3", "/b=1 x", "a b", "/q /f", "/f", "/f a.b/c"),
    [](const auto& info) { return test::nameFrom(info.param); });

// A word in the place of an option that looks like one but is none is named, without usage.
class UnknownOption : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(UnknownOption, IsNamed) {
  Parsed p = parse(GetParam().first);
  EXPECT_EQ(p.result, kUnknown);
  EXPECT_EQ(p.unknown, GetParam().second);
  EXPECT_EQ(p.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnknownOption,
    testing::Values(std::pair{"/bogus /f a.tif a.pdf", "/bogus"}, std::pair{"/j2 /d a b", "/j2"},
                    std::pair{"/m=3 /f a b", "/m=3"}, std::pair{"/v=5 /f a b", "/v=5"},
                    std::pair{"/b=01 /f a b", "/b=01"}, std::pair{"/FF a b", "/FF"},
                    std::pair{"/f --force a b", "--force"}, std::pair{"/ocr= /f a b", "/ocr="}),
    [](const auto& info) { return test::nameFrom(info.param.first); });

TEST(CommandLine, StoppedParseKeepsEarlierOptionsAndTheReset) {
  Parsed p = parse("/b=1 /raw x");
  EXPECT_EQ(p.result, 126);
  EXPECT_EQ(p.settings.engine.bitOrder, 1);
  EXPECT_EQ(p.settings.engine.rawFax, 1);
  EXPECT_EQ(p.settings.engine.nonStandardWidth, 0);
}

TEST(CommandLine, EmptyDestinationGivesIncompleteWithoutUsage) {
  // "/f a " loses its trailing blank; "/f a  " too, so build a blank destination otherwise:
  // source "a", then a blank, then an empty destination followed by the filter.
  Parsed p = parse("/d a  filter");
  EXPECT_EQ(p.result, 126);
  EXPECT_EQ(p.output, "");
}

TEST(CommandLine, EmptyTextLeavesSettingsAlone) {
  Parsed empty = parse(std::string_view(""));
  EXPECT_EQ(empty.result, -2);
  EXPECT_EQ(empty.settings.engine.nonStandardWidth, 1);
  EXPECT_EQ(empty.output, "");
}

TEST(CommandLine, ClearsFlagsOfAnEarlierParse) {
  ConversionJob job;
  ConversionSettings settings;
  std::ostringstream out;
  ASSERT_EQ(parseArguments(job, settings, {"/q", "/l", "/d", "a", "b"}, out).result,
            ParseResult::kComplete);
  ASSERT_EQ(parseArguments(job, settings, {"/f", "c", "d"}, out).result, ParseResult::kComplete);
  EXPECT_EQ(job.quiet, 0);
  EXPECT_EQ(job.keepFileTime, 0);
  EXPECT_EQ(job.mode, kModeFile);
}

// The shell's arguments, one token each: blanks inside an argument belong to it.
struct Tokens {
  const char* name;
  std::vector<std::string> arguments;
  int result;
  const char* source;
  const char* destination;
  const char* filter;
  bool usage;
};

class ArgumentTokens : public testing::TestWithParam<Tokens> {};

TEST_P(ArgumentTokens, ParseAsTheShellSplitThem) {
  const Tokens& t = GetParam();
  ConversionJob job;
  ConversionSettings settings;
  std::ostringstream out;
  EXPECT_EQ(code(parseArguments(job, settings, t.arguments, out).result), t.result);
  EXPECT_EQ(out.str(), t.usage ? kUsage : "");
  if (t.result != 0) return;
  EXPECT_EQ(job.sourcePath, t.source);
  EXPECT_EQ(job.destinationPath, t.destination);
  EXPECT_EQ(job.filter, t.filter);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentTokens,
    testing::Values(
        Tokens{"BlankInPaths", {"/f", "Fax 0815.g3", "out/Fax 0815.pdf"}, 0, "Fax 0815.g3",
               "out/Fax 0815.pdf", "*.*", false},
        Tokens{"BlankInFilter", {"/d", "in dir", "out dir", "Fax *.g3"}, 0, "in dir", "out dir",
               "Fax *.g3", false},
        Tokens{"RestJoinedIntoFilter", {"/d", "in", "out", "*.g3", "*.fax"}, 0, "in", "out",
               "*.g3 *.fax", false},
        Tokens{"TrailingSpaceOfLastArgumentsDropped", {"/f", "a", "b c ", "\t", ""}, 0, "a",
               "b c", "*.*", false},
        Tokens{"LeadingBlankKept", {"/f", " a", "b"}, 0, " a", "b", "*.*", false},
        Tokens{"EmptyArgumentIsEmptySource", {"/d", "", "in", "out"}, 0, "", "in", "out", false},
        Tokens{"EmptyDestination", {"/d", "a", "", "x"}, 126, "", "", "", false},
        Tokens{"TrailingEmptyArgumentsDoNotCount", {"/f", "a", "", ""}, 126, "", "", "", true},
        Tokens{"OptionsInOneArgumentAreNoOption", {"/q /f", "a", "b"}, 126, "", "", "", true},
        Tokens{"NoArguments", {}, -2, "", "", "", false},
        Tokens{"OneEmptyArgument", {""}, -2, "", "", "", false},
        Tokens{"TwoEmptyArguments", {"", ""}, 126, "", "", "", true}),
    [](const testing::TestParamInfo<Tokens>& info) { return std::string(info.param.name); });

TEST(CommandLine, InfoRequestAnywhereFirstOneDecides) {
  EXPECT_EQ(findInfoRequest({"/f", "a", "b"}), InfoRequest::kNone);
  EXPECT_EQ(findInfoRequest({"/d", "a", "b", "-h"}), InfoRequest::kHelp);
  EXPECT_EQ(findInfoRequest({"--version", "--help"}), InfoRequest::kVersion);
  // Only the exact spellings count; "-H" or "--Help" may be a file name.
  EXPECT_EQ(findInfoRequest({"/f", "-H", "--Help", "-help"}), InfoRequest::kNone);
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// The request of a run: the given paths, the defaults with one intermediate TIFF for all pages,
// then what the command line sets; a window request keeps what was parsed before the stop.
TEST(BuildRequest, StartsFromDefaultsAndTakesTheGivenPaths) {
  const WorkingPaths paths = makeWorkingPaths("/opt/tw/tarnwell", "/tmp/x/");
  for (const auto& [text, result, resolution] :
       {std::tuple{"/v=1 /f a.g3 a.pdf", 0, 100}, std::tuple{"/v=3 a.g3", kIncompleteRequest, 300},
        std::tuple{"/f a.g3 a.pdf", 0, 0}}) {
    SCOPED_TRACE(text);
    ConversionRequest request;
    request.settings.engine.splitPages = 1;
    request.settings.engine.threshold = 7;
    std::ostringstream out;
    EXPECT_EQ(code(buildRequest(request, paths, splitAtBlanks(text), out).result), result);
    EXPECT_EQ(request.paths.engineFiles.workFilePath, "/tmp/x/trwtmp.tmp");
    EXPECT_EQ(request.paths.pdfReadyTiffPath, "/tmp/x/trwcptif.tmp");
    EXPECT_EQ(request.settings.engine.splitPages, 0);
    EXPECT_EQ(request.settings.engine.threshold, 50);
    EXPECT_EQ(request.settings.engine.verticalResolution, resolution);
  }
}

// Worker 0 keeps the run's working files; every other worker has its own names, lock included,
// in the same directory, and no worker's names begin with another worker's.
TEST(WorkerPaths, EachWorkerHasItsOwnNamesInTheSameDirectory) {
  const WorkingPaths paths = makeWorkingPaths("/opt/tw/tarnwell", "/tmp/x/");
  const WorkingPaths zero = workerPaths(paths, 0);
  EXPECT_EQ(zero.lockFilePath, paths.lockFilePath);
  EXPECT_EQ(zero.intermediateTiffPath, paths.intermediateTiffPath);
  std::vector<std::string> names;
  for (int worker : {0, 1, 2, 10, 12, 21}) {
    const WorkingPaths w = workerPaths(paths, worker);
    EXPECT_EQ(w.workDirectory, paths.workDirectory);
    EXPECT_EQ(w.logDirectory, paths.logDirectory);
    for (const std::string* path :
         {&w.engineFiles.workFilePath, &w.engineFiles.segmentFilePath, &w.lockFilePath,
          &w.engineFiles.scratchTiffPath, &w.intermediateTiffPath, &w.pdfReadyTiffPath}) {
      ASSERT_TRUE(path->starts_with("/tmp/x/")) << *path;
      ASSERT_EQ(path->find('/', 7), std::string::npos) << *path;
      names.push_back(path->substr(7, path->rfind('.') - 7));  // the stem page files start with
    }
  }
  EXPECT_EQ(names[6 + 2], "w1-trwlock");
  for (std::size_t i = 0; i < names.size(); ++i)
    for (std::size_t j = 0; j < names.size(); ++j)
      if (i != j) {
        EXPECT_FALSE(names[j].starts_with(names[i])) << names[i] << " " << names[j];
      }
}

}  // namespace
}  // namespace tarnwell
