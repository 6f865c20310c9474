#include "pdfout/pdf/pdfa_document.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "pdfout/pdf/pdfa_icc.h"
#include "pdfout/pdf/pdfa_metadata.h"
#include "pdfout/pdf/t2p_objects.h"

namespace tarnwell {
namespace {

// The output condition the sRGB profile stands for, in the registry's words.
constexpr const char* kOutputCondition = "sRGB IEC61966-2.1";
// The producer the plain PDF names as well.
constexpr const char* kProducer = "Morvane Studio - 20050315 / d";

std::string tagText(TIFF* input, uint32_t tag) {
  const char* value = nullptr;
  if (TIFFGetField(input, tag, &value) == 0 || value == nullptr) return {};
  // The tag's own bytes are cut long before the text is cleaned, so a huge tag costs nothing.
  return archivalText(std::string_view(value).substr(0, 4 * kMaxMetadataCharacters));
}

std::string fileNameOf(TIFF* input) {
  const char* path = TIFFFileName(input);
  if (path == nullptr) return {};
  const std::string_view whole(path);
  const size_t slash = whole.find_last_of('/');
  return archivalText(slash == std::string_view::npos ? whole : whole.substr(slash + 1));
}

// Writes "/Key value\r" when the text is not empty.
void infoEntry(PdfSink& out, const char* key, const std::string& text) {
  if (text.empty()) return;
  out.write(key);
  out.write(pdfTextString(text));
  out.write("\r");
}

}  // namespace

void t2p_plan_archival(t2p_context& ctx) {
  ctx.doc.metadataObject = ctx.doc.objectCount + 1;
  ctx.doc.outputProfileObject = ctx.doc.objectCount + 2;
  ctx.doc.objectCount += kArchivalObjects;
  ctx.doc.pdfMajor = 1;
  ctx.doc.pdfMinor = 4;
}

void t2p_read_archival_info(t2p_context& ctx, TIFF* input) {
  ArchivalInfo& info = ctx.doc.archival;
  const PdfMetadata& given = ctx.options.metadata;
  if (!ctx.doc.tiff_pages.empty()) TIFFSetDirectory(input, ctx.doc.tiff_pages[0].directory);
  info.title = archivalText(given.title);
  if (info.title.empty()) info.title = tagText(input, TIFFTAG_DOCUMENTNAME);
  if (info.title.empty()) info.title = fileNameOf(input);
  info.subject = archivalText(given.description);
  if (info.subject.empty()) info.subject = tagText(input, TIFFTAG_IMAGEDESCRIPTION);
  info.author = tagText(input, TIFFTAG_ARTIST);
  if (info.author.empty()) info.author = tagText(input, TIFFTAG_COPYRIGHT);
  info.creator = tagText(input, TIFFTAG_SOFTWARE);
  info.producer = kProducer;
  info.pages = ctx.doc.pageCount;
  info.created = given.createDate;
  if (!validPdfDate(info.created)) {
    const char* dateTime = nullptr;
    info.created = TIFFGetField(input, TIFFTAG_DATETIME, &dateTime) != 0 && dateTime != nullptr
                       ? tiffDateTime(dateTime)
                       : PdfDate{};
  }
  if (!validPdfDate(info.created)) info.created = given.fileDate;
  if (!validPdfDate(info.created)) info.created = pdfDateAt(std::time(nullptr));
}

void t2p_write_archival_header(const t2p_context& ctx, PdfSink& out) {
  // The header line, then a comment of four bytes above 127 that marks the file as binary.
  out.printf("%%PDF-%u.%u\n", ctx.doc.pdfMajor, ctx.doc.pdfMinor);
  static constexpr unsigned char kBinaryComment[6] = {0x25, 0xE2, 0xE3, 0xCF, 0xD3, 0x0A};
  out.write(kBinaryComment, sizeof kBinaryComment);
}

void t2p_write_archival_catalog_entries(const t2p_context& ctx, PdfSink& out) {
  out.printf("/Metadata %lu 0 R \r", static_cast<unsigned long>(ctx.doc.metadataObject));
  out.printf("/OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier "
             "(%s) /Info (%s) /DestOutputProfile %lu 0 R >>] \r",
             kOutputCondition, kOutputCondition,
             static_cast<unsigned long>(ctx.doc.outputProfileObject));
}

void t2p_write_archival_info(const t2p_context& ctx, PdfSink& out) {
  const ArchivalInfo& info = ctx.doc.archival;
  out.write("<< \r");
  infoEntry(out, "/Title ", info.title);
  infoEntry(out, "/Subject ", info.subject);
  infoEntry(out, "/Author ", info.author);
  infoEntry(out, "/Creator ", info.creator);
  infoEntry(out, "/Producer ", info.producer);
  const std::string date = pdfDateText(info.created);
  infoEntry(out, "/CreationDate ", date);
  infoEntry(out, "/ModDate ", date);
  out.write(">> \r");
}

void t2p_write_archival_objects(t2p_context& ctx, PdfSink& out) {
  const std::string xmp = xmpPacket(ctx.doc.archival);
  t2p_start_object(ctx, out);
  out.printf("<< /Type /Metadata /Subtype /XML /Length %llu >>\r",
             static_cast<unsigned long long>(xmp.size()));
  t2p_write_pdf_stream_start(out);
  out.write(xmp);
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);

  const std::vector<uint8_t> profile = srgbIccProfile();
  t2p_start_object(ctx, out);
  out.printf("<< /N 3 /Length %llu >>\r", static_cast<unsigned long long>(profile.size()));
  t2p_write_pdf_stream_start(out);
  out.write(profile.data(), profile.size());
  t2p_write_pdf_stream_end(ctx, out);
  t2p_write_pdf_obj_end(out);
}

void t2p_write_archival_xref(const t2p_context& ctx, PdfSink& out) {
  out.printf("xref\n0 %lu\n0000000000 65535 f\r\n",
             static_cast<unsigned long>(ctx.doc.objectCount) + 1);
  for (uint32_t i = 0; i < ctx.doc.objectCount && i < ctx.doc.xrefOffsets.size(); ++i) {
    out.printf("%.10llu 00000 n\r\n", static_cast<unsigned long long>(ctx.doc.xrefOffsets[i]));
  }
}

void t2p_write_archival_trailer(const t2p_context& ctx, const std::array<uint8_t, 16>& digest,
                                PdfSink& out) {
  std::string id;
  for (const uint8_t byte : digest) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%.2X", byte);
    id += hex;
  }
  out.printf("trailer\n<< /Size %lu /Root %lu 0 R /Info %lu 0 R /ID [<%s> <%s>] >>\n"
             "startxref\n%llu\n%%%%EOF\n",
             static_cast<unsigned long>(ctx.doc.objectCount) + 1,
             static_cast<unsigned long>(ctx.doc.catalogObject),
             static_cast<unsigned long>(ctx.doc.infoObject), id.c_str(), id.c_str(),
             static_cast<unsigned long long>(ctx.doc.xrefStart));
}

}  // namespace tarnwell
