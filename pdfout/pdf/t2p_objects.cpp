#include "pdfout/pdf/t2p_objects.h"

#include <cstdio>
#include <string>

namespace tarnwell {
namespace {

// Offsets in the cross-reference table have ten digits.
constexpr uint64_t kMaxOffset = 9999999999ull;

}  // namespace

void t2p_write_pdf_obj_start(uint32_t number, PdfSink& out) {
  out.printf("%lu 0 obj\r", static_cast<unsigned long>(number));
}
void t2p_write_pdf_obj_end(PdfSink& out) { out.write("endobj\r"); }
void t2p_write_pdf_dict_start(PdfSink& out) { out.write("<< \r"); }
void t2p_write_pdf_dict_end(PdfSink& out) { out.write(" >>\r"); }
void t2p_write_pdf_stream_start(PdfSink& out) { out.write("stream\r\n"); }
void t2p_write_pdf_stream_end(const t2p_context& ctx, PdfSink& out) {
  out.write(ctx.options.pdfa ? "\r\nendstream\r" : "\rendstream\r");
}

void t2p_write_pdf_stream_dict(uint64_t length, uint32_t number, PdfSink& out) {
  out.write("/Length ");
  if (length != 0) {
    t2p_write_pdf_stream_length(length, out);
  } else {
    out.printf("%lu 0 R \r", static_cast<unsigned long>(number));
  }
}

void t2p_write_pdf_stream_length(uint64_t length, PdfSink& out) {
  out.printf("%llu\r", static_cast<unsigned long long>(length));
}

void t2p_write_pdf_string(std::string_view text, PdfSink& out) {
  std::string escaped = "(";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte == 0x7F || byte < 0x20) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%.3o", byte);
      escaped += octal;
    } else if (c == '(' || c == ')' || c == '\\') {
      escaped += '\\';
      escaped += c;
    } else {
      escaped += c;
    }
  }
  escaped += ')';
  out.write(escaped);
}

void t2p_start_object(t2p_context& ctx, PdfSink& out) {
  if (ctx.doc.objectCount >= ctx.doc.xrefOffsets.size() || out.count() > kMaxOffset) {
    ctx.doc.error = 1;
    return;
  }
  ctx.doc.xrefOffsets[ctx.doc.objectCount] = out.count();
  ++ctx.doc.objectCount;
  t2p_write_pdf_obj_start(ctx.doc.objectCount, out);
}

}  // namespace tarnwell
