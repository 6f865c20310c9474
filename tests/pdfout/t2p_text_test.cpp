// The pieces of the invisible text layer that viewers and extractors depend on: the characters'
// codes, the glyph-less font's structure and the words' placement operators.

#include <gtest/gtest.h>

#include "pdfout/pdf/t2p_text.h"

namespace tarnwell {
namespace {

uint32_t be32(const std::vector<uint8_t>& b, std::size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

struct CodeCase {
  const char* name;
  std::string utf8;
  std::string hex;
  uint32_t count;
};

class TextCodesTest : public testing::TestWithParam<CodeCase> {};

TEST_P(TextCodesTest, Utf8BecomesUtf16Codes) {
  uint32_t count = 99;
  EXPECT_EQ(utf8ToHexCodes(GetParam().utf8, count), GetParam().hex);
  EXPECT_EQ(count, GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCodesTest,
    testing::Values(CodeCase{"Ascii", "Fax", "004600610078", 3},
                    CodeCase{"Umlaut", "M\xC3\xBCller", "004D00FC006C006C00650072", 6},
                    CodeCase{"Euro", "\xE2\x82\xAC" "5", "20AC0035", 2},
                    // Outside the Basic Multilingual Plane, control bytes, broken sequences.
                    CodeCase{"EmojiLeftOut", "a\xF0\x9F\x98\x80" "b", "00610062", 2},
                    CodeCase{"ControlLeftOut", "a\tb", "00610062", 2},
                    CodeCase{"LoneContinuation", "a\x80" "b", "00610062", 2},
                    CodeCase{"TruncatedAtEnd", "ab\xE2\x82", "00610062", 2},
                    CodeCase{"Overlong", "\xC0\xAF" "x", "0078", 1},
                    CodeCase{"SurrogateLeftOut", "\xED\xA0\x80" "x", "0078", 1},
                    CodeCase{"Empty", "", "", 0}),
    [](const testing::TestParamInfo<CodeCase>& info) { return std::string(info.param.name); });

// The font is a well-formed TrueType file: tables sorted, inside the file, each with its
// checksum, and the whole file summing to the magic value through head's adjustment.
TEST(GlyphlessFontTest, TablesAndChecksumsAreConsistent) {
  const std::vector<uint8_t> font = glyphlessTrueType();
  ASSERT_GE(font.size(), 12u);
  EXPECT_EQ(be32(font, 0), 0x00010000u);
  const uint32_t tables = uint32_t{font[4]} << 8 | font[5];
  ASSERT_GE(font.size(), 12 + 16 * tables);
  std::string previous;
  for (uint32_t i = 0; i < tables; ++i) {
    const std::size_t entry = 12 + 16 * i;
    const std::string tag(font.begin() + entry, font.begin() + entry + 4);
    EXPECT_LT(previous, tag);
    previous = tag;
    const uint32_t sum = be32(font, entry + 4), offset = be32(font, entry + 8),
                   length = be32(font, entry + 12);
    ASSERT_LE(uint64_t{offset} + (length + 3) / 4 * 4, font.size()) << tag;
    EXPECT_EQ(offset % 4, 0u) << tag;
    uint32_t computed = 0;
    for (uint32_t k = 0; k < (length + 3) / 4 * 4; k += 4) {
      if (tag == "head" && k == 8) continue;  // the adjustment is left out of head's own sum
      computed += be32(font, offset + k);
    }
    EXPECT_EQ(computed, sum) << tag;
  }
  uint32_t whole = 0;
  for (std::size_t k = 0; k < font.size(); k += 4) whole += be32(font, k);
  EXPECT_EQ(whole, 0xB1B0AFBAu);
}

// A word's box becomes font size (box height), horizontal scaling (box width over the advances)
// and a text matrix with the baseline on the box's bottom; the pixel space follows the image.
TEST(TextContentTest, WordsAreStretchedOverTheirBoxes) {
  ocr::PageText text;
  text.recognised = true;
  text.width = 1728;
  text.rows = 2200;
  text.words = {{"Fax", 100, 200, 160, 220}, {"\x01", 0, 0, 10, 10}, {"x", 5, 5, 5, 9}};
  TileBox box;
  box.mat[0] = 609.88f;
  box.mat[4] = 808.16f;
  box.mat[8] = 1;
  const std::string content = t2p_text_content(text, box, 1728, 2200);
  EXPECT_NE(content.find("3 Tr"), std::string::npos);
  // 3 characters of half an em at size 20 are 30 pixels; the box is 60 wide: 200 %.
  EXPECT_NE(content.find("/FTxt 20 Tf 200 Tz 1 0 0 -1 100 220 Tm <004600610078> Tj"),
            std::string::npos)
      << content;
  // Words without a character to write or without area are left out.
  EXPECT_EQ(content.find("Tj", content.find("Tj") + 1), std::string::npos) << content;
  EXPECT_NE(content.find("q 0.352940 0.000000 -0.000000 -0.367345 0.0000 808.1600 cm"),
            std::string::npos)
      << content;

  text.words.clear();
  EXPECT_EQ(t2p_text_content(text, box, 1728, 2200), "");
}

}  // namespace
}  // namespace tarnwell
