#include "pdf_test_util.h"

#include <tiffio.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace tarnwell::testutil {
namespace {

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

uint64_t rowBytes(uint32_t width, uint16_t bits, uint16_t samples) {
  return (uint64_t{width} * bits * samples + 7) / 8;
}

void setTags(TIFF* tif, const TiffImageSpec& s) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.length);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bitsPerSample);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samplesPerPixel);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
  if (s.compression == COMPRESSION_CCITTFAX3) {
    TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, s.group3Options);
  }
  if (s.fillOrder != 0) TIFFSetField(tif, TIFFTAG_FILLORDER, s.fillOrder);
  if (s.orientation != 0) TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar != 0 ? s.planar : PLANARCONFIG_CONTIG);
  if (s.tileWidth != 0) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tileWidth);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tileLength);
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip != 0 ? s.rowsPerStrip : s.length);
  }
  if (s.xres != 0) TIFFSetField(tif, TIFFTAG_XRESOLUTION, s.xres);
  if (s.yres != 0) TIFFSetField(tif, TIFFTAG_YRESOLUTION, s.yres);
  if (s.resolutionUnit != 0) TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, s.resolutionUnit);
  if (s.subfileType >= 0) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(s.subfileType));
  if (s.pageNumber >= 0) TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(s.pageNumber), uint16_t{0});
  if (!s.extraSamples.empty()) {
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(s.extraSamples.size()),
                 s.extraSamples.data());
  }
  const size_t entries = size_t{1} << s.bitsPerSample;
  if (s.colorMap.size() == 3 * entries) {
    TIFFSetField(tif, TIFFTAG_COLORMAP, s.colorMap.data(), s.colorMap.data() + entries,
                 s.colorMap.data() + 2 * entries);
  }
  if (s.transfer.size() == entries) {
    TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, s.transfer.data(), s.transfer.data(), s.transfer.data());
  } else if (s.transfer.size() == 3 * entries) {
    TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, s.transfer.data(), s.transfer.data() + entries,
                 s.transfer.data() + 2 * entries);
  }
  if (!s.iccProfile.empty()) {
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(s.iccProfile.size()),
                 s.iccProfile.data());
  }
  if (s.whitePoint.size() == 2) TIFFSetField(tif, TIFFTAG_WHITEPOINT, s.whitePoint.data());
  if (s.primaries.size() == 6) TIFFSetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, s.primaries.data());
  if (!s.software.empty()) TIFFSetField(tif, TIFFTAG_SOFTWARE, s.software.c_str());
  if (!s.artist.empty()) TIFFSetField(tif, TIFFTAG_ARTIST, s.artist.c_str());
  if (!s.copyright.empty()) TIFFSetField(tif, TIFFTAG_COPYRIGHT, s.copyright.c_str());
  if (!s.documentName.empty()) TIFFSetField(tif, TIFFTAG_DOCUMENTNAME, s.documentName.c_str());
  if (!s.description.empty()) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, s.description.c_str());
  if (!s.dateTime.empty()) TIFFSetField(tif, TIFFTAG_DATETIME, s.dateTime.c_str());
  if (s.extraTags) s.extraTags(tif);
}

bool writeData(TIFF* tif, const TiffImageSpec& s) {
  const bool separate = s.planar == PLANARCONFIG_SEPARATE;
  const uint16_t planes = separate ? s.samplesPerPixel : 1;
  const uint16_t perPixel = separate ? 1 : s.samplesPerPixel;
  const uint64_t row = rowBytes(s.width, s.bitsPerSample, perPixel);
  const uint64_t planeBytes = row * s.length;
  if (s.pixels.size() < planeBytes * planes) return false;
  std::vector<uint8_t> data(s.pixels.begin(), s.pixels.end());
  if (s.tileWidth != 0) {
    const uint64_t tileRow = rowBytes(s.tileWidth, s.bitsPerSample, perPixel);
    std::vector<uint8_t> tile(tileRow * s.tileLength);
    for (uint16_t p = 0; p < planes; ++p) {
      for (uint32_t y = 0; y < s.length; y += s.tileLength) {
        for (uint32_t x = 0; x < s.width; x += s.tileWidth) {
          std::fill(tile.begin(), tile.end(), 0);
          // Bit offsets: whole tiles start on byte boundaries only when the tile width times the
          // bits per pixel is a multiple of 8, which the tests keep to.
          const uint64_t xByte = uint64_t{x} * s.bitsPerSample * perPixel / 8;
          for (uint32_t r = 0; r < s.tileLength && y + r < s.length; ++r) {
            const uint64_t from = p * planeBytes + (y + r) * row + xByte;
            const uint64_t n = std::min(tileRow, row - xByte);
            std::memcpy(tile.data() + r * tileRow, data.data() + from, n);
          }
          if (TIFFWriteTile(tif, tile.data(), x, y, 0, p) < 0) return false;
        }
      }
    }
    return true;
  }
  const uint32_t rowsPerStrip = s.rowsPerStrip != 0 ? s.rowsPerStrip : s.length;
  const uint32_t stripsPerPlane = (s.length + rowsPerStrip - 1) / rowsPerStrip;
  for (uint16_t p = 0; p < planes; ++p) {
    for (uint32_t k = 0; k < stripsPerPlane; ++k) {
      const uint32_t rows = std::min(rowsPerStrip, s.length - k * rowsPerStrip);
      uint8_t* start = data.data() + p * planeBytes + uint64_t{k} * rowsPerStrip * row;
      if (TIFFWriteEncodedStrip(tif, p * stripsPerPlane + k, start,
                                static_cast<tmsize_t>(rows * row)) < 0) {
        return false;
      }
    }
  }
  return true;
}

