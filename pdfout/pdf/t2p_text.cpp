#include "pdfout/pdf/t2p_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "pdfout/pdf/t2p_encoder.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/pdf/t2p_objects.h"
#include "pdfout/pdf/t2p_sink.h"

namespace tarnwell {
namespace {

// Glyph advance on an em of 1000 units: every character is half an em wide before the word's
// horizontal scaling stretches it over its box.
constexpr int kGlyphAdvance = 500;
constexpr int kUnitsPerEm = 1000;

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v >> 16);
  put16(out, v & 0xFFFF);
}

uint32_t tableChecksum(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t size) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < size; i += 4) {
    uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k)
      word = (word << 8) | (from + i + k < bytes.size() && i + k < size ? bytes[from + i + k] : 0);
    sum += word;
  }
  return sum;
}

struct Table {
  const char* tag;
  std::vector<uint8_t> data;
};

// A number for the content stream: at most two decimals, no trailing zeros.
std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0" || s.empty()) s = "0";
  return s;
}

// The archival font's map from character codes to glyphs: every code shows glyph 1, the blank
// glyph of the font's advance, so that every code a word uses has a glyph in the font program.
std::vector<uint8_t> blankGlyphMap() {
  std::vector<uint8_t> map(size_t{2} << 16, 0);
  for (size_t code = 1; code < (size_t{1} << 16); ++code) map[2 * code + 1] = 1;
  return map;
}

}  // namespace

uint32_t t2p_text_font_objects(const t2p_context& ctx) {
  return kTextFontObjects + (ctx.options.pdfa ? 1 : 0);
}

const ocr::PageText* t2p_page_text(const t2p_context& ctx) {
  if (ctx.options.pageText == nullptr || ctx.doc.currentPage >= ctx.doc.tiff_pages.size())
    return nullptr;
  const uint16_t directory = ctx.doc.tiff_pages[ctx.doc.currentPage].directory;
  if (directory >= ctx.options.pageText->size()) return nullptr;
  const ocr::PageText& text = (*ctx.options.pageText)[directory];
  if (!text.recognised || text.width != ctx.page.width || text.rows != ctx.page.length ||
      ctx.doc.tiff_tiles[ctx.doc.currentPage].tileCount != 0)
    return nullptr;
  return &text;
}

std::string utf8ToHexCodes(const std::string& utf8, uint32_t& count) {
  std::string hex;
  count = 0;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    uint32_t cp = 0;
    std::size_t len = 0;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { ++i; continue; }
    if (i + len > n) break;
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok) { ++i; continue; }
    i += len;
    const bool overlong = (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800);
    if (overlong || cp < 0x20 || cp == 0x7F || cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      continue;
    char code[5];
    std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(cp));
    hex += code;
    ++count;
  }
  return hex;
}

std::string t2p_text_content(const ocr::PageText& text, const TileBox& imageBox, uint32_t width,
                             uint32_t length) {
  if (text.words.empty() || width == 0 || length == 0) return {};
  // The image's placement maps the unit square onto the page; this matrix maps the bitmap's
  // pixels (x to the right, y downwards from the top row) onto the same place, whatever the
  // orientation of the image.
  const float* m = imageBox.mat;
  const double w = width, h = length;
  // Coordinates below are whole pixels, so the matrix needs more precision than two decimals.
  char matrix[160];
  std::snprintf(matrix, sizeof matrix, "q %.6f %.6f %.6f %.6f %.4f %.4f cm\rBT\r3 Tr\r",
                m[0] / w, m[1] / w, -m[3] / h, -m[4] / h, static_cast<double>(m[3] + m[6]),
                static_cast<double>(m[4] + m[7]));
  std::string out = matrix;
  for (const ocr::Word& word : text.words) {
    uint32_t count = 0;
    const std::string hex = utf8ToHexCodes(word.text, count);
    const int32_t boxWidth = word.right - word.left, boxHeight = word.bottom - word.top;
    if (count == 0 || boxWidth <= 0 || boxHeight <= 0) continue;
    // The font size is the box's height; the horizontal scaling stretches the characters'
    // advances over the box's width. The text matrix turns the text upright again in the
    // downward pixel space, with the baseline on the box's bottom edge.
    const double size = boxHeight;
    const double natural = count * size * kGlyphAdvance / kUnitsPerEm;
    const double scale = 100.0 * boxWidth / natural;
    out += kTextFontName;
    out += " " + number(size) + " Tf " + number(scale) + " Tz 1 0 0 -1 " +
           std::to_string(word.left) + " " + std::to_string(word.bottom) + " Tm <" + hex +
           "> Tj\r";
  }
  out += "ET\rQ\r";
  return out;
}

