// End-to-end: fax files of several kinds converted by the built program ("tarnwell /f in out"),
// the PDF checked with qpdf, its page count, and its pages rendered by Ghostscript compared pixel
// for pixel with the bitmaps the fax files were made from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "faxin/engine_test_util.h"

namespace tarnwell {
namespace {

using namespace tarnwell::testing;

std::string quote(const std::string& s) { return "'" + s + "'"; }

bool haveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its exit status, and standard output in `out`.
int run(const std::string& command, const ScratchDir& dir, std::string* out = nullptr) {
  const std::string capture = dir.file("command-output.txt");
  int status = std::system((command + " >" + quote(capture) + " 2>&1").c_str());
  if (out) {
    std::vector<uint8_t> bytes = readFile(capture);
    out->assign(bytes.begin(), bytes.end());
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Converts with the program, its working files in the scratch directory; returns its report.
std::string convert(const ScratchDir& dir, const std::string& source, const std::string& pdf,
                    const std::string& options = "") {
  std::string report;
  run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TMPDIR=" + quote(dir.path()) +
          " XDG_STATE_HOME=" + quote(dir.file("state")) + " " +
          quote(TARNWELL_PROGRAM) + " /f " + options + " " + quote(source) + " " + quote(pdf),
      dir, &report);
  return report;
}

int pageCount(const ScratchDir& dir, const std::string& pdf) {
  std::string out;
  if (run("qpdf --show-npages " + quote(pdf), dir, &out) != 0) return -1;
  return std::atoi(out.c_str());
}

// Page `page` (from 1) rendered as a bilevel bitmap (1 = black) at the given resolution.
bool render(const ScratchDir& dir, const std::string& pdf, int page, int xres, int yres,
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
size_t differingPixels(const Bitmap& rendered, const Bitmap& source) {
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
  void expectPdf(const std::string& source, const std::vector<Bitmap>& pages, int xres, int yres,
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

  std::string reportFor(const std::string& source) {
    return convert(dir_, source, dir_.file("bad.pdf"));
  }

  ScratchDir dir_;
};

struct TiffFileCase {
  const char* name;
  const char* suffix;
  uint16_t compression;
  uint32_t t4Options;
  bool bigEndian;
  uint16_t fillOrder;
  uint32_t rowsPerStrip;
};

class FaxTiffEndToEndTest : public FaxEndToEndTest,
                            public ::testing::WithParamInterface<TiffFileCase> {};

TEST_P(FaxTiffEndToEndTest, EveryPageArrivesPixelForPixel) {
  const TiffFileCase& c = GetParam();
  std::vector<Bitmap> pages = {makeBitmap(1728, 120, 3), makeBitmap(1728, 90, 4)};
  FaxTiffOptions o;
  o.compression = c.compression;
  o.t4Options = c.t4Options;
  o.bigEndian = c.bigEndian;
  o.fillOrder = c.fillOrder;
  o.rowsPerStrip = c.rowsPerStrip;
  o.xResolution = 200;
  o.yResolution = 200;
  const std::string source = dir_.file(std::string("fax.") + c.suffix);
  ASSERT_TRUE(writeFaxTiff(source, pages, o));
  expectPdf(source, pages, 200, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FaxTiffEndToEndTest,
    ::testing::Values(TiffFileCase{"FmfG4", "FMF", COMPRESSION_CCITTFAX4, 0, false, 1, 0},
                      TiffFileCase{"FmfG4Strips", "FMF", COMPRESSION_CCITTFAX4, 0, true, 2, 25},
                      TiffFileCase{"G3nT4TwoD", "G3N", COMPRESSION_CCITTFAX3, 5, true, 1, 0},
                      TiffFileCase{"G3nT4OneD", "G3N", COMPRESSION_CCITTFAX3, 4, false, 2, 40},
                      TiffFileCase{"G3fT4OneD", "G3F", COMPRESSION_CCITTFAX3, 0, false, 1, 0},
                      TiffFileCase{"G3fMh", "G3F", COMPRESSION_CCITTRLE, 0, false, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaxEndToEndTest, RawGroup3StreamFromLibtiff) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 300, 7)};
  FaxTiffOptions o;
  o.compression = COMPRESSION_CCITTFAX3;
  o.t4Options = 0;
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, o));
  const std::string raw = dir_.file("fax.g3");
  writeFile(raw, rawStripBytes(tif));
  // A short stream: the vertical resolution is estimated as 100 lines per inch.
  expectPdf(raw, pages, 200, 100);
}

TEST_F(FaxEndToEndTest, RawGroup4StreamWithoutFlags) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 300, 8)};
  const std::string tif = dir_.file("src.tif");
  ASSERT_TRUE(writeFaxTiff(tif, pages, FaxTiffOptions{}));
  const std::string raw = dir_.file("fax.g4");
  writeFile(raw, rawStripBytes(tif));
  expectPdf(raw, pages, 200, 100, "/raw");
}

TEST_F(FaxEndToEndTest, RawGroup3StreamFromPbmtog3) {
  if (!haveTool("pbmtog3")) GTEST_SKIP() << "netpbm missing";
  Bitmap page = makeBitmap(1728, 250, 9);
  std::string pbm = "P4\n1728 250\n";
  pbm.append(page.bits.begin(), page.bits.end());
  writeFile(dir_.file("page.pbm"), std::vector<uint8_t>(pbm.begin(), pbm.end()));
  const std::string raw = dir_.file("pbm.g3");
  ASSERT_EQ(std::system(("pbmtog3 " + quote(dir_.file("page.pbm")) + " >" + quote(raw) +
                         " 2>/dev/null").c_str()), 0);
  expectPdf(raw, {page}, 200, 100);
}

TEST_F(FaxEndToEndTest, BadInputsEndAsNotFaxOrErrorFax) {
  std::vector<Bitmap> pages = {makeBitmap(1728, 120, 3), makeBitmap(1728, 90, 4)};
  const std::string good = dir_.file("good.tif");
  ASSERT_TRUE(writeFaxTiff(good, pages, FaxTiffOptions{}));
  std::vector<uint8_t> bytes = readFile(good);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
  std::vector<uint8_t> noise(4000);
  uint32_t state = 99;
  for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  inputs.push_back({"noise.FMF", noise});
  inputs.push_back({"noise.g3", noise});
  inputs.push_back({"empty.G3N", {}});
  inputs.push_back({"empty.fax", {}});
  inputs.push_back({"few.FMF", {'I', 'I', 42}});
  inputs.push_back({"cut.FMF", std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 3)});
  for (const auto& [name, content] : inputs) {
    SCOPED_TRACE(name);
    writeFile(dir_.file(name), content);
    std::string report = reportFor(dir_.file(name));
    if (name.starts_with("cut")) {
      // Cut inside page 1: either nothing decodes, or the rows that do arrive in the PDF.
      bool ended = report.find(" - Not Fax") != std::string::npos ||
                   report.find(" - Error Fax") != std::string::npos ||
                   report.find("Success !") != std::string::npos;
      EXPECT_TRUE(ended) << report;
    } else {
      EXPECT_NE(report.find(" - Not Fax"), std::string::npos) << report;
    }
  }
}

}  // namespace
}  // namespace tarnwell