std::string runCommand(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  status = pclose(pipe);
  return output;
}

std::vector<std::string> gErrors, gWarnings;
TIFFErrorHandler gPreviousError = nullptr, gPreviousWarning = nullptr;

std::string formatMessage(const char* module, const char* fmt, va_list ap) {
  char text[2048];
  std::vsnprintf(text, sizeof text, fmt, ap);
  return std::string(module != nullptr ? module : "") + ": " + text;
}
void collectError(const char* module, const char* fmt, va_list ap) {
  gErrors.push_back(formatMessage(module, fmt, ap));
}
void collectWarning(const char* module, const char* fmt, va_list ap) {
  gWarnings.push_back(formatMessage(module, fmt, ap));
}

bool contains(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("trnw_pdftest_" + std::to_string(std::random_device{}()) + "_" +
                             std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.string();
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

bool writeTiff(const std::string& path, const std::vector<TiffImageSpec>& images) {
  TiffPtr tif(TIFFOpen(path.c_str(), "w"));
  if (!tif) return false;
  for (const TiffImageSpec& image : images) {
    setTags(tif.get(), image);
    if (!writeData(tif.get(), image)) return false;
    if (TIFFWriteDirectory(tif.get()) == 0) return false;
  }
  return true;
}

std::vector<uint8_t> bilevelPattern(uint32_t width, uint32_t length, int seed) {
  const uint64_t row = rowBytes(width, 1, 1);
  std::vector<uint8_t> pixels(row * length, 0);
  uint32_t state = 12345u + static_cast<uint32_t>(seed) * 7919u;
  for (uint32_t y = 0; y < length; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      bool black;
      switch ((y / 8 + seed) % 4) {
        case 0: black = ((x / 5) + (y / 3)) % 2 == 0; break;          // checkerboard
        case 1: black = x % 64 < 63 && y % 8 < 2; break;              // long runs
        case 2: black = (x * 7 + y * 3) % 11 < 3; break;              // diagonal texture
        default:
          state = state * 1103515245u + 12345u;
          black = (state >> 16) % 5 == 0;                             // noise
      }
      if (black) pixels[y * row + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return pixels;
}

std::vector<uint8_t> grayPattern(uint32_t width, uint32_t length, uint16_t samples, int seed) {
  std::vector<uint8_t> pixels(uint64_t{width} * length * samples);
  for (uint32_t y = 0; y < length; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (uint16_t s = 0; s < samples; ++s) {
        pixels[(uint64_t{y} * width + x) * samples + s] =
            static_cast<uint8_t>((x * 5 + y * 3 + s * 71 + seed * 13) & 0xFF);
      }
    }
  }
  return pixels;
}

bool decodeTiffDirectory(const std::string& path, uint16_t directory, Raster& out) {
  TiffPtr tif(TIFFOpen(path.c_str(), "r"));
  if (!tif || TIFFSetDirectory(tif.get(), directory) == 0) return false;
  TIFF* t = tif.get();
  uint32_t w = 0, l = 0;
  uint16_t bits = 1, spp = 1, photometric = 0, orientation = 1;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
  if (spp != 1 || bits > 8 || w == 0 || l == 0) return false;
  const uint64_t row = rowBytes(w, bits, 1);
  std::vector<uint8_t> data(row * l);
  if (TIFFIsTiled(t)) {
    uint32_t tw = 0, tl = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tl);
    const uint64_t tileRow = rowBytes(tw, bits, 1);
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(t)));
    for (uint32_t y = 0; y < l; y += tl) {
      for (uint32_t x = 0; x < w; x += tw) {
        if (TIFFReadTile(t, tile.data(), x, y, 0, 0) < 0) return false;
        const uint64_t xByte = uint64_t{x} * bits / 8;
        for (uint32_t r = 0; r < tl && y + r < l; ++r) {
          std::memcpy(data.data() + (y + r) * row + xByte, tile.data() + r * tileRow,
                      std::min(tileRow, row - xByte));
        }
      }
    }
  } else {
    const uint32_t strips = TIFFNumberOfStrips(t);
    uint64_t pos = 0;
    for (uint32_t s = 0; s < strips && pos < data.size(); ++s) {
      const tmsize_t got = TIFFReadEncodedStrip(t, s, data.data() + pos,
                                                static_cast<tmsize_t>(data.size() - pos));
      if (got < 0) return false;
      pos += static_cast<uint64_t>(got);
    }
  }
  const uint32_t maxValue = (1u << bits) - 1;
  const bool swap = orientation >= 5;
  out.width = swap ? l : w;
  out.height = swap ? w : l;
  out.pixels.assign(uint64_t{w} * l, 0);
  for (uint32_t r = 0; r < l; ++r) {
    for (uint32_t c = 0; c < w; ++c) {
      const uint64_t bit = uint64_t{c} * bits;
      const uint8_t byte = data[r * row + bit / 8];
      const uint32_t v = (byte >> (8 - bits - bit % 8)) & maxValue;
      uint8_t gray = static_cast<uint8_t>(v * 255 / maxValue);
      if (photometric == PHOTOMETRIC_MINISWHITE) gray = static_cast<uint8_t>(255 - gray);
      // Where stored row r, column c appears on screen for each orientation.
      uint32_t X = c, Y = r;
      switch (orientation) {
        case 2: X = w - 1 - c; Y = r; break;
        case 3: X = w - 1 - c; Y = l - 1 - r; break;
        case 4: X = c; Y = l - 1 - r; break;
        case 5: X = r; Y = c; break;
        case 6: X = l - 1 - r; Y = c; break;
        case 7: X = l - 1 - r; Y = w - 1 - c; break;
        case 8: X = r; Y = w - 1 - c; break;
        default: break;
      }
      out.pixels[uint64_t{Y} * out.width + X] = gray;
    }
  }
  return true;
}