std::vector<uint8_t> glyphlessTrueType() {
  std::vector<Table> tables;
  // Glyph 0 (.notdef) is empty; glyph 1 is a glyph without contours.
  std::vector<uint8_t> glyf;
  put16(glyf, 0);  // numberOfContours
  for (int i = 0; i < 4; ++i) put16(glyf, 0);  // xMin, yMin, xMax, yMax
  put16(glyf, 0);  // instructionLength
  std::vector<uint8_t> head;
  put32(head, 0x00010000);  // version
  put32(head, 0x00010000);  // fontRevision
  put32(head, 0);           // checkSumAdjustment, filled in below
  put32(head, 0x5F0F3CF5);  // magicNumber
  put16(head, 0);           // flags
  put16(head, kUnitsPerEm);
  for (int i = 0; i < 4; ++i) put32(head, 0);  // created, modified
  put16(head, 0);
  put16(head, 0);
  put16(head, kGlyphAdvance);
  put16(head, kUnitsPerEm);  // xMin, yMin, xMax, yMax
  put16(head, 0);            // macStyle
  put16(head, 8);            // lowestRecPPEM
  put16(head, 2);            // fontDirectionHint
  put16(head, 0);            // indexToLocFormat: short offsets
  put16(head, 0);            // glyphDataFormat
  std::vector<uint8_t> hhea;
  put32(hhea, 0x00010000);
  put16(hhea, kUnitsPerEm);  // ascender
  put16(hhea, 0);            // descender
  put16(hhea, 0);            // lineGap
  put16(hhea, kGlyphAdvance);
  put16(hhea, 0);
  put16(hhea, 0);
  put16(hhea, kGlyphAdvance);  // minLSB, minRSB, xMaxExtent
  put16(hhea, 1);
  put16(hhea, 0);
  put16(hhea, 0);  // caret slope rise, run, offset
  for (int i = 0; i < 4; ++i) put16(hhea, 0);
  put16(hhea, 0);  // metricDataFormat
  put16(hhea, 2);  // numberOfHMetrics
  std::vector<uint8_t> hmtx;
  for (int g = 0; g < 2; ++g) {
    put16(hmtx, kGlyphAdvance);
    put16(hmtx, 0);
  }
  std::vector<uint8_t> loca;
  put16(loca, 0);
  put16(loca, 0);
  put16(loca, static_cast<uint32_t>(glyf.size() / 2));
  std::vector<uint8_t> maxp;
  put32(maxp, 0x00010000);
  put16(maxp, 2);  // numGlyphs
  for (int i = 0; i < 13; ++i) put16(maxp, i == 4 ? 2 : 0);  // maxZones 2, all else 0
  std::vector<uint8_t> post;
  put32(post, 0x00030000);
  put32(post, 0);  // italicAngle
  put16(post, 0);
  put16(post, 0);
  put32(post, 1);  // isFixedPitch
  for (int i = 0; i < 4; ++i) put32(post, 0);
  tables = {{"glyf", glyf}, {"head", head}, {"hhea", hhea}, {"hmtx", hmtx},
            {"loca", loca}, {"maxp", maxp}, {"post", post}};

  std::vector<uint8_t> font;
  const auto count = static_cast<uint32_t>(tables.size());
  put32(font, 0x00010000);
  put16(font, count);
  put16(font, 64);  // searchRange: 16 x the largest power of two not above the table count
  put16(font, 2);   // entrySelector
  put16(font, count * 16 - 64);
  std::size_t offset = 12 + 16 * tables.size();
  std::size_t headOffset = 0;
  std::vector<uint8_t> body;
  for (const Table& t : tables) {
    std::vector<uint8_t> padded = t.data;
    while (padded.size() % 4 != 0) padded.push_back(0);
    const uint32_t sum = tableChecksum(padded, 0, padded.size());
    for (int k = 0; k < 4; ++k) font.push_back(static_cast<uint8_t>(t.tag[k]));
    put32(font, sum);
    put32(font, static_cast<uint32_t>(offset + body.size()));
    put32(font, static_cast<uint32_t>(t.data.size()));
    if (std::string_view(t.tag) == "head") headOffset = offset + body.size();
    body.insert(body.end(), padded.begin(), padded.end());
  }
  font.insert(font.end(), body.begin(), body.end());
  const uint32_t adjustment = 0xB1B0AFBAu - tableChecksum(font, 0, font.size());
  for (int k = 0; k < 4; ++k)
    font[headOffset + 8 + k] = static_cast<uint8_t>(adjustment >> (24 - 8 * k));
  return font;
}

