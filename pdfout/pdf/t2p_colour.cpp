#include "pdfout/pdf/t2p_colour.h"

#include <cmath>

#include "pdfout/pdf/t2p_objects.h"

namespace tarnwell {
namespace {

void writeWhitePoint(const t2p_context& ctx, PdfSink& out) {
  const float x = ctx.page.whitePoint[0], y = ctx.page.whitePoint[1];
  const float z = 1.0f - (x + y);
  out.write("/WhitePoint ");
  out.printf("[%.4f %.4f %.4f] \r", x / y, 1.0, z / y);
}

void writeCalGray(const t2p_context& ctx, PdfSink& out) {
  out.write("[/CalGray << \r");
  writeWhitePoint(ctx, out);
  out.write("/Gamma 2.2 \r>>] \r");
}

void writeCalRgb(const t2p_context& ctx, PdfSink& out) {
  const float xw = ctx.page.whitePoint[0], yw = ctx.page.whitePoint[1];
  const float xr = ctx.page.primaries[0], yr = ctx.page.primaries[1];
  const float xg = ctx.page.primaries[2], yg = ctx.page.primaries[3];
  const float xb = ctx.page.primaries[4], yb = ctx.page.primaries[5];
  const float e = ((xg - xb) * yr - (xr - xb) * yg + (xr - xg) * yb) * yw;
  const float ry = yr * ((xg - xb) * yw - (xw - xb) * yg + (xw - xg) * yb) / e;
  const float gy = -yg * ((xr - xb) * yw - (xw - xb) * yr + (xw - xr) * yb) / e;
  const float by = yb * ((xr - xg) * yw - (xw - xg) * yr + (xw - xr) * yg) / e;
  const float rx = xr * ry / yr, rz = ry * ((1.0f - xr) / yr - 1.0f);
  const float gx = xg * gy / yg, gz = gy * ((1.0f - xg) / yg - 1.0f);
  const float bx = xb * by / yb, bz = by * ((1.0f - xb) / yb - 1.0f);
  const float sumY = ry + gy + by;
  const float values[12] = {(rx + gx + bx) / sumY, 1.0f, (rz + gz + bz) / sumY,
                            rx, ry, rz, gx, gy, gz, bx, by, bz};
  for (float v : values) {
    // Degenerate primaries give no calibrated space: the device space stands in.
    if (!std::isfinite(v)) {
      out.write("/DeviceRGB \r");
      return;
    }
  }
  out.write("[/CalRGB << \r/WhitePoint ");
  out.printf("[%.4f %.4f %.4f] \r", values[0], values[1], values[2]);
  out.write("/Matrix ");
  out.printf("[%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f] \r", values[3], values[4], values[5],
             values[6], values[7], values[8], values[9], values[10], values[11]);
  out.write("/Gamma [2.2 2.2 2.2] \r>>] \r");
}

void writeLab(const t2p_context& ctx, PdfSink& out) {
  // The dictionary holds only the keyed white point and range.
  out.write("[/Lab << \r");
  writeWhitePoint(ctx, out);
  out.write("/Range ");
  out.printf("[%d %d %d %d] \r", ctx.page.labRange[0], ctx.page.labRange[1], ctx.page.labRange[2],
             ctx.page.labRange[3]);
  out.write(">>] \r");
}

}  // namespace

void t2p_write_pdf_xobject_cs(t2p_context& ctx, PdfSink& out) {
  const uint32_t flags = ctx.page.colorspaceFlags;
  if (flags & kCsIcc) {
    out.printf("[/ICCBased %lu 0 R] \r", static_cast<unsigned long>(ctx.doc.iccObject));
    return;
  }
  if (flags & kCsPalette) {
    out.write("[ /Indexed ");
    ctx.page.colorspaceFlags = flags & ~kCsPalette;
    t2p_write_pdf_xobject_cs(ctx, out);
    ctx.page.colorspaceFlags = flags;
    out.printf("%u %lu 0 R ]\r", (1u << ctx.page.bitsPerSample) - 1,
               static_cast<unsigned long>(ctx.doc.paletteObject));
    return;
  }
  if (flags & kCsBilevel) out.write("/DeviceGray \r");
  if (flags & kCsGray) {
    if (flags & kCsCalGray) writeCalGray(ctx, out);
    else out.write("/DeviceGray \r");
  }
  if (flags & kCsRgb) {
    if (flags & kCsCalRgb) writeCalRgb(ctx, out);
    else out.write("/DeviceRGB \r");
  }
  if (flags & kCsCmyk) out.write("/DeviceCMYK \r");
  if (flags & kCsLab) writeLab(ctx, out);
}

void t2p_write_pdf_xobject_palettecs_stream(t2p_context& ctx, PdfSink& out) {
  t2p_write_pdf_dict_start(out);
  t2p_write_pdf_stream_dict(ctx.page.paletteSize, 0, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  out.write(ctx.page.palette.data(),
            std::min<size_t>(ctx.page.paletteSize, ctx.page.palette.size()));
  t2p_write_pdf_stream_end(ctx, out);
}

void t2p_write_pdf_xobject_icccs(t2p_context& ctx, PdfSink& out) {
  t2p_write_pdf_dict_start(out);
  out.printf("/N %u \r", ctx.page.samplesPerPixel);
  out.write("/Alternate ");
  ctx.page.colorspaceFlags &= ~kCsIcc;
  t2p_write_pdf_xobject_cs(ctx, out);
  ctx.page.colorspaceFlags |= kCsIcc;
  t2p_write_pdf_stream_dict(ctx.page.iccLength, 0, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  out.write(ctx.page.iccProfile, ctx.page.iccLength);
  t2p_write_pdf_stream_end(ctx, out);
}

void t2p_write_pdf_transfer(t2p_context& ctx, PdfSink& out) {
  out.write("<< /Type /ExtGState \r/TR ");
  const unsigned long next = ctx.doc.objectCount + 1ul;
  if (ctx.page.transferCount == 1) {
    out.printf("%lu 0 R ", next);
  } else {
    out.printf("[ %lu 0 R %lu 0 R %lu 0 R /Identity ] ", next, next + 1, next + 2);
  }
  out.write(" >> \r");
}

void t2p_write_pdf_transfer_stream(t2p_context& ctx, PdfSink& out, int index) {
  const uint32_t entries = 1u << ctx.page.bitsPerSample;
  out.write("<< \r/FunctionType 0 \r/Domain [0.0 1.0] \r/Range [0.0 1.0] \r");
  out.printf("/Size [%u] \r/BitsPerSample 16 \r", entries);
  t2p_write_pdf_stream_dict(uint64_t{entries} * 2, 0, out);
  t2p_write_pdf_dict_end(out);
  t2p_write_pdf_stream_start(out);
  const uint16_t* table = ctx.page.transfer[index];
  uint8_t bytes[512];
  for (uint32_t i = 0; i < entries; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(table[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(table[i]);
  }
  out.write(bytes, size_t{entries} * 2);
  t2p_write_pdf_stream_end(ctx, out);
}

}  // namespace tarnwell
