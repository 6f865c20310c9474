#include "faxin/FormatTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "faxin/FormatClassifier.h"
#include "faxin/raw/RawFaxReader.h"
#include "faxin/readers/ReaderFactory.h"
#include "support/TempTree.h"
#include "support/TestNames.h"

namespace tarnwell {
namespace {

std::string withCase(std::string_view text, bool upper) {
  std::string out(text);
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool isRawReader(const FaxReader* reader) {
  return dynamic_cast<const RawFaxReader*>(reader) != nullptr;
}

std::vector<const FormatRow*> rows() {
  std::vector<const FormatRow*> out;
  for (const FormatRow& row : formatTable()) out.push_back(&row);
  return out;
}

class FormatRows : public testing::TestWithParam<const FormatRow*> {};

// Every ending of a row, in either letter case and after any name, gives the row's code; an
// ending that needs a look into the file gives what the row's probe finds there.
TEST_P(FormatRows, EveryEndingClassifiesAsItsRow) {
  const FormatRow& row = *GetParam();
  const test::TempTree tree;
  for (std::string_view ending : row.suffixes) {
    for (const bool upper : {false, true}) {
      const std::string name = withCase("fax." + std::string(ending), upper);
      const std::string path = tree.write(name, std::string("II\x2A\0 a fax", 11));
      const FaxFormat expected = row.probe != nullptr ? row.probe(path) : row.code;
      EXPECT_EQ(classifyFile(path), expected) << name;
    }
  }
}

// The factory makes the row's reader: a container's own reader, the raw stream reader for every
// other code, none where the row names none. Every code a path can yield has a reader.
TEST_P(FormatRows, FactoryAndTraitsAgree) {
  const FormatRow& row = *GetParam();
  const std::unique_ptr<FaxReader> reader = makeFaxReader(row.code);
  EXPECT_EQ(reader != nullptr, row.makeReader != nullptr);
  EXPECT_EQ(isContainerCode(row.code), row.container);
  if (!row.suffixes.empty()) {
    EXPECT_NE(reader, nullptr);
  }
  if (reader) {
    EXPECT_EQ(isRawReader(reader.get()), !row.container);
  }
  EXPECT_EQ(&formatRow(row.code), &row);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatRows, testing::ValuesIn(rows()), [](const auto& info) {
  const int code = static_cast<int>(info.param->code);
  return (code < 0 ? "Minus" + std::to_string(-code) : std::to_string(code)) + "_" +
         test::nameFrom(info.param->name);
});

// No ending ends with another row's ending (in any letter case), so no path could match two rows
// and the order of the rows never decides; and no code has two rows.
TEST(FormatTable, EndingsAndCodesAreUnambiguous) {
  std::set<FaxFormat> codes;
  for (const FormatRow& a : formatTable()) {
    EXPECT_TRUE(codes.insert(a.code).second) << static_cast<int>(a.code);
    for (const FormatRow& b : formatTable()) {
      if (&a == &b) continue;
      for (std::string_view ea : a.suffixes) {
        for (std::string_view eb : b.suffixes) {
          const std::string longer = withCase(ea, true);
          const std::string shorter = withCase(eb, true);
          EXPECT_FALSE(longer.ends_with(shorter)) << ea << " ends with " << eb;
        }
      }
    }
  }
}

// Codes without a row (stored values no path yields) are read as raw streams.
TEST(FormatTable, CodesWithoutARowAreRawStreams) {
  for (const int code : {-3, -1, 18, 99}) {
    const auto format = static_cast<FaxFormat>(code);
    EXPECT_EQ(formatRow(format).code, FaxFormat::kRaw) << code;
    EXPECT_FALSE(isContainerCode(format)) << code;
    EXPECT_TRUE(isRawReader(makeFaxReader(format).get())) << code;
  }
}

}  // namespace
}  // namespace tarnwell
