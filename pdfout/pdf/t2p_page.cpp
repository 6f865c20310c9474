#include "pdfout/pdf/t2p_page.h"

#include <cstdio>

#include "pdfout/pdf/t2p_analysis.h"
#include "pdfout/pdf/t2p_colour.h"
#include "pdfout/pdf/t2p_objects.h"
#include "pdfout/pdf/t2p_image.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/pdf/t2p_text.h"

namespace tarnwell {
namespace {

const TileGrid& gridOf(const t2p_context& ctx) { return ctx.doc.tiff_tiles[ctx.doc.currentPage]; }

std::string contentLine(const t2p_context& ctx, const TileBox& box, uint32_t tile) {
  const char* gs = ctx.page.transferCount != 0 ? "/GS1 gs " : "";
  const float* m = box.mat;
  char line[512];
  if (tile == 0) {
    std::snprintf(line, sizeof line, "q %s %.4f %.4f %.4f %.4f %.4f %.4f cm /Im%d Do Q\r", gs,
                  m[0], m[1], m[3], m[4], m[6], m[7], ctx.doc.currentPage + 1);
  } else {
    std::snprintf(line, sizeof line, "q %s %.4f %.4f %.4f %.4f %.4f %.4f cm /Im%d_%ld Do Q\r", gs,
                  m[0], m[1], m[3], m[4], m[6], m[7], ctx.doc.currentPage + 1,
                  static_cast<long>(tile));
  }
  return line;
}

// The image XObject and its length object for the whole page (tile 0) or tile `tile` (1-based).
void writeImageObjects(t2p_context& ctx, TIFF* input, PdfSink& out, uint32_t tile) {
  t2p_start_object(ctx, out);
  t2p_write_pdf_dict_start(out);
  t2p_write_pdf_xobject_stream_dict(tile, ctx, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  uint64_t length = 0;
  if (tile == 0) {
    t2p_read_tiff_size(ctx, input);
    if (ctx.doc.error != 0) return;
    length = t2p_readwrite_pdf_image(ctx, input, out);
  } else {
    t2p_read_tiff_size_tile(ctx, input, tile - 1);
    if (ctx.doc.error != 0) return;
    length = t2p_readwrite_pdf_image_tile(ctx, input, out, tile - 1);
  }
  if (ctx.doc.error != 0) return;
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  t2p_write_pdf_stream_length(length, out);
  t2p_write_pdf_obj_end(out);
}

}  // namespace

void t2p_write_pdf_page(uint32_t pageObject, t2p_context& ctx, PdfSink& out) {
  const PageEntry& page = ctx.doc.tiff_pages[ctx.doc.currentPage];
  const TileGrid& grid = gridOf(ctx);
  const unsigned long image = pageObject + 3ul + page.extraObjects;
  out.printf("<<\r/Type /Page \r/Parent %lu 0 R \r",
             static_cast<unsigned long>(ctx.doc.pagesObject));
  out.printf("/MediaBox [%.4f %.4f %.4f %.4f] \r", ctx.page.mediaBox[0], ctx.page.mediaBox[1],
             ctx.page.mediaBox[2], ctx.page.mediaBox[3]);
  out.printf("/Contents %lu 0 R \r/Resources << \r/XObject <<\r",
             static_cast<unsigned long>(pageObject) + 1);
  if (grid.tileCount == 0) {
    out.printf("/Im%u %lu 0 R >>\r", ctx.doc.currentPage + 1u, image);
  } else {
    for (uint32_t i = 0; i < grid.tileCount; ++i) {
      out.printf("/Im%u_%u %lu 0 R ", ctx.doc.currentPage + 1u, i + 1, image + 2ul * i);
      if ((i + 1) % 4 == 0) out.write("\r");
    }
    out.write(">>\r");
  }
  if (const ocr::PageText* text = t2p_page_text(ctx);
      text != nullptr && !text->words.empty() && ctx.doc.textFontObject != 0) {
    out.printf("/Font << %s %lu 0 R >>\r", kTextFontName,
               static_cast<unsigned long>(ctx.doc.textFontObject));
  }
  if (ctx.page.transferCount != 0) {
    out.printf("/ExtGState <</GS1 %lu 0 R >> \r",
               static_cast<unsigned long>(pageObject) + 3);
  }
  out.write("/ProcSet [ ");
  if (ctx.page.colorspaceFlags == kCsBilevel || ctx.page.colorspaceFlags == kCsGray) {
    out.write("/ImageB ");
  } else {
    out.write("/ImageC ");
    if (ctx.page.colorspaceFlags & kCsPalette) out.write("/ImageI ");
  }
  out.write("]\r>>\r>>\r");
}

std::string t2p_page_content(const t2p_context& ctx) {
  const TileGrid& grid = gridOf(ctx);
  if (grid.tileCount == 0) {
    std::string content = contentLine(ctx, ctx.page.imageBox, 0);
    if (const ocr::PageText* text = t2p_page_text(ctx);
        text != nullptr && ctx.doc.textFontObject != 0)
      content += t2p_text_content(*text, ctx.page.imageBox, ctx.page.width, ctx.page.length);
    return content;
  }
  std::string content;
  for (uint32_t i = 0; i < grid.tileCount && i < grid.boxes.size(); ++i) {
    content += contentLine(ctx, grid.boxes[i], i + 1);
  }
  return content;
}

void t2p_write_pdf_xobject_stream_dict(uint32_t tile, t2p_context& ctx, PdfSink& out) {
  const TileGrid& grid = gridOf(ctx);
  t2p_write_pdf_stream_dict(0, ctx.doc.objectCount + 1, out);
  out.printf("/Type /XObject \r/Subtype /Image \r/Name /Im%u", ctx.doc.currentPage + 1u);
  uint32_t width = ctx.page.width, length = ctx.page.length;
  if (tile != 0) {
    out.printf("_%lu", static_cast<unsigned long>(tile));
    width = t2p_tile_is_right_edge(grid, tile - 1) ? grid.edgeWidth : grid.tileWidth;
    length = t2p_tile_is_bottom_edge(grid, tile - 1) ? grid.edgeLength : grid.tileLength;
  }
  out.printf("\r/Width %lu\r/Height %lu\r/BitsPerComponent %u\r/ColorSpace ",
             static_cast<unsigned long>(width), static_cast<unsigned long>(length),
             t2p_output_bits(ctx));
  t2p_write_pdf_xobject_cs(ctx, out);
  // A Group 4 bilevel image is inverted by its decode parameters alone; an ICC profile on it
  // must not add a second inversion through a Decode array.
  const bool bilevelG4 = (ctx.page.colorspaceFlags & ~kCsIcc) == kCsBilevel &&
                         ctx.page.pdfCompression == kPdfCompressionG4;
  if (ctx.page.switchDecode != 0 && !bilevelG4) {
    out.write("/Decode [ ");
    for (uint16_t i = 0; i < ctx.page.samplesPerPixel; ++i) out.write("1 0 ");
    out.write("]\r");
  }
  if (ctx.page.pdfCompression == kPdfCompressionFlate) {
    out.write("/Filter /FlateDecode\r");
  } else if (ctx.page.pdfCompression != kPdfCompressionNone) {
    out.printf("/Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns %lu /Rows %lu",
               static_cast<unsigned long>(width), static_cast<unsigned long>(length));
    if (ctx.page.switchDecode == 0) out.write(" /BlackIs1 true ");
    out.write(">>\r");
  }
}

void t2p_write_page(t2p_context& ctx, TIFF* input, PdfSink& out) {
  const PageEntry& page = ctx.doc.tiff_pages[ctx.doc.currentPage];
  const TileGrid& grid = gridOf(ctx);
  const uint32_t pageObject = ctx.doc.objectCount + 1;
  t2p_start_object(ctx, out);
  t2p_write_pdf_page(pageObject, ctx, out);
  t2p_write_pdf_obj_end(out);

  t2p_start_object(ctx, out);
  t2p_write_pdf_dict_start(out);
  t2p_write_pdf_stream_dict(0, ctx.doc.objectCount + 1, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  const std::string content = t2p_page_content(ctx);
  const size_t contentLength = out.write(content);
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  t2p_write_pdf_stream_length(contentLength, out);
  t2p_write_pdf_obj_end(out);

  if (ctx.page.transferCount != 0) {
    t2p_start_object(ctx, out);
    t2p_write_pdf_transfer(ctx, out);
    t2p_write_pdf_obj_end(out);
    for (int i = 0; i < (ctx.page.transferCount == 1 ? 1 : 3); ++i) {
      t2p_start_object(ctx, out);
      t2p_write_pdf_transfer_stream(ctx, out, i);
      t2p_write_pdf_obj_end(out);
    }
  }
  if (ctx.page.colorspaceFlags & kCsPalette) {
    t2p_start_object(ctx, out);
    ctx.doc.paletteObject = ctx.doc.objectCount;
    t2p_write_pdf_xobject_palettecs_stream(ctx, out);
    t2p_write_pdf_obj_end(out);
  }
  if (ctx.page.colorspaceFlags & kCsIcc) {
    t2p_start_object(ctx, out);
    ctx.doc.iccObject = ctx.doc.objectCount;
    t2p_write_pdf_xobject_icccs(ctx, out);
    t2p_write_pdf_obj_end(out);
  }
  // The page tree already named this page's objects; any difference would break every
  // reference that follows.
  if (ctx.doc.objectCount != pageObject + 2 + page.extraObjects) {
    t2pError("Object count of page %u of %s does not match its plan", ctx.doc.currentPage + 1u,
             TIFFFileName(input));
    ctx.doc.error = 1;
    return;
  }
  if (grid.tileCount == 0) {
    writeImageObjects(ctx, input, out, 0);
  } else {
    for (uint32_t i = 0; i < grid.tileCount && ctx.doc.error == 0 && !out.failed(); ++i) {
      writeImageObjects(ctx, input, out, i + 1);
    }
  }
}

}  // namespace tarnwell