namespace {

uint32_t le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// An 8-bit paletted BMP as written by Ghostscript's bmpgray device.
bool parseGrayBmp(const std::string& b, Raster& out) {
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0) return false;
  const uint32_t dataOffset = le32(b, 10), infoSize = le32(b, 14);
  const auto width = static_cast<int32_t>(le32(b, 18));
  const auto height = static_cast<int32_t>(le32(b, 22));
  const uint32_t bits = static_cast<uint8_t>(b[28]) | static_cast<uint8_t>(b[29]) << 8;
  if (bits != 8 || width <= 0 || height == 0) return false;
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  const uint64_t stride = (static_cast<uint64_t>(width) + 3) / 4 * 4;
  const size_t palette = 14 + infoSize;
  if (palette + 256 * 4 > b.size() || dataOffset + stride * rows > b.size()) return false;
  out.width = static_cast<uint32_t>(width);
  out.height = rows;
  out.pixels.resize(uint64_t{out.width} * rows);
  for (uint32_t y = 0; y < rows; ++y) {
    const uint32_t stored = height < 0 ? y : rows - 1 - y;  // bottom-up unless height < 0
    for (uint32_t x = 0; x < out.width; ++x) {
      const auto index = static_cast<uint8_t>(b[dataOffset + stored * stride + x]);
      out.pixels[uint64_t{y} * out.width + x] = static_cast<uint8_t>(b[palette + 4 * index]);
    }
  }
  return true;
}

}  // namespace