namespace {

void writeGlyphMap(t2p_context& ctx, PdfSink& out) {
  std::vector<uint8_t> coded;
  if (!t2p_deflate(blankGlyphMap(), coded)) {
    t2pError("Can't code the glyph map of the text font");
    ctx.doc.error = 1;
    return;
  }
  t2p_start_object(ctx, out);
  out.printf("<< /Filter /FlateDecode /Length %llu >>\r",
             static_cast<unsigned long long>(coded.size()));
  t2p_write_pdf_stream_start(out);
  out.write(coded.data(), coded.size());
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
}

}  // namespace

void t2p_write_text_font(t2p_context& ctx, PdfSink& out) {
  const uint32_t first = ctx.doc.textFontObject;
  // Type 0 font with two-byte codes that are the characters' UTF-16 values.
  t2p_start_object(ctx, out);
  out.printf("<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H "
             "/DescendantFonts [%lu 0 R] /ToUnicode %lu 0 R >>\r",
             static_cast<unsigned long>(first + 1), static_cast<unsigned long>(first + 5));
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  out.printf("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont /CIDSystemInfo "
             "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor %lu 0 R "
             "/DW %d /CIDToGIDMap ",
             static_cast<unsigned long>(first + 2), kGlyphAdvance);
  if (ctx.options.pdfa) {
    out.printf("%lu 0 R >>\r", static_cast<unsigned long>(first + kTextFontObjects));
  } else {
    out.write("/Identity >>\r");
  }
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  out.printf("<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 %d %d] "
             "/ItalicAngle 0 /Ascent %d /Descent -1 /CapHeight %d /StemV 80 /FontFile2 %lu 0 R "
             ">>\r",
             kGlyphAdvance, kUnitsPerEm, kUnitsPerEm, kUnitsPerEm,
             static_cast<unsigned long>(first + 3));
  t2p_write_pdf_obj_end(out);

  const std::vector<uint8_t> font = glyphlessTrueType();
  t2p_start_object(ctx, out);
  out.printf("<< /Length %lu 0 R /Length1 %lu >>\r", static_cast<unsigned long>(first + 4),
             static_cast<unsigned long>(font.size()));
  t2p_write_pdf_stream_start(out);
  const std::size_t fontLength = out.write(font.data(), font.size());
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  t2p_write_pdf_stream_length(fontLength, out);
  t2p_write_pdf_obj_end(out);

  // Each code maps to the character of the same value, surrogates left out; at most 100 ranges
  // in one block.
  std::string cmap =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  std::vector<unsigned> rows;
  for (unsigned r = 0; r < 256; ++r)
    if (r < 0xD8 || r > 0xDF) rows.push_back(r);
  for (std::size_t i = 0; i < rows.size(); i += 100) {
    const std::size_t n = std::min<std::size_t>(100, rows.size() - i);
    cmap += std::to_string(n) + " beginbfrange\n";
    for (std::size_t k = 0; k < n; ++k) {
      char line[32];
      std::snprintf(line, sizeof line, "<%02X00> <%02XFF> <%02X00>\n", rows[i + k], rows[i + k],
                    rows[i + k]);
      cmap += line;
    }
    cmap += "endbfrange\n";
  }
  cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend";
  t2p_start_object(ctx, out);
  t2p_write_pdf_dict_start(out);
  t2p_write_pdf_stream_dict(0, ctx.doc.objectCount + 1, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  const std::size_t cmapLength = out.write(cmap);
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  t2p_write_pdf_stream_length(cmapLength, out);
  t2p_write_pdf_obj_end(out);
  if (ctx.options.pdfa) writeGlyphMap(ctx, out);
}

}  // namespace tarnwell
