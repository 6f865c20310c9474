// Writes the bundled sample faxes of the project: a two-page Group 4 TIFF fax and a raw
// Group 3 (T.4 one-dimensional) bit stream without any header. Both show large block letters
// and lines of "text" so a converted PDF is easy to recognise. The output is byte-for-byte
// reproducible.
//
// Usage: tarnwell_make_samples OUTPUT-DIRECTORY
#include <tiffio.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kWidth = 1728;  // standard fax width at 204 dpi
constexpr int kRowBytes = kWidth / 8;

// A 5x7 block font with the characters the samples use; '#' is a black cell.
struct Glyph {
  char c;
  std::array<std::string_view, 7> rows;
};
constexpr Glyph kFont[] = {
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ### "}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#### ", "    #", "    #", " ### ", "    #", "    #", "#### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {' ', {"     ", "     ", "     ", "     ", "     ", "     ", "     "}},
};

// One bilevel page, 1 bits black, rows of kRowBytes bytes, highest bit first.
class Page {
 public:
  explicit Page(int rows) : rows_(rows), bits_(static_cast<size_t>(rows) * kRowBytes, 0) {}
  int rows() const { return rows_; }
  uint8_t* row(int y) { return bits_.data() + static_cast<size_t>(y) * kRowBytes; }

  void fill(int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        if (x >= 0 && x < kWidth && y >= 0 && y < rows_)
          row(y)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  void text(int x, int y, std::string_view s, int scale) {
    for (char c : s) {
      for (const Glyph& g : kFont) {
        if (g.c != c) continue;
        for (int gy = 0; gy < 7; ++gy)
          for (int gx = 0; gx < 5; ++gx)
            if (g.rows[gy][gx] == '#') fill(x + gx * scale, y + gy * scale, scale, scale);
      }
      x += 6 * scale;
    }
  }
  // Lines of word-like bars, as a page of typed text looks from afar.
  void prose(int y0, int lines, int lineStep, uint32_t seed) {
    for (int l = 0; l < lines; ++l) {
      int x = 120;
      const int end = kWidth - 120 - static_cast<int>(next(seed) % 400);
      while (x < end) {
        const int w = 24 + static_cast<int>(next(seed) % 120);
        fill(x, y0 + l * lineStep, std::min(w, end - x), lineStep / 3);
        x += w + 18;
      }
    }
  }

 private:
  static uint32_t next(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7FFF;
  }
  int rows_;
  std::vector<uint8_t> bits_;
};

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

bool writePage(TIFF* tif, Page& page, uint16_t compression, float yResolution, int pageNumber,
               int pageCount) {
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(kWidth));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.rows()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(1));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(1));
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0u);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(PHOTOMETRIC_MINISWHITE));
  TIFFSetField(tif, TIFFTAG_FILLORDER, static_cast<uint16_t>(FILLORDER_MSB2LSB));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.rows()));
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, yResolution);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, static_cast<uint16_t>(RESUNIT_INCH));
  TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pageNumber),
               static_cast<uint16_t>(pageCount));
  for (int y = 0; y < page.rows(); ++y)
    if (TIFFWriteScanline(tif, page.row(y), static_cast<uint32_t>(y), 0) < 0) return false;
  return TIFFWriteDirectory(tif) != 0;
}

Page letterPage(int number) {
  Page page(2200);  // A4 length at fine resolution (196 lines per inch)
  page.fill(60, 60, kWidth - 120, 8);
  page.text(120, 140, "TARNWELL SAMPLE FAX", 12);
  page.text(120, 300, number == 1 ? "PAGE 1 OF 2" : "PAGE 2 OF 2", 8);
  page.prose(500, 40, 36, 2024u + static_cast<uint32_t>(number));
  page.fill(60, 2200 - 68, kWidth - 120, 8);
  return page;
}

Page memoPage() {
  Page page(1100);  // A4 length at standard resolution (98 lines per inch)
  page.text(120, 60, "RAW G3 MEMO", 12);
  page.prose(250, 24, 34, 7u);
  return page;
}

// Appends the return-to-control sequence that ends a T.4 page: six EOL codes.
void appendRtc(std::vector<uint8_t>& out) {
  for (int i = 0; i < 3; ++i) out.insert(out.end(), {0x00, 0x10, 0x01});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  TIFFSetWarningHandler(nullptr);

  // The two-page Group 4 TIFF fax.
  {
    TiffPtr tif(TIFFOpen((dir + "/letter.tif").c_str(), "w"));
    if (!tif) return 1;
    for (int n = 1; n <= 2; ++n) {
      Page page = letterPage(n);
      if (!writePage(tif.get(), page, COMPRESSION_CCITTFAX4, 196.0f, n - 1, 2)) return 1;
    }
  }

  // The raw Group 3 stream: the coded strip of a one-page Group 3 TIFF, taken out of its
  // container and ended with RTC, as a fax modem delivers a received page.
  const std::string scratch = dir + "/memo.g3.tmp.tif";
  {
    TiffPtr tif(TIFFOpen(scratch.c_str(), "w"));
    if (!tif) return 1;
    Page page = memoPage();
    if (!writePage(tif.get(), page, COMPRESSION_CCITTFAX3, 98.0f, 0, 1)) return 1;
  }
  std::vector<uint8_t> raw;
  {
    TiffPtr tif(TIFFOpen(scratch.c_str(), "r"));
    if (!tif) return 1;
    const tmsize_t size = TIFFRawStripSize(tif.get(), 0);
    if (size <= 0) return 1;
    raw.resize(static_cast<size_t>(size));
    if (TIFFReadRawStrip(tif.get(), 0, raw.data(), size) != size) return 1;
  }
  std::remove(scratch.c_str());
  appendRtc(raw);
  std::ofstream out(dir + "/memo.g3", std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  return out.good() ? 0 : 1;
}