// Ghostscript's bmpgray device reproduces 8-bit gray samples exactly; its pgmraw device
// rounds some odd values down by one.
bool renderPdfPage(const std::string& pdfPath, int page, float xdpi, float ydpi, Raster& out) {
  const std::string bmp = pdfPath + ".page" + std::to_string(page) + ".bmp";
  char command[4096];
  std::snprintf(command, sizeof command,
                "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bmpgray -r%gx%g -dFirstPage=%d "
                "-dLastPage=%d -sOutputFile='%s' '%s' 2>&1",
                xdpi, ydpi, page, page, bmp.c_str(), pdfPath.c_str());
  int status = 0;
  runCommand(command, status);
  if (status != 0) return false;
  const std::string bytes = readFileBytes(bmp);
  std::filesystem::remove(bmp);
  return parseGrayBmp(bytes, out);
}

long countDifferences(const Raster& a, const Raster& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  long n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
  return n;
}

bool qpdfCheck(const std::string& pdfPath, std::string* output) {
  int status = 0;
  const std::string text = runCommand("qpdf --check '" + pdfPath + "' 2>&1", status);
  if (output != nullptr) *output = text;
  return status == 0;
}

std::string xrefProblems(const std::string& pdf) {
  const size_t startxref = pdf.rfind("startxref\r");
  if (startxref == std::string::npos) return "no startxref";
  const uint64_t xref = std::strtoull(pdf.c_str() + startxref + 10, nullptr, 10);
  if (xref >= pdf.size() || pdf.compare(xref, 7, "xref\r0 ") != 0) return "startxref is wrong";
  char* end = nullptr;
  const unsigned long count = std::strtoul(pdf.c_str() + xref + 7, &end, 10);
  if (end == nullptr || std::strncmp(end, " \r", 2) != 0) return "bad xref subsection line";
  size_t entry = static_cast<size_t>(end - pdf.c_str()) + 2;
  if (pdf.compare(entry, 20, "0000000000 65535 f\r\n") != 0) return "bad free entry";
  for (unsigned long n = 1; n < count; ++n) {
    entry += 20;
    if (entry + 20 > pdf.size()) return "xref table truncated";
    const std::string line = pdf.substr(entry, 20);
    if (line.compare(10, 10, " 00000 n\r\n") != 0) return "entry " + std::to_string(n) + " malformed";
    const uint64_t offset = std::strtoull(line.substr(0, 10).c_str(), nullptr, 10);
    const std::string expect = std::to_string(n) + " 0 obj\r";
    if (offset > pdf.size() || pdf.compare(offset, expect.size(), expect) != 0) {
      return "entry " + std::to_string(n) + " does not point at its object";
    }
  }
  if (pdf.compare(entry + 20, 8, "trailer\r") != 0) return "xref not followed by trailer";
  if (pdf.find("/Size " + std::to_string(count) + "\r", xref) == std::string::npos) return "bad /Size";
  return {};
}

std::string pdfProblems(const std::string& pdfPath) {
  std::string output;
  if (!qpdfCheck(pdfPath, &output)) return "qpdf --check failed: " + output;
  return xrefProblems(readFileBytes(pdfPath));
}

std::string objectText(const std::string& pdf, int number) {
  const std::string head = std::to_string(number) + " 0 obj\r";
  size_t start = pdf.rfind("\r" + head);
  if (start == std::string::npos) start = pdf.rfind("\n" + head);
  if (start == std::string::npos) return {};
  ++start;
  const size_t end = pdf.find("endobj\r", start);
  if (end == std::string::npos) return {};
  return pdf.substr(start, end + 7 - start);
}

std::string streamOf(const std::string& pdf, int number) {
  const std::string object = objectText(pdf, number);
  const size_t begin = object.find("stream\r\n");
  const size_t end = object.rfind("\rendstream\r");
  if (begin == std::string::npos || end == std::string::npos || end < begin + 8) return {};
  return object.substr(begin + 8, end - begin - 8);
}

TiffMessages::TiffMessages() {
  gErrors.clear();
  gWarnings.clear();
  gPreviousError = TIFFSetErrorHandler(collectError);
  gPreviousWarning = TIFFSetWarningHandler(collectWarning);
}

TiffMessages::~TiffMessages() {
  TIFFSetErrorHandler(gPreviousError);
  TIFFSetWarningHandler(gPreviousWarning);
}

const std::vector<std::string>& TiffMessages::errors() const { return gErrors; }
const std::vector<std::string>& TiffMessages::warnings() const { return gWarnings; }
bool TiffMessages::hasError(const std::string& text) const { return contains(gErrors, text); }
bool TiffMessages::hasWarning(const std::string& text) const { return contains(gWarnings, text); }

}  // namespace tarnwell::testutil
