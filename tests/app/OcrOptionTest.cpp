// The searchable-text options on the command line: /ocr, /ocr=LANGS in any letter case, and
// what is no option.
#include <gtest/gtest.h>

#include <sstream>

#include "app/CommandLine.h"

namespace tarnwell {
namespace {

constexpr ParseResult kDone = ParseResult::kComplete;
constexpr ParseResult kUnknown = ParseResult::kUnknownOption;

struct OcrCase {
  const char* name;
  std::vector<std::string> arguments;
  ParseResult result;
  bool searchable;
  std::string languages;
};

class OcrOptionTest : public testing::TestWithParam<OcrCase> {};

TEST_P(OcrOptionTest, SetsTheSearchableTextSettings) {
  const OcrCase& c = GetParam();
  ConversionJob job;
  ConversionSettings settings;
  std::ostringstream out;
  EXPECT_EQ(parseArguments(job, settings, c.arguments, out).result, c.result);
  EXPECT_EQ(settings.searchableText, c.searchable);
  EXPECT_EQ(settings.textLanguages, c.languages);
}

INSTANTIATE_TEST_SUITE_P(
    Options, OcrOptionTest,
    testing::Values(OcrCase{"Absent", {"/f", "a", "b"}, kDone, false, "eng"},
                    OcrCase{"English", {"/ocr", "/f", "a", "b"}, kDone, true, "eng"},
                    OcrCase{"Languages", {"/f", "/ocr=deu+eng", "a", "b"}, kDone, true, "deu+eng"},
                    OcrCase{"UpperCase", {"/OCR=DEU", "/f", "a", "b"}, kDone, true, "deu"},
                    OcrCase{"LastOneWins", {"/ocr=fra", "/ocr", "/f", "a", "b"}, kDone, true, "eng"},
                    // An empty list is no option the program knows.
                    OcrCase{"EmptyList", {"/ocr=", "/f", "a", "b"}, kUnknown, false, "eng"},
                    // After the first path it is part of the filter.
                    OcrCase{"AfterThePaths", {"/d", "a", "b", "/ocr"}, kDone, false, "eng"}),
    [](const testing::TestParamInfo<OcrCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwell
