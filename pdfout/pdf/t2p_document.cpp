#include "pdfout/pdf/t2p_document.h"

#include <cstdio>
#include <string>

#include "pdfout/pdf/pdf_digest.h"
#include "pdfout/pdf/pdf_file_id.h"
#include "pdfout/pdf/pdfa_document.h"
#include "pdfout/pdf/pdfa_page.h"
#include "pdfout/pdf/t2p_analysis.h"
#include "pdfout/pdf/t2p_messages.h"
#include "pdfout/pdf/t2p_objects.h"
#include "pdfout/pdf/t2p_page.h"
#include "pdfout/pdf/t2p_text.h"
#include "ocr/PageText.h"
#include "platform/Platform.h"

namespace tarnwell {
namespace {

constexpr size_t kMaxInfoText = 512;

// Stops the sink feeding a digest that is about to go away.
struct DigestFeed {
  PdfSink& out;
  ~DigestFeed() { out.digestInto(nullptr); }
};

const char* fileName(TIFF* input) {
  const char* name = TIFFFileName(input);
  return name != nullptr ? name : "";
}

// One information entry: the first of the TIFF tags that is present; none when none is.
void writeInfoEntry(PdfSink& out, TIFF* input, const char* key, const uint32_t* tags,
                    int tagCount) {
  const char* value = nullptr;
  for (int i = 0; i < tagCount && value == nullptr; ++i) {
    if (TIFFGetField(input, tags[i], &value) == 0) value = nullptr;
  }
  if (value == nullptr) return;
  std::string_view text = value;
  if (text.size() > kMaxInfoText) text = text.substr(0, kMaxInfoText);
  out.write(key);
  t2p_write_pdf_string(text, out);
  out.write("\r");
}

void writeHeader(const t2p_context& ctx, PdfSink& out) {
  if (ctx.options.pdfa) return t2p_write_archival_header(ctx, out);
  static constexpr unsigned char kBinaryMarker[8] = {0x0D, 0x25, 0xE2, 0xE3,
                                                      0xCF, 0xD3, 0x0D, 0x0A};
  out.printf("%%PDF-%u.%u ", ctx.doc.pdfMajor, ctx.doc.pdfMinor);
  out.write(kBinaryMarker, sizeof kBinaryMarker);
}

void writeCatalog(const t2p_context& ctx, PdfSink& out) {
  out.printf("<< \r/Type /Catalog \r/Pages %lu 0 R \r",
             static_cast<unsigned long>(ctx.doc.pagesObject));
  if (ctx.options.pdfa) t2p_write_archival_catalog_entries(ctx, out);
  out.write(">>\r");
}

void writePageTree(const t2p_context& ctx, PdfSink& out) {
  out.write("<< \r/Type /Pages \r/Kids [ ");
  uint64_t number = 4;
  for (uint16_t i = 0; i < ctx.doc.pageCount; ++i) {
    out.printf("%llu 0 R ", static_cast<unsigned long long>(number));
    if ((i + 1) % 8 == 0) out.write("\r");
    const PageEntry& page = ctx.doc.tiff_pages[i];
    number +=
        3 + uint64_t{page.extraObjects} + 2 * uint64_t{page.tileCount != 0 ? page.tileCount : 1};
  }
  out.printf("] \r/Count %d \r>> \r", ctx.doc.pageCount);
}

// Gives the text font its object numbers behind every page's objects when any page has text to
// show; the pages name it in their resources. Type 0 fonts need PDF 1.2.
void planTextFont(t2p_context& ctx) {
  if (ctx.options.pageText == nullptr) return;
  for (const PageEntry& page : ctx.doc.tiff_pages) {
    if (page.directory < ctx.options.pageText->size() &&
        (*ctx.options.pageText)[page.directory].recognised &&
        !(*ctx.options.pageText)[page.directory].words.empty()) {
      ctx.doc.textFontObject = ctx.doc.objectCount + 1;
      ctx.doc.objectCount += t2p_text_font_objects(ctx);
      if (ctx.doc.pdfMinor < 2) ctx.doc.pdfMinor = 2;
      return;
    }
  }
}

}  // namespace

void t2p_pdf_tiff_time(t2p_context& ctx, TIFF* input) {
  const char* dateTime = nullptr;
  if (TIFFGetField(input, TIFFTAG_DATETIME, &dateTime) != 0 && dateTime != nullptr &&
      std::string_view(dateTime).size() >= 19) {
    const std::string_view d(dateTime);
    ctx.doc.creationDate = "D:";
    ctx.doc.creationDate.append(d.substr(0, 4)).append(d.substr(5, 2)).append(d.substr(8, 2));
    ctx.doc.creationDate.append(d.substr(11, 2)).append(d.substr(14, 2)).append(d.substr(17, 2));
    return;
  }
  const std::tm now = platform::localTimeNow();
  char text[64];
  std::snprintf(text, sizeof text, "D:%.4d%.2d%.2d%.2d%.2d%.2d", now.tm_year + 1900,
                now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
  ctx.doc.creationDate = text;
}

void t2p_write_pdf_info(t2p_context& ctx, TIFF* input, PdfSink& out) {
  if (ctx.options.pdfa) return t2p_write_archival_info(ctx, out);
  if (ctx.doc.creationDate.empty()) t2p_pdf_tiff_time(ctx, input);
  out.write("<< \r/CreationDate ");
  t2p_write_pdf_string(ctx.doc.creationDate, out);
  out.write("\r/ModDate ");
  t2p_write_pdf_string(ctx.doc.creationDate, out);
  char producer[64];
  std::snprintf(producer, sizeof producer, "Morvane Studio - %d / %s", 20050315, "d");
  out.write("\r/Producer ");
  t2p_write_pdf_string(producer, out);
  out.write("\r");
  static constexpr uint32_t kCreatorTags[] = {TIFFTAG_SOFTWARE};
  static constexpr uint32_t kAuthorTags[] = {TIFFTAG_ARTIST, TIFFTAG_COPYRIGHT};
  static constexpr uint32_t kTitleTags[] = {TIFFTAG_DOCUMENTNAME};
  static constexpr uint32_t kSubjectTags[] = {TIFFTAG_IMAGEDESCRIPTION};
  writeInfoEntry(out, input, "/Creator ", kCreatorTags, 1);
  writeInfoEntry(out, input, "/Author ", kAuthorTags, 2);
  writeInfoEntry(out, input, "/Title ", kTitleTags, 1);
  writeInfoEntry(out, input, "/Subject ", kSubjectTags, 1);
  out.write(">> \r");
}

void t2p_write_pdf_xref(t2p_context& ctx, PdfSink& out) {
  out.printf("xref\r0 %lu \r0000000000 65535 f\r\n",
             static_cast<unsigned long>(ctx.doc.objectCount) + 1);
  for (uint32_t i = 0; i < ctx.doc.objectCount && i < ctx.doc.xrefOffsets.size(); ++i) {
    out.printf("%.10llu 00000 n\r\n",
               static_cast<unsigned long long>(ctx.doc.xrefOffsets[i]));
  }
}

void t2p_write_pdf_trailer(t2p_context& ctx, PdfSink& out) {
  ctx.doc.fileId = pdfFileIdentifier(ctx.options.identifierPosition);
  out.printf(
      "trailer\r<<\r/Size %lu\r/Root %lu 0 R \r/Info %lu 0 R \r/ID[<%s><%s>]\r>>\rstartxref\r%llu",
      static_cast<unsigned long>(ctx.doc.objectCount) + 1,
      static_cast<unsigned long>(ctx.doc.catalogObject),
      static_cast<unsigned long>(ctx.doc.infoObject), ctx.doc.fileId.c_str(),
      ctx.doc.fileId.c_str(), static_cast<unsigned long long>(ctx.doc.xrefStart));
  out.write("\r%%EOF\r");
}

uint64_t t2p_write_pdf(t2p_context& ctx, TIFF* input, PdfSink& out) {
  t2p_read_tiff_init(ctx, input);
  if (ctx.doc.error != 0) return 0;
  if (ctx.doc.pageCount == 0) {
    // A document without pages would report success for an empty conversion.
    t2pError("No support for %s with no pages", fileName(input));
    ctx.doc.error = 1;
    return 0;
  }
  planTextFont(ctx);
  if (ctx.options.pdfa) {
    t2p_plan_archival(ctx);
    t2p_read_archival_info(ctx, input);
  }
  if (!t2p_allocate(ctx, ctx.doc.xrefOffsets, ctx.doc.objectCount)) {
    t2pError("Can't allocate %llu bytes of memory for t2p_write_pdf",
             static_cast<unsigned long long>(ctx.doc.objectCount) * 4);
    ctx.doc.error = 1;
    return 0;
  }
  ctx.doc.objectCount = 0;
  // The archival identifier is the digest of every byte before the trailer.
  Md5 digest;
  const DigestFeed feed{out};
  if (ctx.options.pdfa) out.digestInto(&digest);
  writeHeader(ctx, out);
  t2p_start_object(ctx, out);
  writeCatalog(ctx, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  t2p_write_pdf_info(ctx, input, out);
  t2p_write_pdf_obj_end(out);
  t2p_start_object(ctx, out);
  writePageTree(ctx, out);
  t2p_write_pdf_obj_end(out);
  for (ctx.doc.currentPage = 0; ctx.doc.currentPage < ctx.doc.pageCount; ++ctx.doc.currentPage) {
    t2p_read_tiff_image(ctx, input);
    if (ctx.doc.error != 0) return 0;
    if (ctx.options.pdfa) t2p_archival_page(ctx, input);
    t2p_write_page(ctx, input, out);
    if (ctx.doc.error != 0) return 0;
    if (out.failed()) break;
  }
  if (ctx.doc.textFontObject != 0 && !out.failed()) {
    if (ctx.doc.objectCount + 1 != ctx.doc.textFontObject) {
      t2pError("Object count before the text font of %s does not match its plan", fileName(input));
      ctx.doc.error = 1;
      return 0;
    }
    t2p_write_text_font(ctx, out);
    if (ctx.doc.error != 0) return 0;
  }
  if (ctx.options.pdfa) t2p_write_archival_objects(ctx, out);
  ctx.doc.xrefStart = out.count();
  if (ctx.options.pdfa) {
    t2p_write_archival_xref(ctx, out);
    out.digestInto(nullptr);
    t2p_write_archival_trailer(ctx, digest.finish(), out);
  } else {
    t2p_write_pdf_xref(ctx, out);
    t2p_write_pdf_trailer(ctx, out);
  }
  out.seal();
  if (out.failed()) {
    t2pError("Can't write to output PDF file");
    ctx.doc.error = 1;
    return 0;
  }
  return out.count();
}

}  // namespace tarnwell
