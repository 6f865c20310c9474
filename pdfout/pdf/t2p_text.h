#pragma once

// The invisible text layer of a searchable page: recognised words drawn in text render mode 3
// (neither filled nor stroked) with a font that has no visible glyphs, each word stretched over
// the box its ink covers in the image, so that viewers highlight and search the words where
// they are seen and text extraction gives them in Unicode.

#include <cstdint>
#include <string>
#include <vector>

#include "ocr/PageText.h"
#include "pdfout/pdf/t2p_context.h"

namespace tarnwell {

class PdfSink;

// Objects the document's text font takes: font, descendant font, font descriptor, font file
// and its length, Unicode map and its length.
inline constexpr uint32_t kTextFontObjects = 7;
// Objects of the text font in the document: an archival one adds the stream that maps every
// character to the font's blank glyph.
[[nodiscard]] uint32_t t2p_text_font_objects(const t2p_context& ctx);

// Resource name of the text font on every page that has text.
inline constexpr const char* kTextFontName = "/FTxt";

// The text of the page being written, or nullptr when it gets no text layer (no text given, the
// page was not recognised, or the text was found on a bitmap of another size).
[[nodiscard]] const ocr::PageText* t2p_page_text(const t2p_context& ctx);

// Content stream operators that draw the words of `text` invisibly over the image placed by
// `imageBox` (image of width x length pixels); empty for a page without words.
[[nodiscard]] std::string t2p_text_content(const ocr::PageText& text, const TileBox& imageBox,
                                           uint32_t width, uint32_t length);

// Writes the font objects, starting with object number ctx.doc.textFontObject.
void t2p_write_text_font(t2p_context& ctx, PdfSink& out);

// The bytes of the glyph-less TrueType font: two glyphs without outlines, 500 units wide on an
// em of 1000, ascent 1000, descent 0.
[[nodiscard]] std::vector<uint8_t> glyphlessTrueType();

// The UTF-16 code units of a UTF-8 text written as hexadecimal, four digits each, for the
// Identity-H encoding; characters outside the Basic Multilingual Plane, control characters
// and broken sequences are left out. `count` receives the number of characters written.
[[nodiscard]] std::string utf8ToHexCodes(const std::string& utf8, uint32_t& count);

}  // namespace tarnwell
