#pragma once

// Running the built program on a source file and judging its PDF: qpdf for the structure and the
// page count, Ghostscript to render a page for a pixel comparison with the source bitmap.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "faxin/engine_test_util.h"

namespace tarnwell::testing {

inline std::string quote(const std::string& s) { return "'" + s + "'"; }

inline bool haveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its exit status, and standard output in `out`.
inline int run(const std::string& command, const ScratchDir& dir, std::string* out = nullptr) {
  const std::string capture = dir.file("command-output.txt");
  int status = std::system((command + " >" + quote(capture) + " 2>&1").c_str());
  if (out) {
    std::vector<uint8_t> bytes = readFile(capture);
    out->assign(bytes.begin(), bytes.end());
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Converts with the program, its working files in the scratch directory; returns its report.
inline std::string convert(const ScratchDir& dir, const std::string& source, const std::string& pdf,
                    const std::string& options = "") {
  std::string report;
  run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TMPDIR=" + quote(dir.path()) + " " +
          quote(TARNWELL_PROGRAM) + " /f " + options + " " + quote(source) + " " + quote(pdf),
      dir, &report);
  return report;
}

inline int pageCount(const ScratchDir& dir, const std::string& pdf) {
  std::string out;
  if (run("qpdf --show-npages " + quote(pdf), dir, &out) != 0) return -1;
  return std::atoi(out.c_str());
}

// Page `page` (from 1) rendered as a bilevel bitmap (1 = black) at the given resolution.
inline bool render(const ScratchDir& dir, const std::string& pdf, int page, double xres, double yres,
                   Bitmap& out) {
  const std::string pgm = dir.file("render.pgm");
  std::ostringstream cmd;
  cmd << "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r" << xres << "x" << yres
      << " -dFirstPage=" << page << " -dLastPage=" << page << " -sOutputFile=" << quote(pgm)
      << " " << quote(pdf);
  if (run(cmd.str(), dir) != 0) return false;
  std::vector<uint8_t> bytes = readFile(pgm);
  // "P5", width, height, maxval, one whitespace, then width * height gray bytes.
  size_t pos = 2;
  auto number = [&]() -> uint32_t {
    while (pos < bytes.size() && (isspace(bytes[pos]) || bytes[pos] == '#')) {
      if (bytes[pos] == '#') while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      else ++pos;
    }
    uint32_t v = 0;
    while (pos < bytes.size() && isdigit(bytes[pos])) v = v * 10 + (bytes[pos++] - '0');
    return v;
  };
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '5') return false;
  uint32_t w = number(), h = number();
  number();
  ++pos;
  if (pos > bytes.size() || bytes.size() - pos < size_t{w} * h) return false;
  out = Bitmap{w, h, std::vector<uint8_t>(size_t{(w + 7) / 8} * h)};
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      if (bytes[pos + size_t{y} * w + x] < 128) {
        out.bits[size_t{y} * out.bytesPerRow() + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  return true;
}

// Pixels that differ between the rendering and the source over the source's area; the rendering
// may be one pixel larger where the page size was rounded.
inline size_t differingPixels(const Bitmap& rendered, const Bitmap& source) {
  if (rendered.width + 1 < source.width || rendered.width > source.width + 1 ||
      rendered.rows + 1 < source.rows || rendered.rows > source.rows + 1) {
    return SIZE_MAX;
  }
  size_t differing = 0;
  for (uint32_t y = 0; y < std::min(rendered.rows, source.rows); ++y) {
    for (uint32_t x = 0; x < std::min(rendered.width, source.width); ++x) {
      bool a = rendered.bits[size_t{y} * rendered.bytesPerRow() + x / 8] & (0x80 >> (x % 8));
      bool b = source.bits[size_t{y} * source.bytesPerRow() + x / 8] & (0x80 >> (x % 8));
      if (a != b) ++differing;
    }
  }
  return differing;
}

// Converts files with the program and judges the PDF; skipped when qpdf or Ghostscript is missing
// or the PDF stages cannot yet convert a plain Group 4 TIFF.
class FaxEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("qpdf") || !haveTool("gs")) GTEST_SKIP() << "qpdf or Ghostscript missing";
    // The PDF stages must work for a plain Group 4 TIFF before fax files can be judged.
    const std::string probe = dir_.file("probe.tif");
    ASSERT_TRUE(writeFaxTiff(probe, {makeBitmap(1728, 20, 1)}, FaxTiffOptions{}));
    std::string report = convert(dir_, probe, dir_.file("probe.pdf"), "/q");
    if (pageCount(dir_, dir_.file("probe.pdf")) != 1) {
      GTEST_SKIP() << "the PDF stages do not convert a plain Group 4 TIFF yet";
    }
  }

  // Converts and checks report, qpdf, page count and every page's pixels.
  void expectPdf(const std::string& source, const std::vector<Bitmap>& pages, double xres, double yres,
                 const std::string& options = "") {
    const std::string pdf = dir_.file("out.pdf");
    std::filesystem::remove(pdf);
    std::string report = convert(dir_, source, pdf, options);
    EXPECT_NE(report.find("Success !"), std::string::npos) << report;
    ASSERT_EQ(run("qpdf --check " + quote(pdf), dir_), 0);
    ASSERT_EQ(pageCount(dir_, pdf), static_cast<int>(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      Bitmap rendered;
      ASSERT_TRUE(render(dir_, pdf, static_cast<int>(i + 1), xres, yres, rendered));
      EXPECT_EQ(differingPixels(rendered, pages[i]), 0u)
          << rendered.width << "x" << rendered.rows;
    }
  }

  // The first page's size in points, from pdfinfo; false when it cannot be read.
  bool pageSize(const std::string& pdf, double& width, double& height) {
    std::string out;
    if (run("pdfinfo " + quote(pdf), dir_, &out) != 0) return false;
    const std::size_t at = out.find("Page size:");
    if (at == std::string::npos) return false;
    return std::sscanf(out.c_str() + at, "Page size: %lf x %lf", &width, &height) == 2;
  }

  std::string reportFor(const std::string& source) {
    return convert(dir_, source, dir_.file("bad.pdf"));
  }

  ScratchDir dir_;
};

}  // namespace tarnwell::testing
